#include "exchange/input_dispatch.h"

#include <algorithm>

#include "config/board_tables.h"
#include "config/live_events.h"
#include "config/scratch_state.h"
#include "config/status_text.h"
#include "config/text_utils.h"
#include "exchange/board_traffic.h"
#include "exchange/held_inputs.h"
#include "exchange/identification.h"
#include "exchange/internal_inputs.h"
#include "exchange/wire_protocol.h"
#include "simdata/apply_input.h"

std::vector<int> MatchedInputs;

namespace {

bool BeginsWithDOrB(const std::string& text) {
    return !text.empty() && (text[0] == 'D' || text[0] == 'B');
}

// Group redirection: a message for the group's shared tag goes to the member at the leader's
// current position. Only messages of the group's own sign are redirected (a group on D5+ leaves
// D5- and D50 alone); an encoder group takes both turning directions.
bool RedirectToGroupMember(int b, int i, std::string& field0) {
    if (Mode[b][i] <= 0 || InputArrayNum[b][i] < 0) return false;
    const std::string& groupTag = Datatags[b][i];
    if (groupTag.empty() || groupTag[0] == '/' || field0.empty()) return false;
    const std::string prefix = groupTag.substr(0, groupTag.find('/'));
    if (field0.size() != prefix.size() + 1 || field0.compare(0, prefix.size(), prefix) != 0)
        return false;
    const char sign = field0.back();
    const bool encoder = groupTag[0] == 'E' && (sign == '+' || sign == '-');
    if (sign != groupTag.back() && !encoder) return false;
    const int number =
        BeginsWithDOrB(field0) ? Mode[b][i] - 10 * GroupMemberCount(b, i) : Mode[b][i];
    field0 = prefix + "/" + std::to_string(number) + sign;
    return true;
}

// Advances the group leader g to its next member, back to 1 after the last; its mode is ten for
// each member plus that position.
void AdvanceGroup(int b, int g) {
    const int members = GroupMemberCount(b, g);
    if (members < 1) return;
    const int position = Mode[b][g] - 10 * members;
    Mode[b][g] = 10 * members + (position >= 1 && position < members ? position + 1 : 1);
}

// Applies the skip filter of input i to count c; false when the message is absorbed.
bool PassSkipFilter(int b, int i, unsigned int& c) {
    std::vector<int>& skip = InputSkip[b][i];
    if (skip.size() < 2) return true;
    const unsigned int s = static_cast<unsigned int>(std::max(skip[0], 0));
    if (c < s) {
        skip[1] += static_cast<int>(c);
        if (skip[1] < static_cast<int>(s)) return false;
        skip[1] = 0;
        c = 1;
    } else if (s == 0) {
        c = 1;
    } else if (c < 10) {
        c = c / s;
    }
    return true;
}

// Line 13 keeps its label and shows the board number and the message; rewritten in place, as
// it changes with every input message.
void ShowLastMessage(unsigned char n, const std::string& message) {
    if (InstructionsText.size() <= static_cast<size_t>(kLastMessageLine)) return;
    std::string& text = InstructionsText[kLastMessageLine];
    text.resize(std::min(text.size(), kLastMessageLabel));
    text += static_cast<char>('0' + n);
    text += ": ";
    text += message;
    ShowStatusLine(kLastMessageLine);
}

// The inputs of board b that every per-input table holds (InputExists for each index below).
int InputCountOf(int b) {
    const size_t n =
        std::min({Data[b].size(), Datatags[b].size(), Mode[b].size(), InputDataPointer[b].size(),
                  InputDrefTypes[b].size(), InputDataRange[b].size(), InputArrayNum[b].size(),
                  InputDefault[b].size(), InputIncrementDir[b].size(), Contval[b].size(),
                  InputSkip[b].size()});
    return static_cast<int>(n);
}

// The live feed's input event: the tag as the board sent it, and its value (an encoder's repeat
// count as a number).
void PublishInput(int b, const std::string& sent, const std::string& text) {
    std::string value = text.size() > sent.size() ? text.substr(sent.size() + 1) : "";
    if (!sent.empty() && sent[0] == 'E' && !value.empty())
        value = std::to_string(static_cast<unsigned char>(value[0]));
    PublishInputEvent(b, sent, value, MatchedInputs);
}

}  // namespace

unsigned int RepeatCountOf(const std::string& field0, const std::vector<std::string>& fields) {
    if (field0.empty() || field0[0] != 'E' || fields.size() < 2 || fields[1].empty()) return 1;
    return static_cast<unsigned char>(fields[1][0]);
}

std::vector<std::string> InputFieldsOf(const std::string& text) {
    std::vector<std::string> fields = SplitBy(text, " ");
    if (text.empty() || text[0] != 'E') return fields;
    const size_t blank = text.find(' ');
    if (blank == std::string::npos || blank + 1 >= text.size()) return fields;
    return {text.substr(0, blank), text.substr(blank + 1, 1)};
}

void HandleInputMessage(const std::string& message) {
    if (message.size() < 3) return;
    const unsigned char n = static_cast<unsigned char>(message[0]);
    if (n >= 128 || n == 0 || n > static_cast<unsigned int>(BoardCount())) return;
    const int b = n - 1;
    // A board refused, or whose configuration is still being read, applies nothing.
    MatchedInputs.clear();
    if (BoardRefused[b] || PanelBeingRead(b)) return;
    std::string text = message.substr(1);
    text[0] = MapTypeLetter(text[0]);
    ShowLastMessage(n, text);
    tag = InputFieldsOf(text);
    if (tag.empty() || tag[0].empty()) return;
    if (tag.size() == 1) ReleaseHeldInput(b, tag[0]);

    // A held press is released by the tag the board sends, whatever member of a group it went to.
    const std::string sent = tag[0];
    // Nothing in the scan adds or removes inputs: the count is taken once.
    const int inputs = InputCountOf(b);
    int g = -1;
    bool handled = false;
    for (int i = 0; i < inputs && !tag.empty(); ++i) {
        if (g == -1 && RedirectToGroupMember(b, i, tag[0])) g = i;
        if (Datatags[b][i] != tag[0]) continue;
        const int a = InputArrayNum[b][i];
        if (Contval[b][i] != -1 && PressHeldInput(b, i, tag[0], sent)) {
            NoteAppliedInput(b, i, a);
            MatchedInputs.push_back(i);
            handled = true;
            continue;
        }
        if (a < 0) {
            ApplyInternalInput(b, i);
            NoteAppliedInput(b, i, a);
            MatchedInputs.push_back(i);
            handled = true;
            continue;
        }
        unsigned int c = RepeatCountOf(tag[0], tag);
        if (!PassSkipFilter(b, i, c)) continue;
        WriteToXPlane(b, i, a, c);
        NoteAppliedInput(b, i, a);
        MatchedInputs.push_back(i);
        handled = true;
    }
    // One press moves the group on once, whatever its member did with it.
    if (g >= 0 && handled && !tag.empty() && BeginsWithDOrB(tag[0])) AdvanceGroup(b, g);
    if (LiveFeedOn.load(std::memory_order_relaxed)) PublishInput(b, sent, text);
}
