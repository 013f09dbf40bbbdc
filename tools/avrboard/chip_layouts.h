// The two chips the virtual board runs and how the Arduino core's variants wire them: Arduino pin
// numbers to port bits (the Uno's "standard" and the Mega 2560's "mega" variant), the pins a
// timer's output compare unit drives (analogWrite), the analog channels and the serial port.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace avrboard {

struct PortBit {
    char port = 'B';  // 'A' ... 'L'
    int bit = 0;      // 0 ... 7
};

// A timer's control registers (data-space addresses); icr is 0 for an 8-bit timer.
struct TimerRegisters {
    uint16_t tccra = 0, tccrb = 0, icr = 0, ocra = 0;
};

// One output compare channel: the timer, its compare register and where its COM bits sit in
// TCCRnA (6 for channel A, 4 for B, 2 for C).
struct PwmChannel {
    int pin = 0;
    int timer = 0;  // index into ChipLayout::timers
    uint16_t ocr = 0;
    int comShift = 6;
};

struct ChipLayout {
    std::string mcu;            // simavr's name: "atmega328p", "atmega2560"
    std::vector<PortBit> pins;  // indexed by Arduino pin number
    std::vector<TimerRegisters> timers;
    std::vector<PwmChannel> pwm;
    int analogChannels = 0;  // ADC0 ... ADCn-1
};

// The layout for an --mcu name, or nullptr for a chip the board does not know.
const ChipLayout* FindChipLayout(const std::string& mcu);

// Data-space addresses of USART0, the same on both chips.
constexpr uint16_t kUcsr0a = 0xC0, kUcsr0b = 0xC1, kUcsr0c = 0xC2, kUbrr0l = 0xC4, kUbrr0h = 0xC5,
                   kUdr0 = 0xC6;
constexpr uint8_t kRxc0 = 0x80, kRxen0 = 0x10;
// Data-space addresses of the SPI port, the same on both chips.
constexpr uint16_t kSpcr = 0x4C, kSpsr = 0x4D, kSpdr = 0x4E;

}  // namespace avrboard
