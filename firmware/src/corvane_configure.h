// Applying a configuration upload: every part of the board is reset and takes its pins.
#ifndef CORVANE_CONFIGURE_H
#define CORVANE_CONFIGURE_H

#include "corvane_limits.h"

namespace corvane {

// Takes the 54 pin-use bytes of an upload (pins 0 to 53) and sets up every pin and part.
void configurePins(const uint8_t* uses);

}  // namespace corvane

#endif
