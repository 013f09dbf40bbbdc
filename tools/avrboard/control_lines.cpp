// The control lines of the virtual board, one answer line each.
#include <cerrno>
#include <cstdlib>
#include <sstream>
#include <vector>

#include "virtual_board.h"

namespace avrboard {
namespace {

constexpr int kPacedMicrosPerEdge = 2000;  // a firmware polling every 1-2 ms sees every edge
constexpr int kFastMicrosPerEdge = 500;

bool ParseNumber(const std::string& text, long low, long high, long* value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    *value = std::strtol(text.c_str(), &end, 10);
    return errno == 0 && *end == '\0' && *value >= low && *value <= high;
}

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

}  // namespace

bool VirtualBoard::PinArgument(const std::string& text, bool input, int* pin,
                               std::string* error) const {
    long value = 0;
    if (!ParseNumber(text, 0, chip_.pinCount() - 1, &value)) {
        *error = "error: no pin " + text + " on the " + layout_->mcu + " (pins 0-" +
                 std::to_string(chip_.pinCount() - 1) + ")";
        return false;
    }
    if (input && value < 2) {
        *error = "error: pins 0 and 1 carry the serial line";
        return false;
    }
    *pin = static_cast<int>(value);
    return true;
}

std::string VirtualBoard::Turn(int a, int b, int steps, int microsPerEdge) {
    chip_.HoldLow(a, false);
    chip_.HoldLow(b, false);
    // One detent is a whole quadrature cycle; the leading pin falls first and rises first.
    const int lead = steps > 0 ? a : b, follow = steps > 0 ? b : a;
    uint64_t at = chip_.cycle();
    for (int detent = 0; detent < std::abs(steps); ++detent)
        for (const Edge& edge : {Edge{0, lead, true}, Edge{0, follow, true}, Edge{0, lead, false},
                                 Edge{0, follow, false}}) {
            at += static_cast<uint64_t>(microsPerEdge) * kCyclesPerMicrosecond;
            edges_.push_back({at, edge.pin, edge.low});
        }
    return edges_.empty() ? "ok" : "";  // answered when the last edge is made
}

std::string VirtualBoard::Inject(const std::vector<std::string>& words) {
    const std::string& hex = words[1];
    std::string bytes;
    for (size_t k = 0; hex.size() % 2 == 0 && k < hex.size(); k += 2) {
        const std::string pair = hex.substr(k, 2);
        char* end = nullptr;
        const long value = std::strtol(pair.c_str(), &end, 16);
        if (*end != '\0' || pair[0] == '-' || pair[0] == '+') break;
        bytes += static_cast<char>(value);
    }
    if (bytes.empty() || bytes.size() * 2 != hex.size()) return "error: HEX is pairs of hex digits";
    if (!link_.plugged()) return "error: not plugged in";
    if (words.size() >= 3) {
        long at = 0;
        if (words[2] != "upload" || (words.size() == 4 && !ParseNumber(words[3], 0, 60, &at)))
            return "error: inject HEX [upload [N]], N 0 to 60";
        strayInUpload_ = bytes;
        strayAt_ = static_cast<size_t>(at);
        return "ok";
    }
    toChip_ += bytes;
    return "ok";
}

std::string VirtualBoard::Answer(const std::string& line, bool* quit) {
    std::istringstream stream(line);
    std::vector<std::string> words;
    for (std::string word; stream >> word;) words.push_back(word);
    if (words.empty()) return "error: empty line";
    const std::string& command = words[0];
    const size_t count = words.size();
    std::string error;
    int pin = 0;
    long value = 0;

    if ((command == "press" || command == "release") && count == 2) {
        if (!PinArgument(words[1], true, &pin, &error)) return error;
        chip_.HoldLow(pin, command == "press");
        return "ok";
    }
    if (command == "turn" && (count == 4 || count == 5)) {
        int other = 0;
        long steps = 0, pace = kPacedMicrosPerEdge;
        if (!PinArgument(words[1], true, &pin, &error) ||
            !PinArgument(words[2], true, &other, &error))
            return error;
        if (pin == other) return "error: the two pins of a turn must differ";
        if (!ParseNumber(words[3], -10000, 10000, &steps))
            return "error: STEPS is a whole number from -10000 to 10000";
        if (count == 5 && words[4] == "fast")
            pace = kFastMicrosPerEdge;
        else if (count == 5 && !ParseNumber(words[4], 20, 100000, &pace))
            return "error: the pace is \"fast\" or 20 to 100000 microseconds per edge";
        return Turn(pin, other, static_cast<int>(steps), static_cast<int>(pace));
    }
    if ((command == "key" || command == "unkey") && count == 3) {
        int column = 0;
        if (!PinArgument(words[1], true, &pin, &error) ||
            !PinArgument(words[2], true, &column, &error))
            return error;
        if (pin == column) return "error: a key joins two pins";
        chip_.SetKey(pin, column, command == "key");
        return "ok";
    }
    if (command == "inject" && count >= 2 && count <= 4) return Inject(words);
    if (command == "analog" && count == 3) {
        if (!ParseNumber(words[1], 0, chip_.analogChannels() - 1, &value))
            return "error: no analog channel " + words[1] + " on the " + layout_->mcu + " (0-" +
                   std::to_string(chip_.analogChannels() - 1) + ")";
        long reading = 0;
        if (!ParseNumber(words[2], 0, 1023, &reading)) return "error: VALUE is 0 to 1023";
        chip_.SetAnalog(static_cast<int>(value), static_cast<int>(reading));
        return "ok";
    }
    if ((command == "pin" || command == "duty" || command == "pulse" || command == "steps") &&
        count == 2) {
        if (!PinArgument(words[1], false, &pin, &error)) return error;
        const long answer = command == "pin"     ? (chip_.Level(pin) ? 1 : 0)
                            : command == "duty"  ? chip_.Duty(pin)
                            : command == "pulse" ? parts_->PulseMicros(pin)
                                                 : parts_->Steps(pin);
        return command + " " + std::to_string(pin) + " " + std::to_string(answer);
    }
    if (command == "move" && count == 2) {
        if (!PinArgument(words[1], false, &pin, &error)) return error;
        return "move " + words[1] + " " + parts_->Move(pin);
    }
    if (command == "display" && count == 1) return "display " + Quoted(parts_->Displays());
    if (command == "display" && count == 2) {
        std::string text;
        if (!PinArgument(words[1], false, &pin, &error)) return error;
        if (!parts_->Display(pin, &text)) return "error: no display latched on pin " + words[1];
        return "display " + words[1] + " " + Quoted(text);
    }
    if (command == "leds" && count == 1) {
        const std::string hex = parts_->LedPort();
        return hex.empty() ? "leds none" : "leds " + hex;
    }
    if (command == "stats" && count == 1)
        return "stats rx " + std::to_string(received_) + " dropped " + std::to_string(dropped_) +
               " resets " + std::to_string(resets_) + " lost " + std::to_string(lost_) +
               (wiznet_ ? " " + bridge_.Stats() : "");
    if (command == "unplug" && count == 1) return Unplug();
    if (command == "plug" && count == 1) return Plug();
    if (command == "reset" && count == 1) {
        ResetChip(false);
        return "ok";
    }
    if (command == "quit" && count == 1) {
        *quit = true;
        return "bye";
    }
    return "error: unknown control line: " + line;
}

}  // namespace avrboard
