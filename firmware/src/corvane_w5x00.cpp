#include "corvane_w5x00.h"

#include "corvane_pins.h"

namespace corvane {

uint8_t wiznetChip = kNoChip;

namespace {

// W5100 frames: the opcode, the address high and low, one data byte.
const uint8_t kW5100Write = 0xF0;
const uint8_t kW5100Read = 0x0F;
// W5500 frames: the address high and low, the control byte (block << 3, 4 for a write, variable
// length), then the data bytes until the select pin rises.
const uint8_t kW5500WriteBit = 0x04;
const uint16_t kW5500Version = 0x0039;
const uint8_t kW5500VersionValue = 0x04;
const uint16_t kW5500Phy = 0x002E;
const uint8_t kLinkBit = 0x01;
const uint8_t kResetBit = 0x80;
// The W5100's map: socket registers, transmit and receive memory (2 KB a socket).
const uint16_t kW5100Sockets = 0x0400;
const uint16_t kW5100TxMemory = 0x4000;
const uint16_t kW5100RxMemory = 0x6000;
const uint16_t kBufferMask = 0x07FF;

FastPin select;

uint8_t exchange(uint8_t b) {
    SPDR = b;
    while (!(SPSR & _BV(SPIF))) {
    }
    return SPDR;
}

// Byte k of a transfer from block and address, in the W5100's address space: the buffers wrap
// within the socket's 2 KB.
uint16_t w5100Address(uint8_t block, uint16_t address, uint16_t k) {
    if (block == kCommonBlock) return static_cast<uint16_t>(address + k);
    uint8_t socket = static_cast<uint8_t>((block - 1) >> 2);
    uint8_t part = static_cast<uint8_t>((block - 1) & 3);
    if (part == 0) return static_cast<uint16_t>(kW5100Sockets + (socket << 8) + address + k);
    uint16_t base = static_cast<uint16_t>((part == 1 ? kW5100TxMemory : kW5100RxMemory) +
                                          (static_cast<uint16_t>(socket) << 11));
    return static_cast<uint16_t>(base + ((address + k) & kBufferMask));
}

// One transfer: out's bytes written (zeros when out is nullptr) or read into in (when not
// nullptr).
void transfer(uint8_t block, uint16_t address, const uint8_t* out, uint8_t* in, uint16_t count,
              bool write) {
    if (wiznetChip == kW5100) {
        for (uint16_t k = 0; k < count; ++k) {
            uint16_t at = w5100Address(block, address, k);
            fastWrite(select, false);
            exchange(write ? kW5100Write : kW5100Read);
            exchange(static_cast<uint8_t>(at >> 8));
            exchange(static_cast<uint8_t>(at));
            uint8_t value = exchange(write && out ? out[k] : 0);
            fastWrite(select, true);
            if (in) in[k] = value;
        }
        return;
    }
    fastWrite(select, false);
    exchange(static_cast<uint8_t>(address >> 8));
    exchange(static_cast<uint8_t>(address));
    exchange(static_cast<uint8_t>((block << 3) | (write ? kW5500WriteBit : 0)));
    for (uint16_t k = 0; k < count; ++k) {
        uint8_t value = exchange(write && out ? out[k] : 0);
        if (in) in[k] = value;
    }
    fastWrite(select, true);
}

// A soft reset: the chip clears the bit when it is done (within a few milliseconds).
void resetChip() {
    writeByte(kCommonBlock, kChipMode, kResetBit);
    unsigned long start = millis();
    while ((readByte(kCommonBlock, kChipMode) & kResetBit) && millis() - start < 20) {
    }
}

bool gatewayHolds(uint8_t value) {
    writeByte(kCommonBlock, kGatewayAddress, value);
    return readByte(kCommonBlock, kGatewayAddress) == value;
}

}  // namespace

void startSpi(uint8_t chipSelect, uint8_t sdCardSelect) {
    if (sdCardSelect < kPinCount) {
        digitalWrite(sdCardSelect, HIGH);
        pinMode(sdCardSelect, OUTPUT);
    }
    digitalWrite(chipSelect, HIGH);
    pinMode(chipSelect, OUTPUT);
    select = fastPin(chipSelect);
    // The chip's own SS pin stays an output, or a low level on it would end master mode.
    digitalWrite(SS, HIGH);
    pinMode(SS, OUTPUT);
    pinMode(SCK, OUTPUT);
    pinMode(MOSI, OUTPUT);
    pinMode(MISO, INPUT);
    SPCR = _BV(SPE) | _BV(MSTR);
    SPSR = _BV(SPI2X);  // the clock at half the chip's: 8 MHz
}

uint8_t detectChip() {
    // A W5500 reads its version; a W5100 ignores the W5500's frames and keeps what is written
    // to its gateway register.
    wiznetChip = kW5500;
    resetChip();
    if (readByte(kCommonBlock, kW5500Version) == kW5500VersionValue) return wiznetChip;
    wiznetChip = kW5100;
    resetChip();
    bool holds = gatewayHolds(0x5A) && gatewayHolds(0xA5);
    writeByte(kCommonBlock, kGatewayAddress, 0);
    if (!holds) wiznetChip = kNoChip;
    return wiznetChip;
}

void readBytes(uint8_t block, uint16_t address, uint8_t* bytes, uint16_t count) {
    transfer(block, address, nullptr, bytes, count, false);
}

void writeBytes(uint8_t block, uint16_t address, const uint8_t* bytes, uint16_t count) {
    transfer(block, address, bytes, nullptr, count, true);
}

uint8_t readByte(uint8_t block, uint16_t address) {
    uint8_t value;
    readBytes(block, address, &value, 1);
    return value;
}

void writeByte(uint8_t block, uint16_t address, uint8_t value) {
    writeBytes(block, address, &value, 1);
}

uint16_t readWord(uint8_t block, uint16_t address) {
    uint8_t bytes[2];
    uint16_t last = 0;
    for (uint8_t tries = 0; tries < 8; ++tries) {
        readBytes(block, address, bytes, 2);
        uint16_t value = static_cast<uint16_t>((bytes[0] << 8) | bytes[1]);
        if (tries > 0 && value == last) break;
        last = value;
    }
    return last;
}

void writeWord(uint8_t block, uint16_t address, uint16_t value) {
    uint8_t bytes[2] = {static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
    writeBytes(block, address, bytes, 2);
}

bool linkUp() {
    return wiznetChip != kW5500 || (readByte(kCommonBlock, kW5500Phy) & kLinkBit);
}

void setArpPatience(uint16_t units, uint8_t tries) {
    // The retry time and count: RTR and RCR, at 0x0017 and 0x0019 on a W5100, two further on.
    uint16_t at = wiznetChip == kW5500 ? 0x0019 : 0x0017;
    writeWord(kCommonBlock, at, units);
    writeByte(kCommonBlock, static_cast<uint16_t>(at + 2), tries);
}

}  // namespace corvane
