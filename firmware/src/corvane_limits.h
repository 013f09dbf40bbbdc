// Sizes of the board library's tables for the chip it is built for: fixed at compile time so
// that the library takes no heap and its RAM use is known.
#ifndef CORVANE_LIMITS_H
#define CORVANE_LIMITS_H

#include <Arduino.h>

#include "corvane_boards.h"

namespace corvane {

// The board's digital pins, and those of them that the configuration upload names (0 to 53).
const uint8_t kPinCount = NUM_DIGITAL_PINS;
const uint8_t kUploadPins = NUM_DIGITAL_PINS < 54 ? NUM_DIGITAL_PINS : 54;
// Pins 0 and 1 carry the serial line and are never configured.
const uint8_t kFirstFreePin = 2;
const uint8_t kAnalogChannels = NUM_ANALOG_INPUTS < 16 ? NUM_ANALOG_INPUTS : 16;

#if defined(__AVR_ATmega2560__)
const uint8_t kMaxEncoders = 24;
const uint8_t kMaxDisplays = 16;
const uint8_t kMaxSteppers = 16;
const uint8_t kMaxMatrixLines = 16;
#else
const uint8_t kMaxEncoders = 8;
const uint8_t kMaxDisplays = 8;
const uint8_t kMaxSteppers = 6;
const uint8_t kMaxMatrixLines = 8;
#endif
const uint8_t kMaxServos = 8;
const uint8_t kMaxLedPorts = 8;
const uint8_t kDisplayDigits = 8;

// A message from the plug-in is at most this long; longer ones are read to their end but only
// this much of them is kept.
const uint8_t kMessageBytes = 64;

}  // namespace corvane

#endif
