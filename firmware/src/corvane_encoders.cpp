#include "corvane_encoders.h"

#include "corvane_link.h"
#include "corvane_pins.h"

namespace corvane {

namespace {

// Messages of one encoder are this far apart at least; steps in between add up.
const uint8_t kMessageSpacingMs = 10;
// The largest count of one message; the rest follows in the next. It keeps the count byte
// below the braces that frame messages on the line.
const uint8_t kMaxCount = 120;

// The count of the next message for this many steps: at most kMaxCount, and never the tab or
// the blank, which the plug-in takes for the end of the message's field (their last step then
// follows in the next message).
uint8_t countToSend(int16_t steps) {
    uint8_t count = steps > kMaxCount ? kMaxCount : static_cast<uint8_t>(steps);
    if (count == '\t' || count == ' ') --count;
    return count;
}

struct Encoder {
    InputPin a, b;
    uint8_t pinA;
    bool halfCycle;
    uint8_t level;    // B in bit 0, A in bit 1
    int8_t quarters;  // quarter steps since the last rest position
    int16_t steps;    // steps not yet sent, '+' positive
    uint8_t sentAt;   // low byte of millis() of the last message
};

Encoder encoders[kMaxEncoders];
uint8_t encoderCount = 0;

// Quarter-step movement from one level to the next, indexed by old level * 4 + new level: with
// A leading, the levels run 3, 1, 0, 2, 3 (A falls first).
const int8_t kQuarterStep[16] = {
    0,  -1, 1,  0,   // from 0
    1,  0,  0,  -1,  // from 1
    -1, 0,  0,  1,   // from 2
    0,  1,  -1, 0,   // from 3
};

uint8_t readLevel(const Encoder& e) {
    return static_cast<uint8_t>((isHigh(e.a) ? 2 : 0) | (isHigh(e.b) ? 1 : 0));
}

}  // namespace

void setUpEncoders() {
    encoderCount = 0;
    for (uint8_t pin = kFirstFreePin; pin < kUploadPins; ++pin) {
        uint8_t use = pinUse[pin];
        if (use != kUseEncoder && use != kUseHalfStepEncoder) continue;
        if (encoderCount == kMaxEncoders || !claimPin(pin + 1, kUseEncoderB)) {
            pinUse[pin] = kUseNone;
            continue;
        }
        pinMode(pin, INPUT_PULLUP);
        pinMode(pin + 1, INPUT_PULLUP);
        Encoder& e = encoders[encoderCount++];
        e.pinA = pin;
        e.a = inputPin(pin);
        e.b = inputPin(pin + 1);
        e.halfCycle = use == kUseHalfStepEncoder;
        e.quarters = 0;
        e.steps = 0;
        e.sentAt = 0;
    }
    delayMicroseconds(20);
    for (uint8_t k = 0; k < encoderCount; ++k) encoders[k].level = readLevel(encoders[k]);
}

void pollEncoders() {
    for (uint8_t k = 0; k < encoderCount; ++k) {
        Encoder& e = encoders[k];
        uint8_t level = readLevel(e);
        if (level == e.level) continue;
        e.quarters += kQuarterStep[e.level * 4 + level];
        e.level = level;
        bool atRest = level == 3 || (e.halfCycle && level == 0);
        if (!atRest) continue;
        // Counting at the rest position only lets a bouncing contact cancel itself out.
        if (e.quarters >= 2 && e.steps < 32000) ++e.steps;
        if (e.quarters <= -2 && e.steps > -32000) --e.steps;
        e.quarters = 0;
    }
}

void sendEncoderCounts() {
    uint8_t now = static_cast<uint8_t>(millis());
    for (uint8_t k = 0; k < encoderCount; ++k) {
        Encoder& e = encoders[k];
        if (e.steps == 0 || static_cast<uint8_t>(now - e.sentAt) < kMessageSpacingMs) continue;
        uint8_t count = countToSend(e.steps > 0 ? e.steps : -e.steps);
        uint8_t rest[6];
        uint8_t length = writeDecimal(rest, e.pinA);
        rest[length++] = e.steps > 0 ? '+' : '-';
        rest[length++] = ' ';
        rest[length++] = count;
        if (!sendInput('E', rest, length)) return;
        e.steps += e.steps > 0 ? -count : count;
        e.sentAt = now;
    }
}

}  // namespace corvane
