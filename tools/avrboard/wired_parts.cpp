#include "wired_parts.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "boardsim.h"

namespace avrboard {
namespace {

constexpr uint8_t kUseLedOrDisplay = 7, kUseStepperDirection = 11, kUseDisplayCommon = 13;
constexpr int kDecodeMode = 0x09, kScanLimit = 0x0B, kShutdown = 0x0C, kDisplayTest = 0x0F;
constexpr double kMoveGapMicros = 250000;  // a longer pause between two steps ends a move
constexpr size_t kTopSpeedSteps = 8;

// A MAX7219 digit without decoding (bit 7 DP, 6 A ... 0 G, lit when set) as the plug-in's
// active-low wire byte (bit 7 a ... 1 g, 0 the point).
uint8_t WireSegments(uint8_t digit) {
    return static_cast<uint8_t>(~((digit << 1) | (digit >> 7)));
}

}  // namespace

WiredParts::WiredParts(int pinCount)
    : levels_(static_cast<size_t>(pinCount), false),
      steps_(static_cast<size_t>(pinCount), 0),
      pulse_(static_cast<size_t>(pinCount), 0),
      riseMicros_(static_cast<size_t>(pinCount), -1.0),
      moves_(static_cast<size_t>(pinCount)),
      moveSteps_(static_cast<size_t>(pinCount), 0),
      moveBack_(static_cast<size_t>(pinCount), false) {}

void WiredParts::SetPinUses(const std::vector<uint8_t>& uses) {
    uses_ = uses;
    usesKnown_ = true;
    directionPin_ = displayDin_ = -1;
    for (size_t pin = 0; pin < uses.size() && pin < levels_.size(); ++pin) {
        if (uses[pin] == kUseStepperDirection) directionPin_ = static_cast<int>(pin);
        if (uses[pin] == kUseDisplayCommon) displayDin_ = static_cast<int>(pin);
    }
}

int WiredParts::Use(int pin) const {
    return pin >= 0 && static_cast<size_t>(pin) < uses_.size() ? uses_[static_cast<size_t>(pin)]
                                                               : 0;
}

void WiredParts::ChipReset() {
    levels_.assign(levels_.size(), false);
    riseMicros_.assign(riseMicros_.size(), -1.0);
}

void WiredParts::PinChanged(int pin, bool high, bool driven, double micros) {
    const size_t at = static_cast<size_t>(pin);
    levels_[at] = high;
    if (!driven) return;
    if (!high) {
        if (riseMicros_[at] >= 0) pulse_[at] = std::lround(micros - riseMicros_[at]);
        return;
    }
    const double wait = micros - riseMicros_[at];
    const bool back = directionPin_ >= 0 && !levels_[static_cast<size_t>(directionPin_)];
    if (riseMicros_[at] >= 0 && wait <= kMoveGapMicros && back == moveBack_[at]) {
        moves_[at].push_back(wait);
        ++moveSteps_[at];
    } else {
        moves_[at].clear();
        moveSteps_[at] = 1;
        moveBack_[at] = back;
    }
    riseMicros_[at] = micros;
    steps_[at] += back ? -1 : 1;

    if (pin >= 1 && MayCarryChain(pin - 1)) ClockChain(pin - 1);
    if (pin >= 2 && MayCarryChain(pin - 2)) LatchChain(pin - 2);
    if (displayDin_ >= 0 && pin == displayDin_ + 1) {
        maxWord_ =
            static_cast<uint16_t>((maxWord_ << 1) | levels_[static_cast<size_t>(displayDin_)]);
        ++maxBits_;
    }
    if (Use(pin) == kUseLedOrDisplay && maxBits_ >= 16) {
        auto inserted = displays_.emplace(pin, std::array<uint8_t, 16>{});
        inserted.first->second[(maxWord_ >> 8) & 0x0F] = static_cast<uint8_t>(maxWord_ & 0xFF);
        maxBits_ = 0;
    }
}

std::string WiredParts::Move(int pin) const {
    const std::vector<double>& waits = moves_[static_cast<size_t>(pin)];
    std::string text = "steps " + std::to_string(moveSteps_[static_cast<size_t>(pin)]);
    if (moveSteps_[static_cast<size_t>(pin)] == 0) return text;
    text += moveBack_[static_cast<size_t>(pin)] ? " back" : " forward";
    if (waits.empty()) return text;
    // The top speed is read over a few steps: a loop that makes one step late makes the next
    // one early.
    const size_t window = std::min(kTopSpeedSteps, waits.size());
    double sum = std::accumulate(waits.begin(), waits.begin() + static_cast<long>(window), 0.0);
    double fastest = sum;
    for (size_t k = window; k < waits.size(); ++k) {
        sum += waits[k] - waits[k - window];
        fastest = std::min(fastest, sum);
    }
    fastest /= static_cast<double>(window);
    auto near = [fastest](double wait) { return wait <= fastest * 1.05; };
    const long up = std::find_if(waits.begin(), waits.end(), near) - waits.begin();
    const long down = std::find_if(waits.rbegin(), waits.rend(), near) - waits.rbegin();
    for (const auto& part :
         {std::make_pair(" first ", waits.front()), std::make_pair(" fastest ", fastest),
          std::make_pair(" last ", waits.back())})
        text += part.first + std::to_string(std::lround(part.second));
    return text + " up " + std::to_string(up) + " down " + std::to_string(down);
}

bool WiredParts::MayCarryChain(int dataPin) const {
    // The firmware wires the LED port only where the two pins after its own are free: lamps or
    // display loads on neighbouring pins are no chain.
    return !usesKnown_ ||
           (Use(dataPin) == kUseLedOrDisplay && Use(dataPin + 1) == 0 && Use(dataPin + 2) == 0);
}

void WiredParts::ClockChain(int dataPin) {
    ShiftChain& chain = chains_[dataPin];
    uint8_t carry = levels_[static_cast<size_t>(dataPin)] ? 1 : 0;
    for (uint8_t& reg : chain.shift) {
        const uint8_t out = reg >> 7;
        reg = static_cast<uint8_t>((reg << 1) | carry);
        carry = out;
    }
    ++chain.bits;
}

void WiredParts::LatchChain(int dataPin) {
    auto found = chains_.find(dataPin);
    if (found == chains_.end() || found->second.bits < 8) return;  // not clocked as a chain
    ShiftChain& chain = found->second;
    const size_t count = std::min(kMaxRegisters, static_cast<size_t>(chain.bits / 8));
    chain.latched.assign(chain.shift.begin(), chain.shift.begin() + static_cast<long>(count));
    chain.bits = 0;
    chain.stamp = latches_++;
}

std::string WiredParts::LedPort() const {
    const ShiftChain* last = nullptr;
    for (const auto& entry : chains_)
        if (entry.second.stamp >= 0 && (last == nullptr || entry.second.stamp > last->stamp) &&
            MayCarryChain(entry.first))
            last = &entry.second;
    std::string hex;
    static const char kDigits[] = "0123456789ABCDEF";
    if (last != nullptr)
        for (uint8_t byte : last->latched) {
            hex += kDigits[byte >> 4];
            hex += kDigits[byte & 15];
        }
    return hex;
}

std::string WiredParts::DisplayText(const std::array<uint8_t, 16>& registers) {
    const int digits = (registers[kScanLimit] & 7) + 1;
    std::string text;
    for (int digit = digits; digit >= 1; --digit) {
        const uint8_t value = registers[static_cast<size_t>(digit)];
        if (registers[kDisplayTest] & 1) {
            text += "8.";
        } else if (!(registers[kShutdown] & 1)) {
            text += ' ';
        } else if ((registers[kDecodeMode] >> (digit - 1)) & 1) {
            const int code = value & 0x0F;  // Code B: 0-9, '-', E, H, L, P, blank
            text += code <= 9    ? static_cast<char>('0' + code)
                    : code == 10 ? '-'
                    : code == 15 ? ' '
                                 : '?';
            if (value & 0x80) text += '.';
        } else {
            text += boardsim::DecodeSevenSegment({WireSegments(value)});
        }
    }
    return text;
}

std::string WiredParts::Displays() const {
    std::string text;
    for (const auto& entry : displays_) text += DisplayText(entry.second);
    return text;
}

bool WiredParts::Display(int loadPin, std::string* text) const {
    auto found = displays_.find(loadPin);
    if (found == displays_.end()) return false;
    *text = DisplayText(found->second);
    return true;
}

}  // namespace avrboard
