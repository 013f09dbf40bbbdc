#include "config/output_options.h"

#include <cstdlib>
#include <string>
#include <vector>

#include "config/board_tables.h"
#include "config/config_fields.h"
#include "config/text_utils.h"

namespace {

constexpr unsigned int kMaxSteps = 65535;  // steps per revolution travel as 16 bits

// The pin number of a stored tag: its first byte on an Arduino board, the number before the type
// letter on a Helvan panel.
unsigned int PinOf(const std::string& tag, unsigned int id) {
    if (tag.empty()) return 0;
    if (id != 0) return static_cast<unsigned char>(tag[0]);
    return UnsignedOrZero(tag.substr(0, tag.size() - 1));
}

}  // namespace

void SetOutputOptions(int board, unsigned int id) {
    SetOutputOptions(board, id, nullptr);
}

void SetOutputOptions(int board, unsigned int id, const BoardParse* parse) {
    if (!BoardExists(board)) return;
    const int b = board;
    const size_t outputs = OutDrefs[b].size();
    std::vector<std::vector<std::string>> entries = OutDrefs[b];
    entries.insert(entries.end(), OutputModeLed[b].begin(), OutputModeLed[b].end());

    for (size_t k = 0; k < entries.size(); ++k) {
        const std::vector<std::string>& entry = entries[k];
        if (entry.empty() || entry[0].empty()) continue;
        const std::string& tag = entry[0];
        const char type = tag.back();
        const unsigned int pin = PinOf(tag, id);
        if (entry.size() >= 6 && type == 'N') {
            SevenSegAdditional[b] += static_cast<char>(pin & 0xFF);
        } else if (entry.size() >= 6 && (type == 'G' || type == 'g')) {
            // Field 6 holds the steps per revolution; with six fields the last item of field 5.
            const std::string& field = entry.size() >= 7 ? entry[6] : entry[5];
            const std::vector<std::string> items = SplitBy(field, ",");
            const long long value =
                items.empty() ? 0 : std::llabs(static_cast<long long>(IntOf(items.back())));
            unsigned int steps = static_cast<unsigned int>(value);
            if (steps > kMaxSteps) {
                if (k < outputs)
                    NoteEntry(parse ? &parse->outputSources : nullptr, k, ConfigNoteKind::Suspect,
                              "steps per revolution " + std::to_string(steps) +
                                  " do not fit 16 bits; 65535 used");
                steps = kMaxSteps;
            }
            StepperAdditional[b] += static_cast<char>(pin & 0xFF);
            StepperAdditional[b] += static_cast<char>(steps & 0xFF);
            StepperAdditional[b] += static_cast<char>((steps >> 8) & 0xFF);
        }
        if (type == 'l') {
            while (LedPortData[b].size() < kMaxLedPorts && 8 * LedPortData[b].size() < pin)
                LedPortData[b].push_back(0);
            if (pin == 0 || pin > 8 * kMaxLedPorts) {
                const std::vector<EntrySource>* sources =
                    parse ? (k < outputs ? &parse->outputSources : &parse->ledModeSources)
                          : nullptr;
                NoteEntry(sources, k < outputs ? k : k - outputs, ConfigNoteKind::Suspect,
                          "LED port number " + std::to_string(pin) +
                              " is outside 1 to 64: it drives no LED");
            }
        }
    }
}
