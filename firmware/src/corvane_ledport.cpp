#include "corvane_ledport.h"

#include "corvane_pins.h"

namespace corvane {

namespace {

uint8_t portPin = 255;
FastPin data, clock, latch;
uint8_t bytes[kMaxLedPorts];
uint8_t byteCount = 0;
// The next byte to shift; byteCount means the latch is next, and 255 that nothing is due.
uint8_t next = 255;

bool takePins(uint8_t pin) {
    if (pin >= kPinCount || pinUse[pin] != kUseLed) return false;
    if (!claimPin(pin + 1, kUseChained) || !claimPin(pin + 2, kUseChained)) return false;
    data = fastPin(pin);
    clock = fastPin(pin + 1);
    latch = fastPin(pin + 2);
    for (uint8_t k = 0; k < 3; ++k) {
        digitalWrite(pin + k, LOW);
        pinMode(pin + k, OUTPUT);
    }
    portPin = pin;
    return true;
}

}  // namespace

void forgetLedPort() {
    if (portPin != 255) {
        // Dark LEDs while the board waits for its new configuration's values.
        for (uint8_t k = 0; k < byteCount; ++k) bytes[k] = 0;
        for (next = 0; next != 255;) shiftLedPort();
    }
    portPin = 255;
    byteCount = 0;
    next = 255;
}

void darkenLedPort() {
    if (portPin == 255) return;
    for (uint8_t k = 0; k < byteCount; ++k) bytes[k] = 0;
    next = 0;
}

void showLedPort(uint8_t pin, const uint8_t* portBytes, uint8_t count) {
    if (pin != portPin && !takePins(pin)) return;
    byteCount = count < kMaxLedPorts ? count : kMaxLedPorts;
    // Of a longer block the last bytes, the ports nearest the board, are kept.
    const uint8_t* kept = portBytes + (count - byteCount);
    for (uint8_t k = 0; k < byteCount; ++k) bytes[k] = kept[k];
    next = 0;  // a block that arrives mid-shift starts the shifting over
}

bool shiftLedPort() {
    if (next == 255) return false;
    if (next == byteCount) {
        fastWrite(latch, true);
        fastWrite(latch, false);
        next = 255;
        return true;
    }
    uint8_t b = bytes[next++];
    for (uint8_t bit = 0; bit < 8; ++bit) {
        fastWrite(data, b & 0x80);
        fastWrite(clock, true);
        fastWrite(clock, false);
        b = static_cast<uint8_t>(b << 1);
    }
    return true;
}

}  // namespace corvane
