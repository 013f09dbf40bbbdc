#include "config/input_options.h"

#include <algorithm>
#include <string>
#include <unordered_map>

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

// The tags of the board's outputs, each with the last output that has it: a panel may send
// thousands of entries, and scanning every output for every reference would stall the call.
using OutputTagIndex = std::unordered_map<std::string, int>;

OutputTagIndex IndexOutputTags(int b) {
    OutputTagIndex index;
    for (size_t j = 0; j < OutDrefs[b].size(); ++j)
        if (!OutDrefs[b][j].empty()) index[OutDrefs[b][j][0]] = static_cast<int>(j);
    return index;
}

// A pin reference names the output whose tag it equals.
// On an Arduino board it marks every output with that tag (32767), on the panel the last one.
void CompletePinReference(const BoardParse* parse, int b, int i, const std::string& s,
                          bool converted, const OutputTagIndex& outputs) {
    const auto named = outputs.find(s);
    if (named != outputs.end()) {
        InputIncrementDir[b][i] = converted ? kAllPinOutputs : named->second;
        return;
    }
    if (converted) {
        InputIncrementDir[b][i] = kAllPinOutputs;  // marks nothing, as it names nothing
        NoteEntry(InputSources(parse), i, ConfigNoteKind::Suspect,
                  "pin reference " + ShowOutputTag(s, OutDevice[b]) +
                      " names no output of this board: it lights nothing");
        return;
    }
    InputIncrementDir[b][i] = -1;
    // An output selection (O_9N) ends in its output's letter too; it is not a pin reference.
    if (s[0] != 'O')
        NoteEntry(InputSources(parse), i, ConfigNoteKind::Suspect,
                  "pin reference " + s + " names no output of this board");
}

// Whether tag names the whole of prefix: it is the prefix, or goes on after it with anything but a
// digit (E3 names E3+ and E3/2-, never E30+; D5 names D5/1+, never D50).
bool NamesWholeTag(const std::string& tag, const std::string& prefix) {
    if (tag.compare(0, prefix.size(), prefix) != 0) return false;
    return tag.size() == prefix.size() || tag[prefix.size()] < '0' || tag[prefix.size()] > '9';
}

// The groups of the board's inputs, made once per pass: for each group, its leader as the
// redirection of a group message finds it (the first input with a mode that is no internal
// input) and its largest position; for each plain tag (no '/') without its sign, the last input
// with a mode. Internal inputs are left out, so the pass's own changes to them do not matter.
struct GroupIndex {
    std::unordered_map<std::string, int> leaders;
    std::unordered_map<std::string, int> largest;
    std::unordered_map<std::string, int> plain;
};

GroupIndex IndexGroups(int b, size_t count) {
    GroupIndex index;
    for (size_t j = 0; j < count; ++j) {
        const std::string& tag = Datatags[b][j];
        const int position = GroupPosition(tag);
        if (position > 0) {
            int& largest = index.largest[GroupOf(tag)];
            largest = std::max(largest, position);
        }
        if (Mode[b][j] <= 0 || InputArrayNum[b][j] < 0 || tag.empty()) continue;
        index.leaders.emplace(GroupOf(tag), static_cast<int>(j));
        if (tag.find('/') == std::string::npos) index.plain[WithoutSign(tag)] = static_cast<int>(j);
    }
    return index;
}

int Lookup(const std::unordered_map<std::string, int>& map, const std::string& key) {
    const auto found = map.find(key);
    return found == map.end() ? -1 : found->second;
}

// The leader of the group called name (E3): the group's own when it has members (E3/1+), else a
// plain leader (E3+, a single encoder); -1 when there is neither.
int LeaderOf(int b, const GroupIndex& groups, const std::string& name) {
    const int leader = Lookup(groups.leaders, name);
    if (leader >= 0 && Datatags[b][leader].find('/') != std::string::npos) return leader;
    return Lookup(groups.plain, name);
}

