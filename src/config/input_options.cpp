#include "config/input_options.h"

#include <algorithm>
#include <string>

#include "config/board_tables.h"
#include "config/config_fields.h"
#include "config/input_entries.h"

namespace {

constexpr unsigned int kAnalogChannels = 16;

// Whether internal input i holds a pin reference in its converted Arduino form, the two-character
// output tag. Without the parse record: any two-character name on an Arduino board whose second
// character is N, l or L.
bool IsConvertedPin(const BoardParse* parse, int b, int i, const std::string& s) {
    if (s.size() != 2 || !BoardExists(b) || OutDevice[b] == 0) return false;
    if (parse)
        return std::find(parse->convertedPins.begin(), parse->convertedPins.end(), i) !=
               parse->convertedPins.end();
    return s[1] == 'N' || s[1] == 'l' || s[1] == 'L';
}

const std::vector<EntrySource>* InputSources(const BoardParse* parse) {
    return parse ? &parse->inputSources : nullptr;
}

// A pin reference names the output whose tag it equals.
// On an Arduino board it marks every output with that tag (32767), on the panel the last one.
void CompletePinReference(const BoardParse* parse, int b, int i, const std::string& s,
                          bool converted) {
    InputIncrementDir[b][i] = -1;
    for (size_t j = 0; j < OutDrefs[b].size(); ++j)
        if (!OutDrefs[b][j].empty() && OutDrefs[b][j][0] == s)
            InputIncrementDir[b][i] = converted ? 32767 : static_cast<int>(j);
    if (converted && InputIncrementDir[b][i] < 0) {
        InputIncrementDir[b][i] = 32767;  // marks nothing, as it names nothing
        NoteEntry(InputSources(parse), i, ConfigNoteKind::Suspect,
                  "pin reference " + ShowOutputTag(s, OutDevice[b]) +
                      " names no output of this board: it lights nothing");
        return;
    }
    // An output selection (O_9N) ends in its output's letter too; it is not a pin reference.
    if (InputIncrementDir[b][i] < 0 && s[0] != 'O')
        NoteEntry(InputSources(parse), i, ConfigNoteKind::Suspect,
                  "pin reference " + s + " names no output of this board");
}

// Whether tag names the whole of prefix: it is the prefix, or goes on after it with anything but a
// digit (E3 names E3+ and E3/2-, never E30+; D5 names D5/1+, never D50).
bool NamesWholeTag(const std::string& tag, const std::string& prefix) {
    if (tag.compare(0, prefix.size(), prefix) != 0) return false;
    return tag.size() == prefix.size() || tag[prefix.size()] < '0' || tag[prefix.size()] > '9';
}

// The group part of a tag: up to its first '/' (E3/2+ and E3/1- are both of group E3).
std::string GroupOf(const std::string& tag) {
    return tag.substr(0, tag.find('/'));
}

// A comparison reference follows the group leader of the inputs it names; the number of positions
// is the largest one among that group's members. A reference that names no leader keeps -1, so
// that it moves no input's mode.
void CompleteComparison(const BoardParse* parse, int b, int i) {
    std::string& s = Data[b][i][1];
    char op = '=';
    std::string prefix = s;
    const size_t at = s.find_first_of("<>=");
    if (at != std::string::npos) {
        op = s[at];
        prefix = s.substr(0, at);
        if (at + 1 == s.size()) s += "1";
    }
    const size_t count = std::min(Datatags[b].size(), Mode[b].size());
    int leader = -1;
    bool named = false;
    for (size_t j = 0; j < count; ++j) {
        if (!NamesWholeTag(Datatags[b][j], prefix)) continue;
        named = true;
        if (Mode[b][j] > 0 && static_cast<int>(j) != i) leader = static_cast<int>(j);
    }
    Mode[b][i] = leader;
    int largest = 0;
    for (size_t j = 0; j < count && leader >= 0; ++j) {
        const std::string& other = Datatags[b][j];
        if (!NamesWholeTag(other, prefix) || GroupOf(other) != GroupOf(Datatags[b][leader]))
            continue;
        const size_t slash = other.find('/');
        if (slash != std::string::npos && slash + 1 < other.size() && other[slash + 1] >= '0' &&
            other[slash + 1] <= '9')
            largest = std::max(largest, other[slash + 1] - '0');
    }
    if (op != '=') InputIncrementDir[b][i] = largest;
    if (!s.empty() && s[0] == 'E' && leader < 0)
        NoteEntry(InputSources(parse), i, ConfigNoteKind::Suspect,
                  "mode switch " + s + " drives no encoder group: no encoder input is tagged " +
                      prefix + " or " + prefix + "/n");
    else if (!named && at != std::string::npos)
        NoteEntry(InputSources(parse), i, ConfigNoteKind::Suspect,
                  "comparison reference " + s + ": no input tag is " + prefix + ", or " + prefix +
                      " followed by a sign or '/'");
}

// The first byte of an analog channel from the tag's '+', '-' or '/' part.
void CompleteAnalog(const BoardParse* parse, int b, int i) {
    std::string s = Datatags[b][i].substr(1);
    int v = 0;
    const size_t at = s.find_first_of("+-/");
    if (at != std::string::npos) {
        v = s[at] == '/' ? IntOf(s.substr(at + 1)) : -1;
        s = s.substr(0, at);
    }
    if (v == 0) return;  // the byte stays as the entry left it
    unsigned int n = 0;
    if (s.empty() || s[0] < '0' || s[0] > '9' || !ReadUnsigned(s, n)) {
        NoteEntry(InputSources(parse), i, ConfigNoteKind::Skipped,
                  "analog tag " + Datatags[b][i] + " has no channel number: its mode is ignored");
        return;
    }
    std::string& block = AnalogAdditional[b];
    if (n >= kAnalogChannels || 3 * n >= block.size()) {
        NoteEntry(InputSources(parse), i, ConfigNoteKind::Skipped,
                  "analog tag " + Datatags[b][i] + ": channel " + std::to_string(n) +
                      " is above 15, its mode is ignored");
        return;
    }
    if (v < 0) {
        block[3 * n] = 1;
        return;
    }
    int value = v > 255 - 127 ? 255 : v + 127;
    if (v > 255 - 127)
        NoteEntry(InputSources(parse), i, ConfigNoteKind::Suspect,
                  "analog mode /" + std::to_string(v) + " is above 128; 128 used");
    value = std::max(value, static_cast<int>(static_cast<unsigned char>(block[3 * n])));
    block[3 * n] = static_cast<char>(value);
}

}  // namespace

