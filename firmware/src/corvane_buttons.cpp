#include "corvane_buttons.h"

#include "corvane_pins.h"
#include "corvane_reports.h"

namespace corvane {

namespace {

// A contact must keep its new level this long before the change counts.
const uint8_t kDebounceMs = 5;

const uint8_t kPressed = 1;
const uint8_t kChanging = 2;

uint8_t state[kUploadPins];
uint8_t changeSeenAt[kUploadPins];  // low byte of millis() when the level first differed

bool levelPressed(uint8_t pin) {
    return digitalRead(pin) == LOW;
}

}  // namespace

void setUpButtons() {
    for (uint8_t pin = kFirstFreePin; pin < kUploadPins; ++pin) {
        state[pin] = 0;
        if (pinUse[pin] != kUseInput) continue;
        pinMode(pin, INPUT_PULLUP);
    }
    delayMicroseconds(20);  // let the pull-ups charge the lines before the first reading
    for (uint8_t pin = kFirstFreePin; pin < kUploadPins; ++pin) {
        if (pinUse[pin] == kUseInput && levelPressed(pin)) state[pin] = kPressed;
    }
}

void scanButtons() {
    uint8_t now = static_cast<uint8_t>(millis());
    for (uint8_t pin = kFirstFreePin; pin < kUploadPins; ++pin) {
        if (pinUse[pin] != kUseInput) continue;
        bool pressed = levelPressed(pin);
        bool stable = state[pin] & kPressed;
        if (pressed == stable) {
            state[pin] &= static_cast<uint8_t>(~kChanging);
        } else if (!(state[pin] & kChanging)) {
            state[pin] |= kChanging;
            changeSeenAt[pin] = now;
        } else if (static_cast<uint8_t>(now - changeSeenAt[pin]) >= kDebounceMs &&
                   queueSwitch('D', pin, pressed)) {
            // A full queue leaves the change to be seen again on the next scan.
            state[pin] = pressed ? kPressed : 0;
        }
    }
}

bool buttonPressed(uint8_t pin) {
    return pin < kUploadPins && (state[pin] & kPressed);
}

}  // namespace corvane