// A comparison reference follows the leader of the group it names, the one the group's messages
// are redirected by; a plain leader (E3+, a single encoder) when the board has no such group. The
// number of positions is the largest one among that group's members. A reference that names no
// leader keeps -1, so that it moves no input's mode.
void CompleteComparison(const BoardParse* parse, int b, int i, const GroupIndex& groups) {
    std::string& s = Data[b][i][1];
    char op = '=';
    std::string prefix = s;
    const size_t at = s.find_first_of("<>=");
    if (at != std::string::npos) {
        op = s[at];
        prefix = s.substr(0, at);
        if (at + 1 == s.size()) s += "1";
    }
    const int leader = LeaderOf(b, groups, prefix);
    Mode[b][i] = leader;
    const int largest =
        leader < 0 ? 0 : std::max(0, Lookup(groups.largest, GroupOf(Datatags[b][leader])));
    if (op != '=') InputIncrementDir[b][i] = largest;
    if (!ConfigDiagnosing()) return;
    const bool named =
        std::any_of(Datatags[b].begin(), Datatags[b].end(),
                    [&](const std::string& name) { return NamesWholeTag(name, prefix); });
    if (!s.empty() && s[0] == 'E' && leader < 0)
        NoteEntry(InputSources(parse), i, ConfigNoteKind::Suspect,
                  "mode switch " + s + " drives no encoder group: no encoder input is tagged " +
                      prefix + " or " + prefix + "/n");
    else if (!named && at != std::string::npos)
        NoteEntry(InputSources(parse), i, ConfigNoteKind::Suspect,
                  "comparison reference " + s + ": no input tag is " + prefix + ", or " + prefix +
                      " followed by a sign or '/'");
}

// An encoder entry without '/' beside a group of its tag. A turn runs the inputs in their order and
// is redirected from the group's first entry on, to the member at the group's mode: an entry
// before that first entry runs on every turn of its sign, and the member after it; an entry after
// it never runs.
void NotePlainBesideGroup(const BoardParse* parse, int b, int i, const GroupIndex& groups) {
    const std::string& tag = Datatags[b][i];
    if (!ConfigDiagnosing() || tag.empty() || tag[0] != 'E' || tag.find('/') != std::string::npos)
        return;
    const std::string group = WithoutSign(tag);
    const int leader = Lookup(groups.leaders, group);
    if (leader < 0 || Datatags[b][leader].find('/') == std::string::npos) return;
    const std::string advice = "; make it a member (" + group + "/n) or give it a pin of its own";
    if (leader < i || group == tag) {
        NoteEntry(InputSources(parse), i, ConfigNoteKind::Suspect,
                  "plain encoder entry " + tag + " after the first entry of the group " + group +
                      "/n (" + Datatags[b][leader] + "): every " + group +
                      " turn goes to the group's member of the mode in force, never to this "
                      "entry" +
                      advice);
        return;
    }
    // Before the group: a member of its sign takes the turn after it.
    const char sign = tag.back();
    const bool member =
        std::any_of(Datatags[b].begin(), Datatags[b].end(), [&](const std::string& other) {
            return GroupOf(other) == group && GroupPosition(other) > 0 && other.back() == sign;
        });
    if (member)
        NoteEntry(InputSources(parse), i, ConfigNoteKind::Suspect,
                  "plain encoder entry " + tag + " before the group " + group + "/n (" +
                      Datatags[b][leader] + "): every " + tag +
                      " turn runs this entry and then the group's member of the mode in force" +
                      advice);
}

// Each LED mode entry shows the mode of the group its reference names, led as a mode switch of
// that name finds it.
void LinkModeLeds(int b, const GroupIndex& groups) {
    std::vector<int>& leaders = ModeLedLeader[b];
    leaders.assign(OutputModeLed[b].size(), -1);
    for (size_t k = 0; k < leaders.size(); ++k) {
        const std::vector<std::string>& entry = OutputModeLed[b][k];
        if (entry.size() < 2) continue;
        leaders[k] = LeaderOf(b, groups, entry[1].substr(0, entry[1].find('=')));
    }
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
    unsigned int n{};
    if (s.empty() || s[0] < '0' || s[0] > '9' || !ReadUnsigned(s, n)) {
        NoteEntry(InputSources(parse), i, ConfigNoteKind::Skipped,
                  "analog tag " + Datatags[b][i] + " has no channel number: its mode is ignored");
        return;
    }
    std::string& block = AnalogAdditional[b];
    if (n >= std::min<size_t>(kAnalogChannels, block.size() / 3)) {
        NoteEntry(InputSources(parse), i, ConfigNoteKind::Skipped,
                  "analog tag " + Datatags[b][i] + ": channel " + std::to_string(n) +
                      " is above 15, its mode is ignored");
        return;
    }
    if (v < 0) {
        block[3 * n] = 1;
        return;
    }
    int value = std::min(v, 255 - 127) + 127;
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
    const GroupIndex groups = IndexGroups(b, count);
    const OutputTagIndex outputs = IndexOutputTags(b);
    LinkModeLeds(b, groups);
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
                CompletePinReference(parse, b, i, s, converted, outputs);
            else if (!InputNameMayAppear(s))  // such a name keeps its tag's group role
                CompleteComparison(parse, b, i, groups);
        } else if (!Datatags[b][i].empty() && Datatags[b][i][0] == 'A') {
            CompleteAnalog(parse, b, i);
        } else {
            NotePlainBesideGroup(parse, b, i, groups);
        }
    }
}
