#include "corvane_pins.h"

namespace corvane {

uint8_t pinUse[kPinCount];
uint8_t reservedPins[(kPinCount + 7) / 8];

void reservePin(uint8_t pin) {
    if (pin < kPinCount) reservedPins[pin >> 3] |= static_cast<uint8_t>(1U << (pin & 7));
}

FastPin fastPin(uint8_t pin) {
    FastPin p;
    p.out = portOutputRegister(digitalPinToPort(pin));
    p.mask = digitalPinToBitMask(pin);
    return p;
}

InputPin inputPin(uint8_t pin) {
    InputPin p;
    p.in = portInputRegister(digitalPinToPort(pin));
    p.mask = digitalPinToBitMask(pin);
    return p;
}

uint8_t firstPinWithUse(uint8_t use) {
    for (uint8_t pin = kFirstFreePin; pin < kPinCount; ++pin) {
        if (pinUse[pin] == use) return pin;
    }
    return 255;
}

bool claimPin(uint8_t pin, uint8_t use) {
    if (!usablePin(pin)) return false;
    uint8_t current = pinUse[pin];
    if (current == kUseInput || current == kUseEncoder || current == kUseHalfStepEncoder ||
        current == kUseMatrixColumn || current == kUseEncoderB) {
        return false;
    }
    pinUse[pin] = use;
    return true;
}

}  // namespace corvane
