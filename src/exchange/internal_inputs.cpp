#include "exchange/internal_inputs.h"

#include <algorithm>
#include <vector>

#include "config/board_tables.h"
#include "config/config_fields.h"
#include "config/plugin_log.h"
#include "exchange/mode_messages.h"
#include "transport/connection.h"
#include "transport/serial_ports.h"

namespace {

constexpr size_t kMaxTextReply = 255;

// The tag (field 0) of output j, or an empty text.
const std::string& OutputTag(int b, int j) {
    static const std::string kNone;
    return OutDrefs[b][j].empty() ? kNone : OutDrefs[b][j][0];
}

// Internal rule 1: mode change of the encoder group whose leader is Mode[b][i].
void ChangeMode(int b, int i, const std::string& s) {
    if (s.size() < 3) return;  // 'E', the operator and the digit at least
    const int leader = Mode[b][i];
    const std::string prefix = s.substr(0, s.size() - 2);
    // The input option pass gives Mode the index of an input whose tag begins with the prefix; an
    // input without such a leader keeps 0, which must not move the mode of whatever input 0 is.
    if (leader == i || !InputExists(b, leader) ||
        Datatags[b][leader].compare(0, prefix.size(), prefix) != 0) {
        return;
    }
    const char last = s.back();
    const char op = s[s.size() - 2];
    const int modes = InputIncrementDir[b][i];
    long long m = Mode[b][leader];
    if (last >= '0' && last <= '9') {
        const int d = last - '0';
        if (op == '=') {
            m = d;
        } else if ((op == '>' || op == '<') && modes >= 1) {
            // One step beyond either end wraps once; a step larger than the number of
            // modes keeps wrapping so that the mode stays between 1 and the number of modes.
            m += (op == '>') ? d : -d;
            m = ((m - 1) % modes + modes) % modes + 1;
        }
    }
    Mode[b][leader] = static_cast<int>(m);
    const unsigned int shown = static_cast<unsigned int>(std::max<long long>(m, 0));
    for (size_t k = 0; k < OutputModeLed[b].size(); ++k) {
        const std::vector<std::string>& entry = OutputModeLed[b][k];
        if (entry.size() < 2 || ModeReferenceName(entry[1]) != prefix) continue;
        SendMode(static_cast<unsigned int>(b), static_cast<unsigned int>(k), shown,
                 ModeReference(entry[1]));
    }
}

// Internal rule 2: output selection 'O' [selector] '_' tag.
void SelectOutput(int b, const std::string& s) {
    const size_t p = s.find('_');
    if (p == std::string::npos) return;
    // "O_" and a selector that is no number from 1 on select the next output.
    const bool previous = p == 2 && s[1] == '-';
    const unsigned int n = previous ? 0 : UnsignedOrZero(s.substr(1, p - 1));
    const std::string wanted = s.substr(p + 1);
    unsigned int counted = 0;
    int nth = -1, afterActive = -1, beforeActive = -1, first = -1, previousMatch = -1;
    bool seenActive = false;
    for (int j = 0; OutputExists(b, j); ++j) {
        if (OutDrefs[b][j].empty() || OutDrefs[b][j][0] != wanted) continue;
        ++counted;
        if (first < 0) first = j;
        const bool active = OutputActive[b][j];
        if (counted == n) nth = j;
        if (afterActive == -1 && seenActive && !active) afterActive = j;
        if (active) {
            if (beforeActive < 0 && previousMatch >= 0) beforeActive = previousMatch;
            seenActive = true;
            OutputActive[b][j] = false;
        }
        previousMatch = j;
    }
    if (first < 0) return;  // the tag names no output: nothing is selected
    int choice = -1;
    if (nth >= 0)
        choice = nth;
    else if (previous)
        choice = beforeActive >= 0 ? beforeActive : previousMatch;  // else the last match
    else
        choice = afterActive != -1 ? afterActive : first;
    OutputActive[b][choice] = true;
    // The chosen output shows its value (or stays all on) on the next pass.
    if (FitOutputStates(b)) OutputDue[b][choice] = true;
}

// Internal rule 3: the text goes back to the board over the current link.
void SendTextBack(const std::string& s) {
    const std::string message = TextReplyMessage(s);
    SendToCurrentLink(message.data(), static_cast<int>(message.size()));
    if (MessageIsSerial) WriteLog("\nSending: " + message.substr(2));
}

// "!" puts output j into the all-on state, "?" takes it out; either way it is sent on the next
// pass.
void MarkOutput(int b, int j, const char* mark) {
    if (!OutputExists(b, j) || !FitOutputStates(b)) return;
    OutputAllOn[b][j] = mark[0] == '!';
    OutputDue[b][j] = true;
}

}  // namespace

// For a pin reference of an Arduino board (32767) every output whose tag equals the reference
// (all outputs of a selection share it), otherwise the output whose index InputIncrementDir holds.
void MarkInternalOutputs(int b, int i, const char* mark) {
    if (!InputExists(b, i) || mark == nullptr) return;
    // Only a pin reference (a name ending in the output's letter) lights outputs; a mode switch
    // or a comparison keeps other numbers in InputIncrementDir.
    const std::string& name = Data[b][i].size() >= 2 ? Data[b][i][1] : std::string();
    if (name.empty() || (name.back() != 'N' && name.back() != 'l' && name.back() != 'L')) return;
    const int target = InputIncrementDir[b][i];
    if (target < 0) return;
    if (target == kAllPinOutputs) {
        for (int j = 0; OutputExists(b, j); ++j)
            if (OutputTag(b, j) == name) MarkOutput(b, j, mark);
        return;
    }
    MarkOutput(b, target, mark);
}

std::string TextReplyMessage(const std::string& text) {
    const std::string body = text.substr(0, kMaxTextReply);
    std::string message;
    message += '}';
    message += static_cast<char>(static_cast<unsigned char>(body.size()));
    message += body;
    return message;
}

void ApplyInternalInput(int board, int input) {
    if (!InputExists(board, input) || Data[board][input].size() < 2) return;
    // A pin reference of an Arduino board holds an output tag, whose pin byte may read as a letter.
    if (InputIncrementDir[board][input] == kAllPinOutputs && Contval[board][input] != -1) return;
    const std::string s = Data[board][input][1];
    if (s.empty()) return;
    if (s[0] == 'E')
        ChangeMode(board, input, s);
    else if (s[0] == 'O')
        SelectOutput(board, s);
    else if (Contval[board][input] == -1)
        SendTextBack(s);
}
