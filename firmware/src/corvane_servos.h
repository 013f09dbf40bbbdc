// Servos on any pins, driven from timer 1: in each 20 ms frame the servos get their pulses one
// after the other. The value of a servo record is its position: 0 to 180 are degrees, mapped to
// 544-2400 microseconds; larger values are the pulse length in microseconds, held to 400-2600.
// A value past either range goes to the end it overshot, never to the far one: below 0 is 0
// degrees, just above 180 (up to 290) is 180 degrees, from there to 400 is 400 microseconds.
// A servo gets no pulses until its first value arrives. While servos run, timer 1 cannot make
// PWM: the pins of timer 1 (9 and 10 on an Uno or Nano, 11 and 12 on a Mega) then do no PWM.
#ifndef CORVANE_SERVOS_H
#define CORVANE_SERVOS_H

#include "corvane_limits.h"

namespace corvane {

void stopServos();
// Takes the upload's servo pins and starts the timer when there are any.
void setUpServos();
void setServo(uint8_t pin, float value);
// Whether PWM on pin would upset the servo timer.
bool pwmBlockedByServos(uint8_t pin);
// The pulse length in microseconds for a servo value.
uint16_t servoPulseMicros(float value);

}  // namespace corvane

#endif
