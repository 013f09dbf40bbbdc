#include "corvane_configure.h"

#include "corvane_analog.h"
#include "corvane_buttons.h"
#include "corvane_displays.h"
#include "corvane_encoders.h"
#include "corvane_ledport.h"
#include "corvane_matrix.h"
#include "corvane_outputs.h"
#include "corvane_pins.h"
#include "corvane_reports.h"
#include "corvane_servos.h"
#include "corvane_steppers.h"

namespace corvane {

void configurePins(const uint8_t* uses) {
    stopServos();
    forgetLedPort();  // while its pins are still set up
    for (uint8_t pin = kFirstFreePin; pin < kPinCount; ++pin) {
        if (pinUse[pin] != kUseNone) pinMode(pin, INPUT);
        bool takes = pin < kUploadPins && !reservedPin(pin);
        pinUse[pin] = takes ? uses[pin] : static_cast<uint8_t>(kUseNone);
    }
    // Encoders first: their second pin is taken before the outputs claim pins of their own.
    setUpEncoders();
    setUpButtons();
    setUpMatrix();
    setUpOutputPins();
    setUpSteppers();
    setUpServos();
    setUpDisplays();
    setUpAnalog();
    clearReports();
}

}  // namespace corvane
