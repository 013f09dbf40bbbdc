#include "exchange/held_inputs.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <limits>
#include <vector>

#include "XPLMUtilities.h"
#include "config/board_tables.h"
#include "config/scratch_state.h"
#include "config/text_utils.h"
#include "exchange/wire_protocol.h"
#include "simdata/apply_input.h"
#include "transport/connection.h"
#include "transport/lan_socket.h"
#include "transport/serial_ports.h"

int PingTimeout = 0;

namespace {

constexpr char kRequestAll[] = "XR";
// InputIncrementDir of a pin-referring internal input of an Arduino board.
constexpr int kAllPinOutputs = 32767;
constexpr size_t kMaxTextReply = 255;

// True when every per-input table this file reads has the entry of input i of board b.
bool InputComplete(int b, int i) {
    if (!InputExists(b, i)) return false;
    const size_t n = static_cast<size_t>(i);
    return n < Data[b].size() && n < Mode[b].size() && n < InputDataPointer[b].size() &&
           n < InputArrayNum[b].size() && n < InputIncrementDir[b].size() && n < Contval[b].size();
}

bool OutputComplete(int b, int j) {
    return OutputExists(b, j) && static_cast<size_t>(j) < OutputActive[b].size() &&
           static_cast<size_t>(j) < Previous[b].size();
}

// The tag (field 0) of output j, or an empty text.
const std::string& OutputTag(int b, int j) {
    static const std::string kNone;
    return OutDrefs[b][j].empty() ? kNone : OutDrefs[b][j][0];
}

// Leading decimal digits of text as an unsigned number (saturating); 0 when there are none.
unsigned int LeadingUnsigned(const std::string& text) {
    size_t k = 0;
    while (k < text.size() && (text[k] == ' ' || text[k] == '\t')) ++k;
    unsigned long long value = 0;
    for (; k < text.size() && text[k] >= '0' && text[k] <= '9'; ++k) {
        value = value * 10 + static_cast<unsigned>(text[k] - '0');
        if (value > std::numeric_limits<unsigned int>::max())
            return std::numeric_limits<unsigned int>::max();
    }
    return static_cast<unsigned int>(value);
}

// The reference of an LED mode entry's field 1 "name=n": n as a number, 0 when there is none.
unsigned int ReferenceOf(const std::string& field1) {
    splitpair = SplitBy(field1, "=");
    return splitpair.size() >= 2 ? LeadingUnsigned(splitpair[1]) : 0;
}

// The part of field 1 before '=' of an LED mode entry.
std::string ReferenceNameOf(const std::string& field1) {
    splitpair = SplitBy(field1, "=");
    return splitpair.empty() ? std::string() : splitpair[0];
}

// Marks with `mark` the outputs that internal input i drives: for a converted pin reference
// (32767) every output whose tag ends with the first character of the input's name, otherwise the
// output whose index InputIncrementDir holds.
void MarkOutputs(int b, int i, const char* mark) {
    const int target = InputIncrementDir[b][i];
    if (target < 0) return;
    if (target == kAllPinOutputs) {
        if (Data[b][i].size() < 2 || Data[b][i][1].empty()) return;
        const char c = Data[b][i][1][0];
        for (int j = 0; OutputComplete(b, j); ++j) {
            const std::string& t = OutputTag(b, j);
            if (!t.empty() && t.back() == c) Previous[b][j] = mark;
        }
        return;
    }
    if (OutputComplete(b, target)) Previous[b][target] = mark;
}

// Removes held entry k from both lists.
void ForgetHeld(size_t k) {
    Continuous.erase(Continuous.begin() + static_cast<long>(k));
    if (k < ContinuousTag.size()) ContinuousTag.erase(ContinuousTag.begin() + static_cast<long>(k));
}

// Ends held entry k (command end, or "?" marks for an internal input) and removes it.
void ReleaseHeld(size_t k) {
    const std::vector<int>& entry = Continuous[k];
    if (entry.size() >= 2 && InputComplete(entry[0], entry[1])) {
        const int b = entry[0];
        const int i = entry[1];
        const int a = InputArrayNum[b][i];
        if (a == 0) {
            if (InputDataPointer[b][i]) XPLMCommandEnd(InputDataPointer[b][i]);
        } else if (a < 0) {
            MarkOutputs(b, i, "?");
        }
    }
    ForgetHeld(k);
}

// The release key of a stored held tag as the release search compares it.
std::string ComparedKey(std::string key) {
    if (!key.empty() && key[0] == 'A' && key.back() != '-') key.pop_back();
    return key;
}

// Internal rule 1: mode change of the encoder group whose leader is Mode[b][i].
void ChangeMode(int b, int i, const std::string& s) {
    if (s.size() < 3) return;  // 'E', the operator and the digit at least
    const int leader = Mode[b][i];
    const std::string prefix = s.substr(0, s.size() - 2);
    // The input option pass gives Mode the index of an input whose tag begins with the prefix; an
    // input without such a leader keeps 0, which must not move the mode of whatever input 0 is.
    if (leader == i || !InputComplete(b, leader) ||
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
    const unsigned int shown = m < 0 ? 0u : static_cast<unsigned int>(m);
    for (size_t k = 0; k < OutputModeLed[b].size(); ++k) {
        const std::vector<std::string>& entry = OutputModeLed[b][k];
        if (entry.size() < 2 || ReferenceNameOf(entry[1]) != prefix) continue;
        SendMode(static_cast<unsigned int>(b), static_cast<unsigned int>(k), shown,
                 ReferenceOf(entry[1]));
    }
}

// Internal rule 2: output selection 'O' [selector] '_' tag.
void SelectOutput(int b, const std::string& s) {
    const size_t p = s.find('_');
    if (p == std::string::npos || p == 0) return;
    enum { kNext, kPrevious, kNumbered } how = kNext;
    unsigned int n = 0;
    if (p == 1) {
        how = kNext;
    } else if (p == 2 && s[1] == '-') {
        how = kPrevious;
    } else {
        n = LeadingUnsigned(s.substr(1, p - 1));
        how = n >= 1 ? kNumbered : kNext;
    }
    const std::string wanted = s.substr(p + 1);
    unsigned int counted = 0;
    int nth = -1, afterActive = -1, beforeActive = -1, first = -1, last = -1, previousMatch = -1;
    bool seenActive = false;
    for (int j = 0; OutputComplete(b, j); ++j) {
        if (OutDrefs[b][j].empty() || OutDrefs[b][j][0] != wanted) continue;
        ++counted;
        if (first < 0) first = j;
        last = j;
        const bool active = OutputActive[b][j];
        if (counted == n) nth = j;
        if (afterActive < 0 && seenActive && !active) afterActive = j;
        if (active) {
            if (beforeActive < 0 && previousMatch >= 0) beforeActive = previousMatch;
            seenActive = true;
            OutputActive[b][j] = false;
        }
        previousMatch = j;
    }
    if (first < 0) return;  // the tag names no output: nothing is selected
    int choice = -1;
    if (how == kNumbered && nth >= 0)
        choice = nth;
    else if (how == kPrevious)
        choice = beforeActive >= 0 ? beforeActive : last;
    else
        choice = afterActive >= 0 ? afterActive : first;
    OutputActive[b][choice] = true;
    if (Previous[b][choice] != "!") Previous[b][choice] = "?";
}

// Internal rule 3: the text goes back to the board over the current link.
void SendTextBack(const std::string& s) {
    const std::string message = TextReplyMessage(s);
    SendToCurrentLink(message.data(), static_cast<int>(message.size()));
    if (MessageIsSerial) std::cerr << "\nSending: " << message.substr(2);
}

}  // namespace

std::string TextReplyMessage(const std::string& text) {
    const std::string body = text.substr(0, kMaxTextReply);
    std::string message;
    message += '}';
    message += static_cast<char>(static_cast<unsigned char>(body.size()));
    message += body;
    return message;
}

void PingInputs(unsigned int all) {
    const size_t boards = std::min({AllowPing.size(), SerialIndex.size(), UdpIP.size()});
    for (size_t b = 0; b < boards; ++b) {
        if (!AllowPing[b]) continue;
        const bool lan = SerialIndex[b] < 0;
        if (all == 0) {
            if (lan) Send_LAN(PingChar, 2, UdpIP[b]);  // USB boards are not pinged
        } else if (lan) {
            Send_LAN(kRequestAll, 2, UdpIP[b]);
            std::cerr << "\nRequesting all input values from LAN";
        } else {
            SendToPort(static_cast<unsigned int>(SerialIndex[b]), kRequestAll, 2);
            std::cerr << "\nRequesting all input values from USB";
        }
    }
    PingTimeout = 0;
}

void SendMode(unsigned int board, unsigned int entry, unsigned int value, unsigned int reference) {
    const int b = static_cast<int>(board);
    if (board > static_cast<unsigned int>(std::numeric_limits<int>::max()) || !BoardExists(b) ||
        entry >= OutputModeLed[b].size()) {
        return;
    }
    const std::vector<std::string>& fields = OutputModeLed[b][entry];
    if (fields.empty() || fields[0].size() < 2) return;
    const unsigned char pin = static_cast<unsigned char>(fields[0][0]);
    const char kind = fields[0][1];
    char message[8] = {'{', 0, static_cast<char>(pin), 0, 0, 0, 0, 0};
    int length = 0;
    if (kind == 'L') {
        message[3] = value == reference ? ')' : '(';
        length = 4;
    } else if (kind == 'l') {
        // An LED of the LED port: bit (pin - 1) % 8 of port byte ceil(pin / 8) - 1; the output
        // pass sends the port data. Pins outside the board's ports (0, or beyond its port bytes)
        // are ignored.
        if (pin < 1 || b >= static_cast<int>(LedPortData.size())) return;
        const size_t port = (pin + 7u) / 8u - 1u;
        if (port >= LedPortData[b].size()) return;
        const uint8_t bit = static_cast<uint8_t>(1u << ((pin - 1u) % 8u));
        LedPortSend[b] = true;
        if (value == reference)
            LedPortData[b][port] = static_cast<uint8_t>(LedPortData[b][port] | bit);
        else
            LedPortData[b][port] = static_cast<uint8_t>(LedPortData[b][port] & ~bit);
        return;
    } else {
        message[3] = kind;
        const float number = static_cast<float>(value);
        uint32_t bits = 0;
        std::memcpy(&bits, &number, sizeof bits);
        for (int k = 0; k < 4; ++k) message[4 + k] = static_cast<char>((bits >> (8 * k)) & 0xFF);
        length = 8;
    }
    message[1] = static_cast<char>(length - 2);
    SendToCurrentLink(message, length);
}

void CountPingCalls() {
    if (PingTimeout <= kPingInterval)
        ++PingTimeout;
    else
        PingInputs(0);
}

void HandleOutputGate(int board, char request) {
    if (!BoardExists(board)) return;
    if (request == allow_output[board]) {
        AllowPing[board] = true;
        AllowOutput[board] = true;
        if (!sendall[board]) return;
        for (size_t k = 0; k < OutputModeLed[board].size(); ++k) {
            const std::vector<std::string>& entry = OutputModeLed[board][k];
            const unsigned int r = entry.size() >= 2 ? ReferenceOf(entry[1]) : 0;
            SendMode(static_cast<unsigned int>(board), static_cast<unsigned int>(k), 1, r);
        }
    } else if (request == 'x') {
        AllowPing[board] = false;
        AllowOutput[board] = false;
    }
}

void AnswerGateRequest(int board) {
    if (!BoardExists(board)) return;
    if (allow_output[board] == 'w') allow_output[board] = static_cast<char>('A' + std::rand() % 24);
    const char reply[13] = {'D', '{', '*', 'P', 'R', 'D', 'S', 'G', 4, allow_output[board],
                            '0', 15,  5};
    SendToCurrentLink(reply, sizeof reply);
}

bool PressHeldInput(int board, int input, const std::string& field0) {
    if (!InputComplete(board, input) || field0.empty()) return false;
    const bool press = field0.back() == '+';
    if (!press && field0[0] != 'A') return false;
    const std::string key = press ? field0.substr(0, field0.size() - 1) + "-" : field0;
    if (std::find(ContinuousTag.begin(), ContinuousTag.end(), key) != ContinuousTag.end())
        return false;
    Continuous.push_back({board, input, 0});
    ContinuousTag.push_back(key);
    const int a = InputArrayNum[board][input];
    if (a == 0) {
        if (InputDataPointer[board][input]) XPLMCommandBegin(InputDataPointer[board][input]);
        return true;
    }
    if (a < 0) MarkOutputs(board, input, "!");
    return false;
}

void ReleaseHeldInput(int board, const std::string& field0) {
    if (field0.empty()) return;
    std::string key = field0;
    const bool family = field0[0] == 'A' && field0.back() != '-';
    if (family) key.pop_back();
    const size_t held = std::min(Continuous.size(), ContinuousTag.size());
    for (size_t k = 0; k < held; ++k) {
        if (Continuous[k].empty() || Continuous[k][0] != board) continue;
        const std::string& stored = ContinuousTag[k];
        if (ComparedKey(stored) != key) continue;
        if (family && !stored.empty() && field0.back() == stored.back()) continue;
        ReleaseHeld(k);
        return;
    }
}

void ApplyInternalInput(int board, int input) {
    if (!InputComplete(board, input) || Data[board][input].size() < 2) return;
    const std::string s = Data[board][input][1];
    if (s.empty()) return;
    if (s[0] == 'E')
        ChangeMode(board, input, s);
    else if (s[0] == 'O')
        SelectOutput(board, s);
    else if (Contval[board][input] <= 0)
        SendTextBack(s);
}

void RepeatHeldInputs() {
    for (std::vector<int>& entry : Continuous) {
        if (entry.size() < 3 || !InputComplete(entry[0], entry[1])) continue;
        const int b = entry[0];
        const int i = entry[1];
        const int a = InputArrayNum[b][i];
        if (a <= 0) continue;  // commands stay begun until their release
        if (Contval[b][i] == 1 || entry[2] > kHeldRepeatDelay) {
            tag.assign(1, Datatags[b][i]);
            WriteToXPlane(b, i, a, 1);
        } else {
            ++entry[2];
        }
    }
}

void ReleaseBoardHeldInputs(int board) {
    for (size_t k = std::min(Continuous.size(), ContinuousTag.size()); k-- > 0;) {
        if (!Continuous[k].empty() && Continuous[k][0] == board) ReleaseHeld(k);
    }
}

void ReleaseAllHeldInputs() {
    for (size_t k = std::min(Continuous.size(), ContinuousTag.size()); k-- > 0;) ReleaseHeld(k);
    Continuous.clear();
    ContinuousTag.clear();
}
