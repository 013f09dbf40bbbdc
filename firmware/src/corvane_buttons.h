// Buttons and switches on pins of the upload's input use: pulled up, pressed when the contact
// pulls the pin to ground, debounced, reported as D and the pin with '+' on press and '-' on
// release.
#ifndef CORVANE_BUTTONS_H
#define CORVANE_BUTTONS_H

#include "corvane_limits.h"

namespace corvane {

void setUpButtons();
// Samples every button; a level that has held for the debounce time is queued as a report.
void scanButtons();
// The debounced state of the button on pin.
bool buttonPressed(uint8_t pin);

}  // namespace corvane

#endif
