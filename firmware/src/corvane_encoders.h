// Rotary encoders: the upload's encoder pin n carries the quadrature signal A, pin n + 1 the
// signal B, both pulled up. A turn with A leading is '+', the other way '-'. An encoder of the
// upload's first kind counts one step per full quadrature cycle (the usual detented encoder,
// resting with both contacts open); one of the second kind one step per half cycle (resting
// with both open or both closed). Steps are sent as E, the pin, the sign, a blank and the
// number of steps as one byte, at most one message per encoder every few milliseconds, so a
// fast turn sends few messages with large counts. A count of 9 or 32 goes as 8 or 31 and one
// more in the next message.
#ifndef CORVANE_ENCODERS_H
#define CORVANE_ENCODERS_H

#include "corvane_limits.h"

namespace corvane {

void setUpEncoders();
// Samples every encoder; call it as often as possible.
void pollEncoders();
// Sends the steps counted since the last message of each encoder, as far as there is room.
void sendEncoderCounts();

}  // namespace corvane

#endif
