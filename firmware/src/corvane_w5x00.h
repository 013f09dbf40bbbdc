// A WIZnet W5100 (the classic Arduino Ethernet shield) or W5500 (Ethernet Shield 2 and most
// modules) on the SPI bus, driven by polling, with the same calls for both chips. Places in the
// chip are named as the W5500 names them: a block (the common registers, or one socket's
// registers, transmit buffer or receive buffer) and an address within it; on a W5100 they are
// mapped to its single address space, one byte per 4-byte frame. Both chips keep their reset
// sizes: 2 KB of transmit and 2 KB of receive buffer for each socket.
#ifndef CORVANE_W5X00_H
#define CORVANE_W5X00_H

#include "corvane_limits.h"

namespace corvane {

enum WiznetChip : uint8_t { kNoChip = 0, kW5100 = 1, kW5500 = 2 };

// The chip that the last detectChip() found.
extern uint8_t wiznetChip;

const uint8_t kCommonBlock = 0;
inline uint8_t registersOf(uint8_t socket) {
    return static_cast<uint8_t>(4 * socket + 1);
}
inline uint8_t txBufferOf(uint8_t socket) {
    return static_cast<uint8_t>(4 * socket + 2);
}
inline uint8_t rxBufferOf(uint8_t socket) {
    return static_cast<uint8_t>(4 * socket + 3);
}

// Common registers at the same address on both chips.
const uint16_t kChipMode = 0x0000;
const uint16_t kGatewayAddress = 0x0001;
const uint16_t kSubnetMask = 0x0005;
const uint16_t kMacAddress = 0x0009;
const uint16_t kOwnAddress = 0x000F;

// A socket's registers.
const uint16_t kSocketMode = 0x00;
const uint16_t kSocketCommand = 0x01;
const uint16_t kSocketInterrupt = 0x02;
const uint16_t kSocketStatus = 0x03;
const uint16_t kSocketPort = 0x04;
const uint16_t kPeerAddress = 0x0C;
const uint16_t kPeerPort = 0x10;
const uint16_t kTxFree = 0x20;
const uint16_t kTxWrite = 0x24;
const uint16_t kRxWaiting = 0x26;
const uint16_t kRxRead = 0x28;

// Sets the SPI bus up as its master (8 MHz, mode 0, top bit first) with the chip's select pin
// high, and holds the select pin of an SD card on the same bus high (255: no card), so that the
// card keeps off the bus.
void startSpi(uint8_t chipSelect, uint8_t sdCardSelect);
// Resets the chip and tells which one it is: kNoChip when neither answers.
uint8_t detectChip();

// count bytes from block and address on; bytes may be nullptr for reading into nothing.
void readBytes(uint8_t block, uint16_t address, uint8_t* bytes, uint16_t count);
// count bytes to block and address on; bytes nullptr writes zeros.
void writeBytes(uint8_t block, uint16_t address, const uint8_t* bytes, uint16_t count);
uint8_t readByte(uint8_t block, uint16_t address);
void writeByte(uint8_t block, uint16_t address, uint8_t value);
// A 16-bit register, high byte first, that the chip may change between the reads of its two
// bytes: read until two readings agree.
uint16_t readWord(uint8_t block, uint16_t address);
void writeWord(uint8_t block, uint16_t address, uint16_t value);

// Whether the cable is in: the W5500's PHY tells; a W5100 cannot tell and reads as linked.
bool linkUp();
// How long a send waits for the peer's ARP answer before it gives up: tries x 0.1 ms x units.
void setArpPatience(uint16_t units, uint8_t tries);

}  // namespace corvane

#endif
