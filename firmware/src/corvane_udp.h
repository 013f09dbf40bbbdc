// UDP on one socket of the WIZnet chip: opening it on a port, sending datagrams without waiting
// for the chip more than a few microseconds (a send is begun only once the last one has gone),
// and taking the received datagrams out of the chip's receive buffer one at a time, each behind the
// chip's 8-byte header (the sender's address and port, the length).
#ifndef CORVANE_UDP_H
#define CORVANE_UDP_H

#include "corvane_limits.h"

namespace corvane {

// A received datagram: its sender, its length and where its header lies in the buffer.
struct Datagram {
    uint8_t from[4];
    uint16_t port;
    uint16_t length;
    uint16_t at;
};

// Opens socket for UDP on port (closing it first); false when the chip did not take it.
bool openUdp(uint8_t socket, uint16_t port);
// Whether the socket is still open for UDP (a reset of the chip closes it).
bool udpOpen(uint8_t socket);
void closeSocket(uint8_t socket);

// Whether a datagram of length bytes can be begun now: the socket's last one has gone (or was
// given up) and the transmit buffer has room.
bool canSendDatagram(uint8_t socket, uint16_t length);
// Begins a datagram from socket to address and port; its bytes follow with appendDatagram()
// and appendZeros(), and sendDatagram() sends them. One datagram at a time.
void beginDatagram(uint8_t socket, const uint8_t* address, uint16_t port);
void appendDatagram(const uint8_t* bytes, uint16_t count);
void appendZeros(uint16_t count);
// The number of bytes of the datagram begun so far.
uint16_t datagramLength();
void sendDatagram();

// The header of the next datagram received on socket; false when none waits.
bool nextDatagram(uint8_t socket, Datagram& datagram);
// Reads count bytes of the datagram's payload from offset on.
void readDatagram(uint8_t socket, const Datagram& datagram, uint16_t offset, uint8_t* bytes,
                  uint16_t count);
// Frees the datagram's place in the buffer; the next one can then be read.
void finishDatagram(uint8_t socket, const Datagram& datagram);

}  // namespace corvane

#endif
