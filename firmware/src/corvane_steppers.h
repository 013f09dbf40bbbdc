// Steppers on step/direction drivers: each stepper steps on its own pin (a pulse: HIGH, a few
// microseconds, LOW); all share the direction pin, HIGH while stepping towards higher positions
// and LOW towards lower. A target from the plug-in is reached by steps spread evenly over the
// move time it comes with (no faster than the fastest step rate). A stepper of the upload's
// first kind ('G', a needle with a stop) goes straight to its target; one of the second kind
// ('g', a card that turns without end) takes the shorter way round, counting its position in
// the steps per revolution of the stepper block. Positions count from where the motor stood at
// the first configuration after a reset; a stepper that keeps its pin keeps its position.
#ifndef CORVANE_STEPPERS_H
#define CORVANE_STEPPERS_H

#include "corvane_limits.h"

namespace corvane {

void setUpSteppers();
// Takes the stepper block: per stepper its pin and its steps per revolution (low byte first).
void takeStepperBlock(const uint8_t* block, uint8_t length);
// Sets the stepper on pin moving to target within time x 10 microseconds.
void moveStepper(uint8_t pin, int16_t target, uint16_t time);
// Stops every stepper where it stands.
void holdSteppers();
// Makes the steps that are due.
void runSteppers();

}  // namespace corvane

#endif
