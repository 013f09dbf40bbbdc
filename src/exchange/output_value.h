// Reading the dataref of one output and computing its text, with the text remembered per output
// so that a reading that did not change is not formatted again.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "XPLMDataAccess.h"
#include "config/board_tables.h"
#include "simdata/dataref_access.h"

// An output can carry at most this many array elements.
constexpr int kMaxOutputElements = 1023;

// What the text of one output was last computed from, and what its last record carried. The key
// is the readings alone: the output's precision, ranges and type letter change only with its
// board's configuration, and a board whose configuration was read again forgets every memo
// (PrepareOutputMemos). What the pass compares on every call comes first.
struct OutputMemo {
    bool valid = false;       // text and mapped hold a result for the key below
    int count = 0;            // the number of readings
    uint32_t first = 0;       // the bits of the first reading
    float mapped = 0;         // the mapped value of element 1
    float sent = 0;           // the value of the output's last byte record
    std::string text;         // the text computed from them
    std::vector<float> rest;  // the readings after the first
};

extern float OutputValues[kMaxOutputElements];            // elements of the current output, 1 first
extern char ReadC[1024];                                  // byte data of the current output
extern float OutValue;                                    // mapped element 1 of the current output
extern std::vector<std::vector<OutputMemo>> OutputMemos;  // [board][output], by the output pass

// The per-output rows of one board that the pass reads, looked up once per board and pass.
struct OutputRows {
    int board;
    void* const* refs;                 // Drefread[board]
    const int* types;                  // Type[board]
    const int* elements;               // Arraynum[board]
    const int* precisions;             // Precision[board]
    const std::vector<float>* range1;  // OutRange1[board]
    const std::vector<float>* range2;  // OutRange2[board]
    OutputMemo* memos;                 // OutputMemos[board]
};

// The rows of board b, every one holding at least the outputs the pass walks; OutputMemos must
// have b's row (PrepareOutputMemos).
OutputRows RowsOf(int b);

// Gives OutputMemos one row per board and board b one entry per output; with forget set (the
// board's configuration was read again), every entry of board b starts empty.
void PrepareOutputMemos(int boardCount, int b, int outputCount, bool forget);
// Reads output j of board b and returns its text (and sets OutValue): the byte data as text (held
// in line), or the comma-joined texts of the elements (element Arraynum alone on the byte form),
// held in the output's memo and formatted again only when the readings differ from the memo's.
// letter is the output's type letter; 'G' maps by a stepper's turn. Null when the output's type
// cannot be read. The text stays valid until the next call for the same output.
const std::string* ComputeOutputText(const OutputRows& rows, int j, bool byteForm, char letter);

// The text of output j in the all-on state, "*", without reading its dataref; OutValue becomes the
// value of the output's last byte record.
const std::string* AllOnText(const OutputRows& rows, int j);

// The same as ComputeOutputText for a scalar output of float or int type whose reading the caller
// made (so that a changed output is not read twice) and whose reading differs from its valid
// memo's.
const std::string* ComputeChangedScalarText(const OutputRows& rows, int j, char letter,
                                            float reading);

// Equal element by element, bit for bit (NaN readings and -0 included). The lists are a few
// elements long: compared in place, without a library call.
inline bool SameFloats(const float* a, size_t count, const std::vector<float>& b) {
    if (b.size() != count) return false;
    const float* c = b.data();
    for (size_t k = 0; k < count; ++k) {
        uint32_t x = 0;
        uint32_t y = 0;
        std::memcpy(&x, a + k, sizeof x);
        std::memcpy(&y, c + k, sizeof y);
        if (x != y) return false;
    }
    return true;
}

// The text of output j as ComputeOutputText gives it, told without a call for the common output
// that did not change: a scalar dataref whose reading equals its memo's.
inline const std::string* OutputText(const OutputRows& rows, int j, bool byteForm, char letter) {
    OutputMemo& memo = rows.memos[j];
    const int type = rows.types[j];
    if (!memo.valid || memo.count != 1 || type == xplmType_Data ||
        (type & (xplmType_FloatArray | xplmType_IntArray)) != 0) {
        return ComputeOutputText(rows, j, byteForm, letter);
    }
    if ((type & (xplmType_Float | xplmType_Int)) == 0)
        return ComputeOutputText(rows, j, byteForm, letter);
    float reading = 0;
    if (type & xplmType_Float) {
        ReadF[0] = XPLMGetDataf(rows.refs[j]);
        reading = ReadF[0];
    } else {
        ReadI[0] = XPLMGetDatai(rows.refs[j]);
        reading = static_cast<float>(ReadI[0]);
    }
    uint32_t bits = 0;
    std::memcpy(&bits, &reading, sizeof bits);
    if (memo.first != bits) return ComputeChangedScalarText(rows, j, letter, reading);
    OutputValues[0] = reading;
    OutArrayUse = 1;
    OutValue = memo.mapped;
    return &memo.text;
}
