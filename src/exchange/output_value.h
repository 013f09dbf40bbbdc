// Reading the dataref of one output and computing its text, with the text remembered per output
// so that a reading that did not change is not formatted again.
#pragma once

#include <string>
#include <vector>

// An output can carry at most this many array elements.
constexpr int kMaxOutputElements = 1023;

// What the text of one output was last computed from, and what its last record carried.
struct OutputMemo {
    bool valid = false;         // text and mapped hold a result for the key below
    std::vector<float> raw;     // the readings, element 1 first
    int precision = 0;          // the output's precision
    bool stepper = false;       // mapped by a stepper's turn scaling
    std::vector<float> range1;  // the output's range lists
    std::vector<float> range2;
    std::string text;  // the text computed from them
    float mapped = 0;  // the mapped value of element 1
    float sent = 0;    // the value of the output's last byte record
};

extern float OutputValues[kMaxOutputElements];            // elements of the current output, 1 first
extern char ReadC[1024];                                  // byte data of the current output
extern float OutValue;                                    // mapped element 1 of the current output
extern std::vector<std::vector<OutputMemo>> OutputMemos;  // [board][output], by the output pass

// Gives OutputMemos one row per board and board b one entry per output; with forget set (the
// board's configuration was read again), every entry of board b starts empty.
void PrepareOutputMemos(int boardCount, int b, int outputCount, bool forget);
// Reads output j of board b and sets line (and OutValue): "*" in the all-on state, the byte data
// as text, or the comma-joined texts of the elements (element Arraynum alone on the byte form).
// letter is the output's type letter; 'G' maps by a stepper's turn. False when the output's type
// cannot be read.
bool ComputeOutputText(int b, int j, bool byteForm, char letter);
