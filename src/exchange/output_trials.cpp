#include "exchange/output_trials.h"

#include <algorithm>
#include <cstdlib>

#include "config/board_tables.h"

std::vector<OutputTrial> OutputTrials;

namespace {

// Matches the trial of output j of board b.
auto TrialOf(int b, int j) {
    return [b, j](const OutputTrial& t) { return t.board == b && t.output == j; };
}

}  // namespace

bool StartOutputTrial(int b, int j, const std::string& text, int seconds) {
    if (!OutputExists(b, j) || !FitOutputStates(b)) return false;
    const int length = std::clamp(seconds, 1, kLongestOutputTrial);
    OutputTrial trial;
    trial.board = b;
    trial.output = j;
    trial.text = text;
    trial.value = std::strtof(text.c_str(), nullptr);
    trial.until = std::chrono::steady_clock::now() + std::chrono::seconds(length);
    OutputTrials.erase(std::remove_if(OutputTrials.begin(), OutputTrials.end(), TrialOf(b, j)),
                       OutputTrials.end());
    if (OutputTrials.size() >= kOutputTrialLimit) return false;
    OutputTrials.push_back(trial);
    OutputDue[b][j] = true;
    return true;
}

const OutputTrial* OutputTrialOf(int b, int j) {
    const auto trial = std::find_if(OutputTrials.begin(), OutputTrials.end(), TrialOf(b, j));
    if (trial == OutputTrials.end()) return nullptr;
    if (std::chrono::steady_clock::now() < trial->until) return &*trial;
    OutputTrials.erase(trial);
    if (FitOutputStates(b) && OutputExists(b, j)) OutputDue[b][j] = true;
    return nullptr;
}
