#include "corvane_udp.h"

#include "corvane_w5x00.h"

namespace corvane {

namespace {

const uint8_t kOpen = 0x01;
const uint8_t kClose = 0x10;
const uint8_t kSend = 0x20;
const uint8_t kReceive = 0x40;
const uint8_t kUdpMode = 0x02;
const uint8_t kUdpStatus = 0x22;
const uint8_t kSendOk = 0x10;
const uint8_t kTimeout = 0x08;
const uint8_t kHeaderBytes = 8;

uint8_t sending = 0;  // sockets whose last send has not been seen to end, as bits
uint8_t building = 0;
uint16_t buildStart = 0;
uint16_t buildLength = 0;

// Gives the socket a command and waits until the chip has taken it (a few microseconds).
void command(uint8_t socket, uint8_t code) {
    writeByte(registersOf(socket), kSocketCommand, code);
    for (uint8_t k = 0; k < 200 && readByte(registersOf(socket), kSocketCommand) != 0; ++k) {
    }
}

uint8_t bitOf(uint8_t socket) {
    return static_cast<uint8_t>(1U << socket);
}

}  // namespace

bool openUdp(uint8_t socket, uint16_t port) {
    uint8_t reg = registersOf(socket);
    command(socket, kClose);
    writeByte(reg, kSocketInterrupt, 0xFF);
    writeByte(reg, kSocketMode, kUdpMode);
    writeWord(reg, kSocketPort, port);
    command(socket, kOpen);
    sending &= static_cast<uint8_t>(~bitOf(socket));
    if (udpOpen(socket)) return true;
    command(socket, kClose);
    return false;
}

bool udpOpen(uint8_t socket) {
    return readByte(registersOf(socket), kSocketStatus) == kUdpStatus;
}

void closeSocket(uint8_t socket) {
    command(socket, kClose);
    sending &= static_cast<uint8_t>(~bitOf(socket));
}

bool canSendDatagram(uint8_t socket, uint16_t length) {
    uint8_t reg = registersOf(socket);
    if (sending & bitOf(socket)) {
        // A short datagram to a peer the chip knows leaves within microseconds: it is waited
        // for a little, so that messages can go back to back; a send that waits for an ARP
        // answer is not.
        uint8_t done = 0;
        for (uint8_t k = 0; k < 32 && done == 0; ++k) {
            done = readByte(reg, kSocketInterrupt) & (kSendOk | kTimeout);
        }
        if (done == 0) return false;
        writeByte(reg, kSocketInterrupt, done);
        sending &= static_cast<uint8_t>(~bitOf(socket));
    }
    return readWord(reg, kTxFree) >= length;
}

void beginDatagram(uint8_t socket, const uint8_t* address, uint16_t port) {
    uint8_t reg = registersOf(socket);
    writeBytes(reg, kPeerAddress, address, 4);
    writeWord(reg, kPeerPort, port);
    building = socket;
    buildStart = readWord(reg, kTxWrite);
    buildLength = 0;
}

void appendDatagram(const uint8_t* bytes, uint16_t count) {
    writeBytes(txBufferOf(building), static_cast<uint16_t>(buildStart + buildLength), bytes, count);
    buildLength = static_cast<uint16_t>(buildLength + count);
}

void appendZeros(uint16_t count) {
    appendDatagram(nullptr, count);
}

uint16_t datagramLength() {
    return buildLength;
}

void sendDatagram() {
    writeWord(registersOf(building), kTxWrite, static_cast<uint16_t>(buildStart + buildLength));
    command(building, kSend);
    sending |= bitOf(building);
}

bool nextDatagram(uint8_t socket, Datagram& datagram) {
    uint8_t reg = registersOf(socket);
    uint16_t waiting = readWord(reg, kRxWaiting);
    if (waiting < kHeaderBytes) return false;
    datagram.at = readWord(reg, kRxRead);
    uint8_t header[kHeaderBytes];
    readBytes(rxBufferOf(socket), datagram.at, header, kHeaderBytes);
    for (uint8_t k = 0; k < 4; ++k) datagram.from[k] = header[k];
    datagram.port = static_cast<uint16_t>((header[4] << 8) | header[5]);
    datagram.length = static_cast<uint16_t>((header[6] << 8) | header[7]);
    return true;
}

void readDatagram(uint8_t socket, const Datagram& datagram, uint16_t offset, uint8_t* bytes,
                  uint16_t count) {
    readBytes(rxBufferOf(socket), static_cast<uint16_t>(datagram.at + kHeaderBytes + offset), bytes,
              count);
}

void finishDatagram(uint8_t socket, const Datagram& datagram) {
    writeWord(registersOf(socket), kRxRead,
              static_cast<uint16_t>(datagram.at + kHeaderBytes + datagram.length));
    command(socket, kReceive);
}

}  // namespace corvane
