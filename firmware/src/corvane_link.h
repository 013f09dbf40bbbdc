// The serial line to the plug-in: cutting the plug-in's unframed messages out of the byte stream
// (told apart by their first byte and length; after a byte or a message that makes no sense, and
// at the start, from the first byte after the line has been quiet for a few ms; an upload is found
// whatever came before it while the board has none), and sending the
// board's messages in braces without ever waiting for room in the send buffer. A board on the
// network swaps the line for its own transport (corvane_network.h), which the same calls then
// reach.
#ifndef CORVANE_LINK_H
#define CORVANE_LINK_H

#include "corvane_limits.h"

namespace corvane {

// The board number from the last configuration upload; 0 while the board has none.
extern uint8_t boardNumber;
// The five code letters of the last upload, standing for the type letters E, D, A, B, C.
extern char codeLetters[5];

// The link's three calls: reading what waits, room for a message, sending one message.
struct Transport {
    void (*receive)();
    bool (*room)(uint8_t length);
    bool (*send)(const uint8_t* bytes, uint8_t length);
};
// The transport the board talks over; none until the sketch begins one.
extern const Transport* transport;

// Starts the serial line as the transport.
void startLink();
// Reads every byte waiting on the line (a bounded number) and hands each complete message on.
void receiveWaiting();
// Whether length more bytes fit into the send buffer now.
bool canSend(uint8_t length);
// Sends one message (on the serial line '{', the bytes and '}'); false (nothing sent) when it
// does not fit now.
bool sendFramed(const uint8_t* bytes, uint8_t length);
// Sends an input message: the board number, type coded with the code letters, then rest (the
// pin, the sign and the value); false when the board has no number yet or there is no room.
bool sendInput(char type, const uint8_t* rest, uint8_t length);

// Writes value in decimal at text; returns the number of characters.
uint8_t writeDecimal(uint8_t* text, uint16_t value);

}  // namespace corvane

#endif
