#include "corvane_analog.h"

#include "corvane_link.h"
#include "corvane_pins.h"

namespace corvane {

uint8_t analogChannelLimit = kAnalogChannels;

namespace {

const uint8_t kDefaultThreshold = 4;
const uint8_t kDirectionTags = 1;
const uint8_t kFirstGroupSetting = 128;
// Byte 0 of a channel the configuration does not use (no threshold is written so).
const uint8_t kChannelOff = 100;
// One channel is read per this time.
const uint8_t kReadSpacingMs = 1;
const int16_t kNotReported = -1;

struct Channel {
    bool wanted;      // the analog block names the channel
    bool used;        // and it is read
    bool due;         // the reading is to be sent
    uint8_t mode;     // byte 0 of the block
    uint8_t low;      // byte 1
    uint8_t high;     // byte 2
    int16_t reading;  // the last reading, 0-1000
    int16_t reported;
};

Channel channels[kAnalogChannels];
const uint8_t kNoChannel = 255;

uint8_t nextChannel = 0;
uint8_t converting = kNoChannel;
uint8_t lastReadAt = 0;

uint16_t thresholdOf(const Channel& c) {
    if (c.mode >= 2 && c.mode <= 50) return c.mode;
    if (c.mode > 100 && c.mode < kFirstGroupSetting) return (c.mode - 100) * 100U;
    return kDefaultThreshold;
}

int16_t scaled(const Channel& c, uint16_t raw) {
    int32_t value = (raw * 1000L + 511) / 1023;
    if (c.low < c.high && c.high <= 100) {
        int32_t from = c.low * 10L;
        int32_t to = c.high * 10L;
        value = (value - from) * 1000 / (to - from);
        if (value < 0) value = 0;
        if (value > 1000) value = 1000;
    }
    return static_cast<int16_t>(value);
}

// Starts the converter on a channel (against AVCC, as analogRead does by default) without
// waiting the 0.1 ms it takes; the result is picked up on a later pass.
void startConversion(uint8_t channel) {
#if defined(MUX5)
    ADCSRB = static_cast<uint8_t>((ADCSRB & ~_BV(MUX5)) | (((channel >> 3) & 1) << MUX5));
#endif
    ADMUX = static_cast<uint8_t>(_BV(REFS0) | (channel & 7));
    converting = channel;
    ADCSRA |= _BV(ADSC);
}

void takeReading(uint8_t channel, uint16_t raw) {
    Channel& c = channels[channel];
    if (!c.used) return;  // put out of use while it was converting
    c.reading = scaled(c, raw);
    int16_t moved = c.reading - c.reported;
    if (moved < 0) moved = -moved;
    bool atEnd = (c.reading == 0 || c.reading == 1000) && c.reading != c.reported;
    if (c.reported == kNotReported || atEnd || moved >= static_cast<int16_t>(thresholdOf(c))) {
        c.due = true;
    }
}

bool sendReading(uint8_t channel, const Channel& c) {
    uint8_t rest[12];
    uint8_t length = writeDecimal(rest, channel);
    if (c.mode == kDirectionTags) {
        rest[length++] = c.reading >= c.reported ? '+' : '-';
    } else if (c.mode >= kFirstGroupSetting) {
        rest[length++] = '/';
        length += writeDecimal(rest + length, c.mode - 127);
    }
    rest[length++] = ' ';
    length += writeDecimal(rest + length, static_cast<uint16_t>(c.reading));
    return sendInput('A', rest, length);
}

}  // namespace

void useAnalogChannels() {
    for (uint8_t k = 0; k < kAnalogChannels; ++k) {
        Channel& c = channels[k];
        uint8_t pin = analogInputToDigitalPin(k);
        bool used =
            c.wanted && k < analogChannelLimit && (pin >= kPinCount || pinUse[pin] == kUseNone);
        if (used && !c.used) {
            c.reading = kNotReported;  // reports its first reading
            c.reported = kNotReported;
        }
        if (!used) c.due = false;
        c.used = used;
    }
}

void setUpAnalog() {
    for (uint8_t k = 0; k < kAnalogChannels; ++k) {
        Channel& c = channels[k];
        c.wanted = false;
        c.used = false;
        c.due = false;
        c.mode = 0;
        c.low = 0;
        c.high = 100;
    }
}

void takeAnalogBlock(const uint8_t* settings) {
    for (uint8_t k = 0; k < kAnalogChannels; ++k) {
        Channel& c = channels[k];
        c.wanted = settings[3 * k] != kChannelOff;
        c.mode = c.wanted ? settings[3 * k] : 0;
        c.low = settings[3 * k + 1];
        c.high = settings[3 * k + 2];
    }
    useAnalogChannels();
}

void readNextAnalog() {
    if (converting != kNoChannel) {
        if (ADCSRA & _BV(ADSC)) return;  // still converting
        uint8_t low = ADCL;              // ADCL first: it holds ADCH until ADCH is read
        uint16_t raw = static_cast<uint16_t>((ADCH << 8) | low);
        takeReading(converting, raw);
        converting = kNoChannel;
    }
    uint8_t now = static_cast<uint8_t>(millis());
    if (static_cast<uint8_t>(now - lastReadAt) < kReadSpacingMs) return;
    for (uint8_t tries = 0; tries < kAnalogChannels; ++tries) {
        uint8_t k = nextChannel;
        nextChannel = static_cast<uint8_t>((nextChannel + 1) % kAnalogChannels);
        if (!channels[k].used) continue;
        lastReadAt = now;
        startConversion(k);
        return;
    }
}

void sendAnalogReadings() {
    for (uint8_t k = 0; k < kAnalogChannels; ++k) {
        Channel& c = channels[k];
        if (!c.due) continue;
        if (!sendReading(k, c)) return;
        c.due = false;
        c.reported = c.reading;
    }
}

void reportAllAnalog() {
    for (uint8_t k = 0; k < kAnalogChannels; ++k) {
        if (channels[k].used && channels[k].reading != kNotReported) channels[k].due = true;
    }
}

}  // namespace corvane
