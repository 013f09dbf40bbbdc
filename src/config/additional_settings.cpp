#include "config/additional_settings.h"

#include <vector>

#include "config/board_tables.h"
#include "config/config_diagnostics.h"
#include "config/config_fields.h"
#include "config/plugin_log.h"
#include "config/text_utils.h"

namespace {

bool IsLateLetter(char c) {
    return c == 'T' || c == 'R' || c == 'S' || c == 'Q';
}

}  // namespace

void ParseAdditionalEntry(BoardParse& parse, const std::string& text) {
    const std::vector<std::string> f = SplitBy(text, " ");
    if (f.size() < 2) {
        parse.Note(ConfigNoteKind::Skipped, "A entry needs a letter and at least one value");
        return;
    }
    const int b = parse.board;
    const char letter = f[0][0];
    if (parse.inputsSeen && IsLateLetter(letter))
        parse.Note(ConfigNoteKind::Suspect,
                   "A entry after the I section: it affects only inputs read after it");
    switch (letter) {
        case 'B': {
            if (f.size() < 6) {
                parse.Note(ConfigNoteKind::Skipped, "matrix entry B needs five numbers");
                return;
            }
            unsigned int bytes[5] = {};
            for (int k = 0; k < 5; ++k) {
                if (!ReadUnsigned(f[k + 1], bytes[k])) {
                    parse.Note(ConfigNoteKind::Skipped,
                               "matrix number '" + f[k + 1] + "' does not read; entry ignored");
                    return;
                }
            }
            std::string block;
            for (unsigned int v : bytes) block += static_cast<char>(v & 0xFF);
            MatrixAdditional[b] = block;
            if (ConfigDiagnosing()) {
                std::string shown;
                for (unsigned int v : bytes) shown += " " + std::to_string(v & 0xFF);
                parse.Note(ConfigNoteKind::Entry, "matrix bytes" + shown);
            }
            return;
        }
        case 'G':
        case 'L':
        case 'N': {
            unsigned int pin{};
            if (!ReadUnsigned(f[1], pin)) {
                parse.Note(ConfigNoteKind::Skipped,
                           "pin number '" + f[1] + "' does not read; entry ignored");
                return;
            }
            const char* label = letter == 'G'   ? "Stepper Direction pin: "
                                : letter == 'L' ? "LED Port pin: "
                                                : "7-segment common pin: ";
            if (letter == 'G') StepperCommon[b] = pin;
            if (letter == 'L') LEDCommon[b] = pin;
            if (letter == 'N') SevenSegCommon[b] = pin;
            WriteLog("\n" + std::string(label) + std::to_string(pin));
            if (ConfigDiagnosing()) parse.Note(ConfigNoteKind::Entry, label + std::to_string(pin));
            return;
        }
        case 'T':
            for (size_t k = 1; k < f.size(); ++k)
                parse.tList.push_back(TGroup{Trim(f[k]), 0, -1, parse.lineNumber});
            parse.Note(ConfigNoteKind::Entry, "T list: input groups");
            return;
        case 'R':
        case 'Q':
            for (size_t k = 1; k < f.size(); ++k)
                (letter == 'R' ? parse.rList : parse.qList)
                    .push_back(ListItem{Trim(f[k]), parse.lineNumber, false});
            parse.Note(ConfigNoteKind::Entry, letter == 'R' ? "R list: inputs repeated while held"
                                                            : "Q list: analog inputs of value 2");
            return;
        case 'S':
            for (size_t k = 1; k < f.size(); ++k) {
                const std::string item = Trim(f[k]);
                const std::vector<std::string> parts = SplitBy(item, ",");
                // An item cut at a blank beside its comma (E7, 2): its count is the next item.
                if (parts.size() < 2 && !item.empty() && k + 1 < f.size() &&
                    (item.back() == ',' || f[k + 1][0] == ',')) {
                    parse.Note(ConfigNoteKind::Skipped,
                               "S item '" + item + "' ends at a blank " +
                                   (item.back() == ',' ? "after" : "before") + " a comma: '" +
                                   f[k + 1] +
                                   "' is read as the next item, and both are "
                                   "ignored; write " +
                                   item + f[k + 1] + " without blanks");
                    ++k;
                    continue;
                }
                if (parts.size() < 2) {  // no comma, or nothing on one side of it
                    parse.Note(ConfigNoteKind::Skipped,
                               "S item '" + item + "' has no tag,count form; ignored");
                    continue;
                }
                if (IntOf(parts[1]) < 0) {
                    parse.Note(ConfigNoteKind::Skipped,
                               "S item '" + item + "' has a negative count; ignored");
                    continue;
                }
                if (parts[1][0] < '0' || parts[1][0] > '9')
                    parse.Note(ConfigNoteKind::Suspect,
                               "S item '" + item + "': the count does not read; 0 used");
                parse.sList.push_back(ListItem{item, parse.lineNumber, false});
            }
            parse.Note(ConfigNoteKind::Entry, "S list: input skip counts");
            return;
        default:
            parse.Note(ConfigNoteKind::Skipped,
                       "unknown A entry letter '" + std::string(1, letter) + "'; ignored");
            return;
    }
}

// After the passes: list items that no input matched (reporting only).
