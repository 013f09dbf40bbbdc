#include "corvane_servos.h"

#include "corvane_pins.h"

namespace corvane {

namespace {

// Timer 1 counts in half microseconds (prescaler 8 at 16 MHz).
const uint16_t kTicksPerMicro = 2;
const uint16_t kFrameTicks = 20000 * kTicksPerMicro;
// A servo without a pulse yet still takes a short slot in the frame.
const uint16_t kIdleSlotTicks = 100;

FastPin pins[kMaxServos];
uint8_t servoPins[kMaxServos];
volatile uint16_t pulseTicks[kMaxServos];
uint8_t servoCount = 0;
volatile int8_t slot = -1;
uint16_t frameStart = 0;  // the compare time at which the current frame began

}  // namespace

}  // namespace corvane

// Ends the pulse of one servo and begins the next one's in the same breath, each compare time
// counted from the one before, so that every pulse is as long as asked whatever the interrupt's
// latency; after the last servo, waits for the frame's end. The timer runs free and wraps.
ISR(TIMER1_COMPA_vect) {
    using namespace corvane;
    if (slot >= 0 && slot < servoCount && pulseTicks[slot] != 0) {
        *pins[slot].out &= static_cast<uint8_t>(~pins[slot].mask);
    }
    ++slot;
    uint16_t at = OCR1A;
    if (slot == 0) frameStart = at;
    if (slot < servoCount) {
        uint16_t ticks = pulseTicks[slot];
        if (ticks != 0) *pins[slot].out |= pins[slot].mask;
        OCR1A = at + (ticks != 0 ? ticks : kIdleSlotTicks);
    } else {
        uint16_t end = frameStart + kFrameTicks;
        uint16_t ahead = end - TCNT1;
        OCR1A = ahead > 16 && ahead <= kFrameTicks ? end : TCNT1 + 16;
        slot = -1;
    }
}

namespace corvane {

uint16_t servoPulseMicros(float value) {
    const float kDegreesEnd = 180;
    // Between the two ranges a value belongs to the end it overshot: up to here the 180 degrees.
    const float kPastDegrees = 290;
    const uint16_t kShortest = 400, kLongest = 2600;
    if (!(value >= 0)) value = 0;  // negative, or not a number
    if (value <= kDegreesEnd) return static_cast<uint16_t>(544 + value * (2400 - 544) / 180 + 0.5f);
    if (value < kPastDegrees) return 2400;
    if (value < kShortest) return kShortest;
    if (value > kLongest) return kLongest;
    return static_cast<uint16_t>(value + 0.5f);
}

void stopServos() {
    TIMSK1 &= static_cast<uint8_t>(~_BV(OCIE1A));
    if (servoCount == 0) return;
    for (uint8_t k = 0; k < servoCount; ++k) fastWrite(pins[k], false);
    servoCount = 0;
    // Back to the core's setting of timer 1 (8-bit phase-correct PWM, prescaler 64), so that its
    // pins do PWM again.
    TCCR1A = _BV(WGM10);
    TCCR1B = _BV(CS11) | _BV(CS10);
}

void setUpServos() {
    servoCount = 0;
    for (uint8_t pin = kFirstFreePin; pin < kUploadPins; ++pin) {
        if (pinUse[pin] != kUseServo) continue;
        if (servoCount == kMaxServos) {
            pinUse[pin] = kUseNone;
            continue;
        }
        digitalWrite(pin, LOW);
        pinMode(pin, OUTPUT);
        pins[servoCount] = fastPin(pin);
        servoPins[servoCount] = pin;
        pulseTicks[servoCount] = 0;
        ++servoCount;
    }
    if (servoCount == 0) return;
    slot = -1;
    TCCR1A = 0;
    TCCR1B = _BV(CS11);
    TCNT1 = 0;
    OCR1A = kFrameTicks;
    TIFR1 = _BV(OCF1A);
    TIMSK1 |= _BV(OCIE1A);
}

void setServo(uint8_t pin, float value) {
    uint16_t ticks = servoPulseMicros(value) * kTicksPerMicro;
    for (uint8_t k = 0; k < servoCount; ++k) {
        if (servoPins[k] != pin) continue;
        uint8_t status = SREG;
        cli();
        pulseTicks[k] = ticks;
        SREG = status;
    }
}

bool pwmBlockedByServos(uint8_t pin) {
    if (servoCount == 0) return false;
    uint8_t timer = digitalPinToTimer(pin);
#if defined(TIMER1C)
    if (timer == TIMER1C) return true;
#endif
    return timer == TIMER1A || timer == TIMER1B;
}

}  // namespace corvane
