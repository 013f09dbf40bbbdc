// The board's side of the conversation with the plug-in: identification, the configuration
// upload and the blocks it asks for afterwards, the output gate, and the dispatch of every
// message from the plug-in. While the board has no configuration (or its outputs are dark for
// want of the plug-in), it identifies itself every 2 s, so that an upload lost on the way costs
// that much at most (0.3 s when it came spoilt). An upload is taken only when whole and sound (its
// length, every pin use, the code letters, the board number), the output gate reply only when the
// board asked for it and it reads as the plug-in writes it; anything else changes nothing.
#ifndef CORVANE_SESSION_H
#define CORVANE_SESSION_H

#include "corvane_limits.h"

namespace corvane {

// The board ID (0-9) the board identifies itself with.
extern uint8_t boardId;
// Set once the plug-in has switched the outputs on; cleared by every configuration upload.
extern bool outputsEnabled;
// Set while the outputs are dark for want of the plug-in (a board on the network); cleared by
// the next upload.
extern bool outputsDark;

// Identifies the board as soon as there is room to send (at start and on every probe).
void announce();
// Handles one complete message from the plug-in: its first kept bytes and its whole length.
// False when it is no message the plug-in sends (the board has lost its place in the stream).
bool handleMessage(const uint8_t* message, uint8_t kept, uint16_t length);
// Takes an upload found in the stream whatever came before it, when it is sound; false (nothing
// done) otherwise.
bool takeFoundUpload(const uint8_t* upload);
// Sends what the conversation owes: the identification, the block requests, the output gate.
void advanceSession();

}  // namespace corvane

#endif
