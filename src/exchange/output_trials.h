// Outputs shown on trial: a text that a board shows for a few seconds instead of the simulator's
// value (the Studio's Test button), after which the output pass sends the value again.
#pragma once

#include <chrono>
#include <string>
#include <vector>

struct OutputTrial {
    int board = 0;
    int output = 0;
    std::string text;  // the text sent instead of the value
    float value = 0;   // its number, for the outputs sent as a state (an LED port's LEDs)
    std::chrono::steady_clock::time_point until;
};

constexpr int kLongestOutputTrial = 30;  // seconds
constexpr size_t kOutputTrialLimit = 64;

extern std::vector<OutputTrial> OutputTrials;  // the trials running; usually none

// Shows text on output j of board b for seconds (1 to kLongestOutputTrial) from the next output
// pass on; false when there is no such output or too many trials run.
bool StartOutputTrial(int b, int j, const std::string& text, int seconds);
// The trial of output j of board b while it runs. One that has ended is dropped and its output made
// due, so that the pass sends the simulator's value again.
const OutputTrial* OutputTrialOf(int b, int j);
