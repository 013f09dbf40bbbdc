// Steppers on step/direction drivers: each stepper steps on its own pin (a pulse: HIGH, a few
// microseconds, LOW); all share the direction pin, HIGH while stepping towards higher positions
// and LOW towards lower. A target from the plug-in is reached along a trapezoidal profile: the
// motor speeds up from standstill at the board's acceleration, runs at most at the board's top
// speed (or slower, when the move time that comes with the target asks for a slower move), and
// slows down so as to stop on the target. A new target behind a moving motor first brings it to a
// stop, then back: a gauge stepper never changes speed faster than it can follow, and keeps its
// count. A stepper of the upload's first kind ('G', a needle with a stop) goes straight to its
// target; one of the second kind ('g', a card that turns without end) takes the shorter way round,
// counting its position in the steps per revolution of the stepper block. Positions count from
// where the motor stood at the first configuration after a reset; a stepper that keeps its pin
// keeps its position.
#ifndef CORVANE_STEPPERS_H
#define CORVANE_STEPPERS_H

#include "corvane_limits.h"

namespace corvane {

// The top speed (steps per second) and the acceleration (steps per second per second) of every
// stepper; by default those of the common gauge steppers (X27.168 and its kin).
const uint16_t kDefaultStepperSpeed = 600;
const uint16_t kDefaultStepperAcceleration = 3000;
void setStepperMotion(uint16_t stepsPerSecond, uint16_t acceleration);

void setUpSteppers();
// Takes the stepper block: per stepper its pin and its steps per revolution (low byte first).
void takeStepperBlock(const uint8_t* block, uint8_t length);
// Sets the stepper on pin moving to target within time x 10 microseconds.
void moveStepper(uint8_t pin, int16_t target, uint16_t time);
// Brings every stepper to a stop as soon as it can slow down.
void holdSteppers();
// Makes the steps that are due.
void runSteppers();

}  // namespace corvane

#endif
