// The LED port: a chain of 74HC595 shift registers with its data line on the LED port pin, the
// clock on the next pin and the latch on the one after. The port bytes are shifted in the order
// the plug-in sends them (the last port first), each byte's top bit first, so that after the
// latch the register nearest the board holds port 0 and its output Q7 is LED 1.
#ifndef CORVANE_LEDPORT_H
#define CORVANE_LEDPORT_H

#include "corvane_limits.h"

namespace corvane {

// Darkens the LED port's LEDs and drops the port until the plug-in sends its block again.
void forgetLedPort();
// Darkens the LED port's LEDs, keeping the port: shifted out a byte per slice.
void darkenLedPort();
// Takes the LED port block: the port pin and its bytes, last port first.
void showLedPort(uint8_t pin, const uint8_t* bytes, uint8_t count);
// Shifts one byte into the chain, or latches it; false when nothing was left to do.
bool shiftLedPort();

}  // namespace corvane

#endif
