#include "corvane_outputs.h"

#include "corvane_displays.h"
#include "corvane_ledport.h"
#include "corvane_pins.h"
#include "corvane_servos.h"
#include "corvane_steppers.h"

namespace corvane {

CorvaneValueHandler valueHandler = nullptr;
CorvaneTextHandler textHandler = nullptr;

namespace {

float readFloat(const uint8_t* bytes) {
    float value;
    uint8_t* target = reinterpret_cast<uint8_t*>(&value);
    for (uint8_t k = 0; k < 4; ++k) target[k] = bytes[k];  // both little-endian
    return value;
}

uint8_t useOf(uint8_t pin) {
    return pin < kPinCount ? pinUse[pin] : static_cast<uint8_t>(0);
}

void writeDuty(uint8_t pin, uint8_t duty) {
    if (useOf(pin) == kUsePwm && !pwmBlockedByServos(pin)) analogWrite(pin, duty);
}

void setLamp(uint8_t pin, bool lit) {
    if (useOf(pin) == kUseLed) digitalWrite(pin, lit ? HIGH : LOW);
}

void applyValue(uint8_t pin, char letter, float value) {
    switch (useOf(pin)) {
        case kUseServo:
            setServo(pin, value);
            return;
        case kUsePwm:
            writeDuty(pin, value <= 0 ? 0 : value >= 255 ? 255 : static_cast<uint8_t>(value));
            return;
        case kUseLed:
            setLamp(pin, value != 0);
            return;
        default:
            if (valueHandler) valueHandler(pin, letter, value);
    }
}

}  // namespace

void setUpOutputPins() {
    for (uint8_t pin = kFirstFreePin; pin < kUploadPins; ++pin) {
        uint8_t use = pinUse[pin];
        if (use == kUseLed || use == kUsePwm || use == kUseStepperDirection) {
            digitalWrite(pin, LOW);
            pinMode(pin, OUTPUT);
        }
    }
}

void applyRecords(const uint8_t* records, uint8_t length) {
    uint8_t at = 0;
    // Each record is at least two bytes; one that runs past the message's end is dropped.
    while (at + 2 <= length) {
        uint8_t pin = records[at];
        uint8_t kind = records[at + 1];
        const uint8_t* body = records + at + 2;
        uint8_t left = static_cast<uint8_t>(length - at - 2);
        uint8_t size;
        if (kind == ')' || kind == '(') {
            setLamp(pin, kind == ')');
            size = 0;
        } else if (kind == 'R' || kind == 'B') {
            if (left < 1 || body[0] > left - 1) return;
            size = static_cast<uint8_t>(1 + body[0]);
            if (kind == 'B') {
                if (textHandler) textHandler(pin, reinterpret_cast<const char*>(body + 1), body[0]);
            } else if (isDisplayPin(pin)) {
                showDigits(pin, body + 1, body[0]);
            } else {
                showLedPort(pin, body + 1, body[0]);
            }
        } else if (kind == 'G') {
            if (left < 4) return;
            size = 4;
            moveStepper(pin, static_cast<int16_t>(body[0] | (body[1] << 8)),
                        static_cast<uint16_t>(body[2] | (body[3] << 8)));
        } else if (kind == 'P') {
            if (left < 1) return;
            size = 1;
            writeDuty(pin, body[0]);
        } else {
            if (left < 4) return;
            size = 4;
            applyValue(pin, static_cast<char>(kind), readFloat(body));
        }
        at = static_cast<uint8_t>(at + 2 + size);
    }
}

void passTextBack(const uint8_t* text, uint8_t length) {
    if (textHandler) textHandler(255, reinterpret_cast<const char*>(text), length);
}

}  // namespace corvane
