#include "corvane_steppers.h"

#include "corvane_pins.h"

namespace corvane {

namespace {

// The shortest time between two steps of one motor.
const uint32_t kFastestStepMicros = 500;

struct Stepper {
    FastPin step;
    uint8_t pin;
    bool turning;
    uint16_t stepsPerTurn;
    int16_t position;
    int16_t target;
    uint32_t interval;
    uint32_t lastStepAt;
};

Stepper steppers[kMaxSteppers];
uint8_t stepperCount = 0;
FastPin direction;
bool hasDirection = false;

void pulse(Stepper& s, bool up) {
    if (hasDirection) {
        fastWrite(direction, up);
        delayMicroseconds(1);
    }
    fastWrite(s.step, true);
    delayMicroseconds(4);
    fastWrite(s.step, false);
}

// The number of steps from the position to the target, signed.
int32_t stepsToGo(const Stepper& s) {
    int32_t distance = static_cast<int32_t>(s.target) - s.position;
    if (s.turning && s.stepsPerTurn > 0) {
        int32_t turn = s.stepsPerTurn;
        if (distance > turn / 2) distance -= turn;
        if (distance < -turn / 2) distance += turn;
    }
    return distance;
}

// The position a stepper on pin had before this configuration: a motor that keeps its pin keeps
// its place.
int16_t formerPosition(uint8_t pin, const uint8_t* pins, const int16_t* positions, uint8_t count) {
    for (uint8_t k = 0; k < count; ++k) {
        if (pins[k] == pin) return positions[k];
    }
    return 0;
}

}  // namespace

void setUpSteppers() {
    uint8_t formerPins[kMaxSteppers];
    int16_t formerPositions[kMaxSteppers];
    uint8_t formerCount = stepperCount;
    for (uint8_t k = 0; k < formerCount; ++k) {
        formerPins[k] = steppers[k].pin;
        formerPositions[k] = steppers[k].position;
    }
    stepperCount = 0;
    uint8_t dir = firstPinWithUse(kUseStepperDirection);
    hasDirection = dir != 255;
    if (hasDirection) direction = fastPin(dir);
    for (uint8_t pin = kFirstFreePin; pin < kUploadPins; ++pin) {
        uint8_t use = pinUse[pin];
        if (use != kUseStepper && use != kUseTurningStepper) continue;
        if (stepperCount == kMaxSteppers) {
            pinUse[pin] = kUseNone;
            continue;
        }
        digitalWrite(pin, LOW);
        pinMode(pin, OUTPUT);
        Stepper& s = steppers[stepperCount++];
        s.step = fastPin(pin);
        s.pin = pin;
        s.turning = use == kUseTurningStepper;
        s.stepsPerTurn = 0;
        s.position = formerPosition(pin, formerPins, formerPositions, formerCount);
        s.target = s.position;
        s.interval = kFastestStepMicros;
        s.lastStepAt = micros();
    }
}

void takeStepperBlock(const uint8_t* block, uint8_t length) {
    for (uint8_t at = 0; at + 3 <= length; at += 3) {
        for (uint8_t k = 0; k < stepperCount; ++k) {
            if (steppers[k].pin == block[at]) {
                steppers[k].stepsPerTurn =
                    static_cast<uint16_t>(block[at + 1] | (block[at + 2] << 8));
            }
        }
    }
}

void moveStepper(uint8_t pin, int16_t target, uint16_t time) {
    for (uint8_t k = 0; k < stepperCount; ++k) {
        Stepper& s = steppers[k];
        if (s.pin != pin) continue;
        if (s.turning && s.stepsPerTurn > 0) {
            int32_t turn = s.stepsPerTurn;
            int32_t wrapped = target % turn;
            if (wrapped < 0) wrapped += turn;
            target = static_cast<int16_t>(wrapped);
        }
        s.target = target;
        int32_t distance = stepsToGo(s);
        if (distance < 0) distance = -distance;
        uint32_t interval = distance > 0 ? time * 10UL / static_cast<uint32_t>(distance) : 0;
        s.interval = interval > kFastestStepMicros ? interval : kFastestStepMicros;
    }
}

void holdSteppers() {
    for (uint8_t k = 0; k < stepperCount; ++k) steppers[k].target = steppers[k].position;
}

void runSteppers() {
    uint32_t now = micros();
    for (uint8_t k = 0; k < stepperCount; ++k) {
        Stepper& s = steppers[k];
        if (s.position == s.target) {
            s.lastStepAt = now - s.interval;  // the next move starts at once
            continue;
        }
        if (now - s.lastStepAt < s.interval) continue;
        int32_t distance = stepsToGo(s);
        bool up = distance > 0;
        pulse(s, up);
        s.position = static_cast<int16_t>(s.position + (up ? 1 : -1));
        if (s.turning && s.stepsPerTurn > 0) {
            if (s.position < 0) s.position = static_cast<int16_t>(s.position + s.stepsPerTurn);
            if (s.position >= static_cast<int16_t>(s.stepsPerTurn)) s.position = 0;
        }
        // Behind by more than a step (a slow loop): carry on from now rather than catch up.
        s.lastStepAt = now - s.lastStepAt >= 2 * s.interval ? now : s.lastStepAt + s.interval;
    }
}

}  // namespace corvane
