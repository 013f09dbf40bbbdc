// The plug-in's output values: the records of an output message (and the mode messages, which
// have the same form) go to the part that drives the record's pin:
//   pin ')' / '('           a lamp on the pin: HIGH lit, LOW dark
//   pin 'R' count bytes     a 7-segment display when the pin is one of the 7-segment block's
//                           display pins, otherwise the LED port (74HC595 chain) on that pin
//   pin 'G' step time       a stepper's target step and the time to reach it
//   pin 'P' byte            PWM duty on the pin
//   pin 'B' length text     text, handed to the sketch's text handler
//   pin letter float        a servo pin: its position; a PWM pin: the duty (0-255); a lamp pin:
//                           lit when not 0; any other pin: handed to the sketch's value handler
#ifndef CORVANE_OUTPUTS_H
#define CORVANE_OUTPUTS_H

#include "Corvane.h"
#include "corvane_limits.h"

namespace corvane {

extern CorvaneValueHandler valueHandler;
extern CorvaneTextHandler textHandler;

// Sets the lamp, PWM and stepper direction pins of the upload as outputs, all off.
void setUpOutputPins();
// Applies the records of one output message (the bytes after its length byte).
void applyRecords(const uint8_t* records, uint8_t length);
// Hands a text that the plug-in sent back for an internal input to the text handler.
void passTextBack(const uint8_t* text, uint8_t length);

}  // namespace corvane

#endif
