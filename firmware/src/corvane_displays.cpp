#include "corvane_displays.h"

#include "corvane_pins.h"

namespace corvane {

uint8_t displayBrightness = 8;

namespace {

// MAX7219 registers.
const uint8_t kDecodeMode = 0x09;
const uint8_t kIntensity = 0x0A;
const uint8_t kScanLimit = 0x0B;
const uint8_t kShutdown = 0x0C;
const uint8_t kDisplayTest = 0x0F;

// The chip scans at least this many digits: fewer would drive each digit with more current than
// its segment resistor is chosen for. The digits a display does not use are kept dark.
const uint8_t kFewestScanned = 4;

// Registers due, as bits: the digit registers 1-8 in bits 0-7, then the settings. Setting bits
// go first and the end of shutdown last, so a display lights only once its digits are written.
const uint16_t kDigitBits = 0x00FF;
const uint16_t kTestOffBit = 0x0100;
const uint16_t kDecodeBit = 0x0200;
const uint16_t kScanLimitBit = 0x0400;
const uint16_t kIntensityBit = 0x0800;
const uint16_t kWakeBit = 0x1000;
const uint16_t kAllBits = 0x1FFF;

struct Display {
    FastPin load;
    uint8_t pin;
    uint8_t digits;
    uint8_t segments[kDisplayDigits];  // chip bytes, index 0 for digit register 1
    uint16_t due;
};

Display displays[kMaxDisplays];
uint8_t displayCount = 0;
bool wired = false;  // the data and clock pins are set up
FastPin dataPin, clockPin;
uint8_t nextDisplay = 0;

void writeRegister(Display& d, uint8_t address, uint8_t value) {
    uint16_t word = static_cast<uint16_t>((address << 8) | value);
    fastWrite(d.load, false);
    for (uint8_t bit = 0; bit < 16; ++bit) {
        fastWrite(dataPin, word & 0x8000);
        fastWrite(clockPin, true);
        fastWrite(clockPin, false);
        word = static_cast<uint16_t>(word << 1);
    }
    fastWrite(d.load, true);
}

void writeDue(Display& d) {
    uint16_t due = d.due;
    if (due & kTestOffBit) {
        writeRegister(d, kDisplayTest, 0);
        d.due &= ~kTestOffBit;
    } else if (due & kDecodeBit) {
        writeRegister(d, kDecodeMode, 0);
        d.due &= ~kDecodeBit;
    } else if (due & kScanLimitBit) {
        writeRegister(d, kScanLimit, (d.digits > kFewestScanned ? d.digits : kFewestScanned) - 1);
        d.due &= ~kScanLimitBit;
    } else if (due & kIntensityBit) {
        writeRegister(d, kIntensity, displayBrightness);
        d.due &= ~kIntensityBit;
    } else if (due & kDigitBits) {
        for (uint8_t k = 0; k < kDisplayDigits; ++k) {
            uint16_t bit = static_cast<uint16_t>(1U << k);
            if (!(due & bit)) continue;
            writeRegister(d, k + 1, d.segments[k]);
            d.due &= ~bit;
            return;
        }
    } else if (due & kWakeBit) {
        writeRegister(d, kShutdown, 1);
        d.due &= ~kWakeBit;
    }
}

}  // namespace

uint8_t chipSegments(uint8_t pluginSegments) {
    uint8_t lit = static_cast<uint8_t>(~pluginSegments);
    return static_cast<uint8_t>(((lit & 0x01) << 7) | (lit >> 1));
}

void setUpDisplays() {
    displayCount = 0;
    nextDisplay = 0;
    wired = false;
    uint8_t din = firstPinWithUse(kUseDisplayData);
    if (din == 255 || !claimPin(din + 1, kUseChained)) return;
    dataPin = fastPin(din);
    clockPin = fastPin(din + 1);
    for (uint8_t k = 0; k < 2; ++k) {
        digitalWrite(din + k, LOW);
        pinMode(din + k, OUTPUT);
    }
    wired = true;
}

void takeDisplayBlock(const uint8_t* pins, uint8_t count) {
    displayCount = 0;
    nextDisplay = 0;
    if (!wired) return;
    for (uint8_t k = 0; k < count && displayCount < kMaxDisplays; ++k) {
        uint8_t pin = pins[k];
        if (pin >= kPinCount || pinUse[pin] != kUseLed) continue;
        Display& d = displays[displayCount++];
        d.pin = pin;
        d.load = fastPin(pin);
        d.digits = kDisplayDigits;
        for (uint8_t i = 0; i < kDisplayDigits; ++i) d.segments[i] = 0;
        d.due = kAllBits;
        digitalWrite(pin, HIGH);
        pinMode(pin, OUTPUT);
    }
}

bool isDisplayPin(uint8_t pin) {
    for (uint8_t k = 0; k < displayCount; ++k) {
        if (displays[k].pin == pin) return true;
    }
    return false;
}

void showDigits(uint8_t pin, const uint8_t* segments, uint8_t count) {
    for (uint8_t k = 0; k < displayCount; ++k) {
        Display& d = displays[k];
        if (d.pin != pin) continue;
        uint8_t digits = count < kDisplayDigits ? count : kDisplayDigits;
        if (digits == 0) return;
        if (digits != d.digits) {
            d.digits = digits;
            d.due |= kScanLimitBit | kDigitBits;
            for (uint8_t i = digits; i < kDisplayDigits; ++i) d.segments[i] = 0;
        }
        for (uint8_t i = 0; i < digits; ++i) {
            uint8_t reg = static_cast<uint8_t>(digits - 1 - i);  // the leftmost is register D
            uint8_t chip = chipSegments(segments[i]);
            if (d.segments[reg] == chip) continue;
            d.segments[reg] = chip;
            d.due |= static_cast<uint16_t>(1U << reg);
        }
        return;
    }
}

void blankDisplays() {
    for (uint8_t k = 0; k < displayCount; ++k) {
        Display& d = displays[k];
        for (uint8_t i = 0; i < kDisplayDigits; ++i) d.segments[i] = 0;
        d.due |= kDigitBits;
    }
}

void refreshBrightness() {
    for (uint8_t k = 0; k < displayCount; ++k) displays[k].due |= kIntensityBit;
}

bool writeNextDisplayRegister() {
    for (uint8_t tries = 0; tries < displayCount; ++tries) {
        Display& d = displays[nextDisplay];
        nextDisplay = static_cast<uint8_t>((nextDisplay + 1) % displayCount);
        if (d.due == 0) continue;
        writeDue(d);
        return true;
    }
    return false;
}

}  // namespace corvane
