// The speed profile follows the motor in whole steps: ramp n is the number of steps of speeding
// up the motor has behind it, and the wait before its next step after c(0), c(1), ... c(n - 1)
// is c(n) = c(n - 1) - 2 c(n - 1) / (4n + 1) (D. Austin's recurrence for constant
// acceleration); slowing down runs it backwards, so a move of N steps waits c(0), c(1), ...,
// then as long as it may at the top speed, then ..., c(1), c(0). One division per step while the
// speed changes and none while it holds; waits are kept in sixteenths of a microsecond.
#include "corvane_steppers.h"

#include "corvane_pins.h"

namespace corvane {

namespace {

const uint32_t kSixteenthsPerSecond = 16000000UL;

struct Stepper {
    FastPin step;
    uint8_t pin;
    bool turning;
    bool forward;  // the way the motor turns (towards higher positions)
    uint16_t stepsPerTurn;
    int16_t position;
    int16_t target;
    uint16_t ramp;
    uint32_t shortest;  // the shortest wait of this move (sixteenths of a microsecond)
    uint32_t wait;      // before the next step (sixteenths of a microsecond)
    uint32_t lastStepAt;
};

Stepper steppers[kMaxSteppers];
uint8_t stepperCount = 0;
FastPin direction;
bool hasDirection = false;
// c(0), and the shortest wait the top speed allows (sixteenths of a microsecond).
uint32_t firstWait = 0;
uint32_t fastestWait = 0;

uint32_t squareRoot(uint32_t value) {
    uint32_t root = 0;
    for (uint32_t bit = 1UL << 30; bit != 0; bit >>= 2) {
        if (value >= root + bit) {
            value -= root + bit;
            root = (root >> 1) + bit;
        } else {
            root >>= 1;
        }
    }
    return root;
}

void pulse(Stepper& s) {
    if (hasDirection) {
        fastWrite(direction, s.forward);
        delayMicroseconds(1);
    }
    fastWrite(s.step, true);
    delayMicroseconds(4);
    fastWrite(s.step, false);
}

int16_t wrapped(const Stepper& s, int32_t position) {
    if (s.turning && s.stepsPerTurn > 0) {
        int32_t turn = s.stepsPerTurn;
        position %= turn;
        if (position < 0) position += turn;
    }
    return static_cast<int16_t>(position);
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

// The wait after a step, with `left` steps to go the way the motor turns (0 when the target is
// behind it): faster while there is room to stop, as fast while there is just that room, slower
// when there is not, or when the move asks for a slower speed.
void nextWait(Stepper& s, uint32_t left) {
    uint16_t n = s.ramp;
    if (n == 0) {  // a first step from standstill
        if (left > 0) s.ramp = 1;
        s.wait = left > 0 && s.shortest > firstWait ? s.shortest : firstWait;
        return;
    }
    // Faster only while the room allows and the move's top speed is not reached (no division
    // while the motor holds its speed).
    if (left >= n + 1UL && s.wait > s.shortest) {
        uint32_t faster = s.wait - 2 * s.wait / (4UL * n + 1);
        s.wait = faster > s.shortest ? faster : s.shortest;
        if (faster >= s.shortest) s.ramp = n + 1;
        return;
    }
    if (left >= n && s.wait >= s.shortest) return;  // as fast as it goes
    if (n >= 2) {
        s.wait += 2 * s.wait / (4UL * n - 5);
        s.ramp = n - 1;
    } else if (n == 1 && left > 0) {
        s.wait = firstWait > s.shortest ? firstWait : s.shortest;
    } else {
        s.ramp = 0;  // stopped on its target, or about to turn back
        s.wait = firstWait;
    }
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

void setStepperMotion(uint16_t stepsPerSecond, uint16_t acceleration) {
    if (stepsPerSecond == 0) stepsPerSecond = 1;
    if (acceleration == 0) acceleration = 1;
    fastestWait = kSixteenthsPerSecond / stepsPerSecond;
    // c(0) = 0.676 sqrt(2 / a) seconds; the root of 256 a keeps four more bits.
    firstWait = 244738048UL / squareRoot(static_cast<uint32_t>(acceleration) << 8);
}

void setUpSteppers() {
    if (firstWait == 0) setStepperMotion(kDefaultStepperSpeed, kDefaultStepperAcceleration);
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
        s.forward = true;
        s.stepsPerTurn = 0;
        s.position = formerPosition(pin, formerPins, formerPositions, formerCount);
        s.target = s.position;
        s.ramp = 0;
        s.shortest = fastestWait;
        s.wait = firstWait;
        s.lastStepAt = micros() - (firstWait >> 4);
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
        s.target = wrapped(s, target);
        int32_t distance = stepsToGo(s);
        if (distance < 0) distance = -distance;
        // The steps spread over the move time, no faster than the top speed.
        uint32_t spread = distance > 0 ? time * 160UL / static_cast<uint32_t>(distance) : 0;
        s.shortest = spread > fastestWait ? spread : fastestWait;
    }
}

void holdSteppers() {
    for (uint8_t k = 0; k < stepperCount; ++k) {
        Stepper& s = steppers[k];
        // The step under way, then one fewer for each step of speed it has.
        int32_t stopping = s.ramp;
        s.target = wrapped(s, s.position + (s.forward ? stopping : -stopping));
    }
}

void runSteppers() {
    uint32_t now = micros();
    for (uint8_t k = 0; k < stepperCount; ++k) {
        Stepper& s = steppers[k];
        uint32_t wait = s.wait >> 4;
        if (now - s.lastStepAt < wait) continue;
        if (s.ramp == 0 && s.position == s.target) {
            s.lastStepAt = now - wait;  // rested: the next move starts at once
            continue;
        }
        int32_t distance = stepsToGo(s);
        if (s.ramp == 0) s.forward = distance > 0;
        pulse(s);
        s.position = static_cast<int16_t>(s.position + (s.forward ? 1 : -1));
        if (s.turning && s.stepsPerTurn > 0) {
            if (s.position < 0) s.position = static_cast<int16_t>(s.stepsPerTurn - 1);
            if (s.position >= static_cast<int16_t>(s.stepsPerTurn)) s.position = 0;
        }
        // Behind by more than a step (a slow loop): carry on from now rather than catch up.
        s.lastStepAt = now - s.lastStepAt >= 2 * wait ? now : s.lastStepAt + wait;
        distance = stepsToGo(s);
        uint32_t left = s.forward ? (distance > 0 ? distance : 0) : (distance < 0 ? -distance : 0);
        nextWait(s, left);
    }
}

}  // namespace corvane
