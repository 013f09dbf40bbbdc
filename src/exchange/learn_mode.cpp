#include "exchange/learn_mode.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "XPLMProcessing.h"
#include "config/board_tables.h"
#include "config/plugin_log.h"
#include "exchange/wire_protocol.h"
#include "transport/connection.h"

namespace {

bool learning = false;
double learningEndsAt{};  // the simulator's elapsed time when learning ends by itself
std::vector<char> boardChips;

double Now() {
    return static_cast<double>(XPLMGetElapsedTime());
}

// Every Arduino board (the panel carries its own configuration) identifies itself again and so
// gets the upload that is now in force.
void AskArduinoBoardsToIdentify() {
    for (int b = 0; b < BoardCount(); ++b) {
        if (!BoardExists(b) || OutDevice[b] == 0 || BoardRefused[b]) continue;
        SendToBoard(b, InitialMessage, 2);
    }
}

}  // namespace

void StartLearning() {
    learningEndsAt = Now() + kLearnSeconds;
    if (learning) return;
    learning = true;
    WriteLog("\nLearning controls: every free pin and analog channel reports");
    AskArduinoBoardsToIdentify();
}

void StopLearning() {
    if (!learning) return;
    learning = false;
    WriteLog("\nLearning controls ended");
    AskArduinoBoardsToIdentify();
}

bool Learning() {
    return learning;
}

int LearningSecondsLeft() {
    if (!learning) return 0;
    return static_cast<int>(std::ceil(std::clamp(learningEndsAt - Now(), 0.0, kLearnSeconds)));
}

void ContinueLearning() {
    // A clock that went back (the host's time restarted) ends learning too.
    if (learning && (Now() >= learningEndsAt || learningEndsAt - Now() > kLearnSeconds))
        StopLearning();
}

void ForgetLearning() {
    learning = false;
    learningEndsAt = {};
    boardChips.clear();
}

void NoteBoardChip(int b, char chip) {
    if (!BoardExists(b)) return;
    if (boardChips.size() <= static_cast<size_t>(b)) boardChips.resize(static_cast<size_t>(b) + 1);
    boardChips[static_cast<size_t>(b)] = chip;
}

char BoardChip(int b) {
    if (b < 0 || static_cast<size_t>(b) >= boardChips.size()) return 0;
    return boardChips[static_cast<size_t>(b)];
}
