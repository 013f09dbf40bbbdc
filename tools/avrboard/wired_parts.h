// The parts a cockpit builder wires to the board, followed edge by edge on the chip's pins:
//
// - The LED port: a chain of 74HC595 shift registers with its data on a pin, its clock on the
//   next pin and its latch on the one after. A rising clock edge shifts the data level into the
//   register nearest the board (bit 0, Q0) and every register's Q7 into the next one; a rising
//   latch edge copies as many registers as whole bytes were shifted since the last latch to the
//   outputs. The data pin is one of the pins the configuration upload gives code 7 (any pin
//   before the first upload); among several, the chain latched last is the LED port.
// - 7-segment displays: MAX7219s with DIN on the 7-segment common pin (upload code 13) and CLK
//   on the next pin, one per display, whose LOAD line is the display's own pin: a code-7 pin
//   that rises after 16 bits were clocked latches the last 16 (address in the high byte) into
//   that display's registers: digits 1-8 (digit 1 is the rightmost), decode mode 0x09, scan
//   limit 0x0B, shutdown 0x0C and display test 0x0F.
// - Steppers: every rising edge of an output counts a step on that pin, forward when the
//   stepper direction pin (upload code 11) is high, back when it is low (forward without one).
//   The waits between the rising edges of a pin's latest move (its edges no more than 250 ms
//   apart, the direction pin unchanged) show a stepper's speed profile.
// - Servos: the width of the last high pulse on every output.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace avrboard {

class WiredParts {
  public:
    explicit WiredParts(int pinCount);

    // The pin uses of a configuration upload, one code per pin from pin 0.
    void SetPinUses(const std::vector<uint8_t>& uses);
    // Pin `pin` went high or low at time `micros`; `driven`: the chip drives it as an output.
    void PinChanged(int pin, bool high, bool driven, double micros);
    // The chip was reset: its pins float and their levels are forgotten; the parts keep theirs.
    void ChipReset();

    // The LED port's latched bytes in hex, the register nearest the board first, each Q7..Q0;
    // empty before the first latch.
    std::string LedPort() const;
    // The displays in the order of their LOAD pins, each from its leftmost digit to digit 1:
    // 0-9, '-', ' ' for a dark digit and '?' for another pattern, '.' after a lit point.
    std::string Displays() const;
    // The one display whose LOAD pin is `loadPin`; false when no display latched on that pin.
    bool Display(int loadPin, std::string* text) const;
    long Steps(int pin) const { return steps_[static_cast<size_t>(pin)]; }
    long PulseMicros(int pin) const { return pulse_[static_cast<size_t>(pin)]; }
    // The latest move of pin: "steps S forward|back first F fastest M last L up U down D"
    // (first and what follows when it made more than one step), the way it went and the waits in
    // microseconds between its steps: the first, the shortest on average over 8 steps in a row,
    // the last, and how many waits come before the first and after the last that are within 5%
    // of that shortest (the ramps up and down); "steps 0" before the pin's first rising edge.
    std::string Move(int pin) const;

  private:
    static constexpr size_t kMaxRegisters = 32;
    struct ShiftChain {
        std::array<uint8_t, kMaxRegisters> shift{};
        std::vector<uint8_t> latched;
        int bits = 0;     // shifted since the last latch
        long stamp = -1;  // order of the last latch
    };
    int Use(int pin) const;
    // A 74HC595 chain may have its data on dataPin: an LED port pin with its clock and latch free.
    bool MayCarryChain(int dataPin) const;
    void ClockChain(int dataPin);
    void LatchChain(int dataPin);
    static std::string DisplayText(const std::array<uint8_t, 16>& registers);

    std::vector<uint8_t> uses_;
    bool usesKnown_ = false;
    int directionPin_ = -1, displayDin_ = -1;  // from the uses: codes 11 and 13
    std::vector<bool> levels_;
    std::vector<long> steps_, pulse_;
    std::vector<double> riseMicros_;
    std::vector<std::vector<double>> moves_;  // per pin: the waits of its latest move
    std::vector<long> moveSteps_;
    std::vector<bool> moveBack_;        // the direction pin was low
    std::map<int, ShiftChain> chains_;  // by data pin
    long latches_ = 0;
    uint16_t maxWord_ = 0;
    int maxBits_ = 0;
    std::map<int, std::array<uint8_t, 16>> displays_;  // by LOAD pin: the MAX7219's registers
};

}  // namespace avrboard