void SetInputOptions(int board) {
    SetInputOptions(board, nullptr);
}

void SetInputOptions(int board, const BoardParse* parse) {
    if (!BoardExists(board)) return;
    const int b = board;
    // The per-input tables have one length; the shortest bounds the pass all the same.
    const size_t count = std::min({Datatags[b].size(), Data[b].size(), Mode[b].size(),
                                   InputArrayNum[b].size(), InputIncrementDir[b].size()});
    for (size_t k = 0; k < count; ++k) {
        const int i = static_cast<int>(k);
        if (InputArrayNum[b][i] < 0) {
            if (Data[b][i].size() < 2 || Data[b][i][1].empty()) continue;
            const std::string s = Data[b][i][1];
            const char last = s.back();
            // On an Arduino board the entry parser has turned a pin reference into the output
            // tag form (pin byte, letter).
            const bool converted = IsConvertedPin(parse, b, i, s);
            if (converted || last == 'N' || last == 'l' || last == 'L')
                CompletePinReference(parse, b, i, s, converted);
            else if (!InputNameMayAppear(s))  // such a name keeps its tag's group role
                CompleteComparison(parse, b, i);
        } else if (!Datatags[b][i].empty() && Datatags[b][i][0] == 'A') {
            CompleteAnalog(parse, b, i);
        }
    }
}
