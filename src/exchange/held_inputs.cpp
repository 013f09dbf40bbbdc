#include "exchange/held_inputs.h"

#include <algorithm>
#include <vector>

#include "XPLMUtilities.h"
#include "config/board_tables.h"
#include "config/scratch_state.h"
#include "exchange/internal_inputs.h"
#include "simdata/apply_input.h"

namespace {

// Removes held entry k from both lists.
void ForgetHeld(size_t k) {
    Continuous.erase(Continuous.begin() + static_cast<long>(k));
    if (k < ContinuousTag.size()) ContinuousTag.erase(ContinuousTag.begin() + static_cast<long>(k));
}

// Ends held entry k (command end, or "?" marks for an internal input) and removes it.
void ReleaseHeld(size_t k) {
    const std::vector<int>& entry = Continuous[k];
    if (entry.size() >= 2 && InputExists(entry[0], entry[1])) {
        const int b = entry[0];
        const int i = entry[1];
        const int a = InputArrayNum[b][i];
        if (a == 0) {
            if (InputDataPointer[b][i]) XPLMCommandEnd(InputDataPointer[b][i]);
        } else if (a < 0) {
            MarkInternalOutputs(b, i, "?");
        }
    }
    ForgetHeld(k);
}

// The release key of a stored held tag as the release search compares it.
std::string ComparedKey(std::string key) {
    if (!key.empty() && key[0] == 'A' && key.back() != '-') key.pop_back();
    return key;
}

// Whether board holds an input under the release key (another board's holds do not count: each
// board's release ends its own).
bool IsHeldOnBoard(int board, const std::string& key) {
    const size_t held = std::min(Continuous.size(), ContinuousTag.size());
    for (size_t k = 0; k < held; ++k)
        if (!Continuous[k].empty() && Continuous[k][0] == board && ContinuousTag[k] == key)
            return true;
    return false;
}

}  // namespace

bool PressHeldInput(int board, int input, const std::string& field0, const std::string& sent) {
    if (!InputExists(board, input) || field0.empty() || sent.empty()) return false;
    const bool press = field0.back() == '+';
    if (!press && field0[0] != 'A') return false;
    // The key is the tag the board will send on release: a group member's press (D5/2+) is
    // released by the board's own D5-.
    const std::string key = press ? sent.substr(0, sent.size() - 1) + "-" : sent;
    if (IsHeldOnBoard(board, key)) return false;
    Continuous.push_back({board, input, 0});
    ContinuousTag.push_back(key);
    const int a = InputArrayNum[board][input];
    if (a == 0) {
        if (InputDataPointer[board][input]) XPLMCommandBegin(InputDataPointer[board][input]);
        return true;
    }
    if (a < 0) MarkInternalOutputs(board, input, "!");
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

void RepeatHeldInputs() {
    for (std::vector<int>& entry : Continuous) {
        if (entry.size() < 3 || !InputExists(entry[0], entry[1])) continue;
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
