// Outputs put dark while the plug-in is gone: lamps and PWM off, the LED port dark, the displays
// blank, the steppers brought to a stop as fast as they may slow down; the servos hold their
// positions.
#ifndef CORVANE_BLACKOUT_H
#define CORVANE_BLACKOUT_H

#include "corvane_limits.h"

namespace corvane {

void darkenOutputs();

}  // namespace corvane

#endif
