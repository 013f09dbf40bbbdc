// The use of every pin, as the plug-in's configuration upload gives it, and quick pin writes for
// the parts that are clocked bit by bit or from an interrupt.
#ifndef CORVANE_PINS_H
#define CORVANE_PINS_H

#include "corvane_limits.h"

namespace corvane {

// Pin uses of the configuration upload.
enum PinUse : uint8_t {
    kUseNone = 0,
    kUseInput = 1,
    kUseEncoder = 2,
    kUseHalfStepEncoder = 3,
    kUseMatrixExtra = 4,
    kUseMatrixRow = 5,
    kUseMatrixColumn = 6,
    kUseLed = 7,
    kUsePwm = 8,
    kUseTurningStepper = 9,
    kUseStepper = 10,
    kUseStepperDirection = 11,
    kUseServo = 12,
    kUseDisplayData = 13,
    // Not sent by the plug-in: pins the library takes for a part wired to the pin before them.
    kUseEncoderB = 100,
    kUseChained = 101,
};

// The use of each pin from the last configuration upload.
extern uint8_t pinUse[kPinCount];
// The pins a board on the network keeps for its chip (the SPI bus, the chip's and an SD card's
// select pins), one bit each: never configured.
extern uint8_t reservedPins[(kPinCount + 7) / 8];

inline bool reservedPin(uint8_t pin) {
    return reservedPins[pin >> 3] & (1U << (pin & 7));
}
void reservePin(uint8_t pin);

// A pin's output register and bit, for writes that take a few cycles.
struct FastPin {
    volatile uint8_t* out;
    uint8_t mask;
};

FastPin fastPin(uint8_t pin);
// Interrupts are held off for the read-modify-write, since the servo interrupt writes the same
// port registers.
inline void fastWrite(const FastPin& p, bool high) {
    uint8_t status = SREG;
    cli();
    if (high) {
        *p.out |= p.mask;
    } else {
        *p.out &= static_cast<uint8_t>(~p.mask);
    }
    SREG = status;
}

// A pin's input register and bit, for reads that take a few cycles.
struct InputPin {
    volatile uint8_t* in;
    uint8_t mask;
};

InputPin inputPin(uint8_t pin);
inline bool isHigh(const InputPin& p) {
    return *p.in & p.mask;
}

// The first pin with the given use, or 255 when none has it.
uint8_t firstPinWithUse(uint8_t use);
// Takes a pin for a part wired to the pin before it (clock, latch, encoder B): false when the pin
// does not exist, carries the serial line or the network chip, or has an input use.
bool claimPin(uint8_t pin, uint8_t use);
// Whether a pin exists on this board and is free of the serial line and the network chip.
inline bool usablePin(uint8_t pin) {
    return pin >= kFirstFreePin && pin < kPinCount && !reservedPin(pin);
}

}  // namespace corvane

#endif
