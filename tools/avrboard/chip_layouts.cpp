#include "chip_layouts.h"

namespace avrboard {
namespace {

// "D0 D1 ..." -> port bits, in Arduino pin order.
std::vector<PortBit> PinList(const char* text) {
    std::vector<PortBit> pins;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p == ' ') continue;
        pins.push_back({p[0], p[1] - '0'});
        ++p;
    }
    return pins;
}

// Timers 0 and 2 are 8-bit, the others 16-bit; the addresses are those of avr-libc's io headers.
const TimerRegisters kTimer0{0x44, 0x45, 0, 0x47};
const TimerRegisters kTimer1{0x80, 0x81, 0x86, 0x88};
const TimerRegisters kTimer2{0xB0, 0xB1, 0, 0xB3};
const TimerRegisters kTimer3{0x90, 0x91, 0x96, 0x98};
const TimerRegisters kTimer4{0xA0, 0xA1, 0xA6, 0xA8};
const TimerRegisters kTimer5{0x120, 0x121, 0x126, 0x128};

ChipLayout Uno() {
    ChipLayout layout;
    layout.mcu = "atmega328p";
    layout.pins = PinList("D0 D1 D2 D3 D4 D5 D6 D7 B0 B1 B2 B3 B4 B5 C0 C1 C2 C3 C4 C5");
    layout.timers = {kTimer0, kTimer1, kTimer2};
    layout.pwm = {{3, 2, 0xB4, 4}, {5, 0, 0x48, 4},  {6, 0, 0x47, 6},
                  {9, 1, 0x88, 6}, {10, 1, 0x8A, 4}, {11, 2, 0xB3, 6}};
    layout.analogChannels = 8;
    return layout;
}

ChipLayout Mega() {
    ChipLayout layout;
    layout.mcu = "atmega2560";
    layout.pins = PinList(
        "E0 E1 E4 E5 G5 E3 H3 H4 H5 H6 B4 B5 B6 B7 J1 J0 H1 H0 D3 D2 D1 D0 A0 A1 A2 A3 A4 A5 A6 "
        "A7 C7 C6 C5 C4 C3 C2 C1 C0 D7 G2 G1 G0 L7 L6 L5 L4 L3 L2 L1 L0 B3 B2 B1 B0 F0 F1 F2 F3 "
        "F4 F5 F6 F7 K0 K1 K2 K3 K4 K5 K6 K7");
    layout.timers = {kTimer0, kTimer1, kTimer2, kTimer3, kTimer4, kTimer5};
    layout.pwm = {{2, 3, 0x9A, 4},   {3, 3, 0x9C, 2},   {4, 0, 0x48, 4},  {5, 3, 0x98, 6},
                  {6, 4, 0xA8, 6},   {7, 4, 0xAA, 4},   {8, 4, 0xAC, 2},  {9, 2, 0xB4, 4},
                  {10, 2, 0xB3, 6},  {11, 1, 0x88, 6},  {12, 1, 0x8A, 4}, {13, 0, 0x47, 6},
                  {44, 5, 0x12C, 2}, {45, 5, 0x12A, 4}, {46, 5, 0x128, 6}};
    layout.analogChannels = 16;
    return layout;
}

}  // namespace

const ChipLayout* FindChipLayout(const std::string& mcu) {
    static const ChipLayout uno = Uno();
    static const ChipLayout mega = Mega();
    if (mcu == uno.mcu) return &uno;
    if (mcu == mega.mcu) return &mega;
    return nullptr;
}

}  // namespace avrboard
