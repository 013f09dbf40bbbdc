#include "corvane_blackout.h"

#include "corvane_displays.h"
#include "corvane_ledport.h"
#include "corvane_pins.h"
#include "corvane_servos.h"
#include "corvane_steppers.h"

namespace corvane {

void darkenOutputs() {
    for (uint8_t pin = kFirstFreePin; pin < kUploadPins; ++pin) {
        uint8_t use = pinUse[pin];
        // A display's own pin is its chip's LOAD line, which rests high.
        if (use == kUseLed && !isDisplayPin(pin)) digitalWrite(pin, LOW);
        if (use == kUsePwm && !pwmBlockedByServos(pin)) analogWrite(pin, 0);
    }
    darkenLedPort();
    blankDisplays();
    holdSteppers();
}

}  // namespace corvane
