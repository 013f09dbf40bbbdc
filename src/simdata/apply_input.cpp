#include "simdata/apply_input.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "XPLMUtilities.h"
#include "config/board_tables.h"
#include "config/scratch_state.h"
#include "simdata/dataref_access.h"
#include "simdata/dataref_memory.h"

namespace {

// True when the token is a plain decimal number and nothing else: an optional sign, digits and an
// optional point with more digits, at most 20 characters. The stream reads such a token whole and
// converts exactly those characters as strtof does, so strtof gives the same value without the
// stream's machinery.
bool IsPlainDecimal(const std::string& token) {
    const size_t n = token.size();
    if (n == 0 || n > 20) return false;
    size_t k = (token[0] == '+' || token[0] == '-') ? 1 : 0;
    size_t digits = 0;
    for (; k < n && token[k] >= '0' && token[k] <= '9'; ++k) ++digits;
    if (k < n && token[k] == '.') {
        for (++k; k < n && token[k] >= '0' && token[k] <= '9'; ++k) ++digits;
    }
    return k == n && digits > 0;
}

// The value token of a value message read as a float from its start (blanks skipped, the number
// ends at the first character that cannot continue it). False when no finite number reads.
bool ParseValue(const std::string& token, float* value) {
    if (IsPlainDecimal(token)) {
        *value = std::strtof(token.c_str(), nullptr);
        return true;
    }
    ResetStream();
    ss << token;
    float parsed{};
    const bool ok = static_cast<bool>(ss >> parsed) && std::isfinite(parsed);
    ResetStream();
    if (ok) *value = parsed;
    return ok;
}

// Brings a stepped value back into (lower, upper): a value above upper loses upper - lower, then a
// value below lower gains upper (the wrap-around rule; the two agree for lower 0). Only a step
// larger than the span (a big repeat count) can leave the value outside after that single
// correction; whole spans are then taken off or added until it lies inside. Any other step keeps
// the single correction's result, even where it lies just outside the range (lower 1 at 1.5 minus
// 1 gives upper + 0.5), so the next step moves on from there instead of sticking.
float Wrap(float value, float step, float lower, float upper) {
    if (value > upper) value -= upper - lower;
    if (value < lower) value += upper;
    const double span = static_cast<double>(upper) - static_cast<double>(lower);
    if (!(span > 0.0) || !(std::fabs(static_cast<double>(step)) > span)) return value;
    if (value > upper) {
        const double spans = std::ceil((static_cast<double>(value) - upper) / span);
        value = static_cast<float>(value - spans * span);
    } else if (value < lower) {
        const double spans = std::ceil((lower - static_cast<double>(value)) / span);
        value = static_cast<float>(value + spans * span);
    }
    return value;
}

}  // namespace

namespace {

// True when every per-input table this file reads has the entry (the tables are parallel; a row
// built inconsistently must not be read past its end): InputExists looks at each of them.
bool EntryComplete(int b, int i) {
    return InputExists(b, i);
}

// Whether analog input i answers by the square of its reading (a Q entry names its tag).
bool IsSquareLaw(int b, int i) {
    const size_t n = static_cast<size_t>(i);
    return n < InputSquareLaw[b].size() && InputSquareLaw[b][n];
}

}  // namespace

void WriteToXPlane(int board, int input, int arrayIndex, unsigned int count) {
    if (!EntryComplete(board, input) || arrayIndex < 0) return;
    const unsigned int b = static_cast<unsigned int>(board);
    const unsigned int i = static_cast<unsigned int>(input);
    const unsigned int element = static_cast<unsigned int>(arrayIndex);
    count = std::min(count, kMaxRepeatCount);

    // 1. Command entry.
    if (arrayIndex == 0) {
        XPLMCommandRef command = InputDataPointer[b][i];
        if (!command) return;
        for (unsigned int n = 0; n < count; ++n) XPLMCommandOnce(command);
        return;
    }

    // The message's type letter: '\0' for no tag, as for an empty one.
    const char kind = tag.empty() ? char{} : tag[0][0];
    const std::vector<float>& range = InputDataRange[b][i];

    // 2. Value message.
    if (tag.size() >= 2 && kind != 'E') {
        float value{};
        if (!ParseValue(tag[1], &value)) return;  // not a number: the message is ignored
        if (kind == 'A' || kind == 'R') {
            if (range.size() != 2) return;  // no bounds to map onto: nothing is written
            float fraction = value / 1000.0f;
            if (IsSquareLaw(b, i)) fraction *= fraction;
            value = range[0] + (range[1] - range[0]) * fraction;
        }
        WriteDataref(b, i, element, value);
        return;
    }

    // 3. Stepping entry (one token, or an 'E' message).
    const int direction = InputIncrementDir[b][i];
    if (direction != 0) {
        const float current = ReadDataref(b, i, element);
        // A one-value range is a limit: no step from it or beyond it in the step's direction.
        if (range.size() == 1 && (current - range[0]) * static_cast<float>(direction) >= 0.0f)
            return;
        float step = static_cast<float>(direction) * InputDefault[b][i];
        if (tag.size() >= 2) step *= static_cast<float>(count);
        float value = current + step;
        if (range.size() == 2) value = Wrap(value, step, range[0], range[1]);
        WriteDataref(b, i, element, value);
        return;
    }

    // 4. Memory, or a plain press.
    if (kind == 'M')
        SaveDataref(b, i, element);
    else if (kind == 'P')
        RestoreDataref(b, i, element);
    else
        WriteDataref(b, i, element, InputDefault[b][i]);
}
