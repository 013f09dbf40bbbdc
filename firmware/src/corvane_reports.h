// The board's input messages: presses and releases wait in a short queue, encoder counts and
// analog readings are kept by their parts; all are sent when the send buffer has room, so the
// main loop never waits for the line. The request for all inputs sends every switch position.
#ifndef CORVANE_REPORTS_H
#define CORVANE_REPORTS_H

#include "corvane_limits.h"

namespace corvane {

// Queues a press or release of a button ('D' and its pin) or of a matrix button ('B' and its
// number); false when the queue is full.
bool queueSwitch(char type, uint16_t number, bool pressed);
// Sends the position of every button, matrix button and analog channel, a few at a time.
void reportAllInputs();
void clearReports();
// Sends what is due, as far as the send buffer has room.
void sendReports();
// Sends the message of one switch; false when there is no room.
bool sendSwitch(char type, uint16_t number, bool pressed);

}  // namespace corvane

#endif
