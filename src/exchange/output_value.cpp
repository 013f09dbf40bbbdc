#include "exchange/output_value.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "XPLMDataAccess.h"
#include "config/board_tables.h"
#include "config/scratch_state.h"
#include "exchange/value_format.h"
#include "simdata/dataref_access.h"

float OutputValues[kMaxOutputElements];
char ReadC[1024];
float OutValue;
std::vector<std::vector<OutputMemo>> OutputMemos;

namespace {

float DoubleToFloat(double d) {
    if (d > FLT_MAX) return INFINITY;
    if (d < -FLT_MAX) return -INFINITY;
    return static_cast<float>(d);
}

// Fills OutputValues from the output's dataref by the first type bit of 8, 16, 2, 1, 4; returns
// the element count, or 0 when the type has none of them. Elements the dataref does not have
// read as 0.
int ReadOutputValues(const OutputRows& rows, int j, bool byteForm) {
    void* ref = rows.refs[j];
    const int type = rows.types[j];
    const int element = rows.elements[j] > 0 ? rows.elements[j] : 1;
    const bool array = (type & (xplmType_FloatArray | xplmType_IntArray)) != 0;
    if (!array) {
        if (type & xplmType_Float) {
            ReadF[0] = XPLMGetDataf(ref);
            OutputValues[0] = ReadF[0];
        } else if (type & xplmType_Int) {
            ReadI[0] = XPLMGetDatai(ref);
            OutputValues[0] = static_cast<float>(ReadI[0]);
        } else if (type & xplmType_Double) {
            ReadD[0] = XPLMGetDatad(ref);
            OutputValues[0] = DoubleToFloat(ReadD[0]);
        } else {
            return 0;
        }
        return 1;
    }
    const int offset = byteForm ? element - 1 : 0;
    const int count = byteForm ? 1 : std::min(element, kMaxOutputElements);
    if (type & xplmType_FloatArray) {
        const int got = XPLMGetDatavf(ref, ReadF, offset, count);
        for (int k = 0; k < count; ++k) OutputValues[k] = k < got ? ReadF[k] : 0.0f;
    } else {
        const int got = XPLMGetDatavi(ref, ReadI, offset, count);
        for (int k = 0; k < count; ++k)
            OutputValues[k] = k < got ? static_cast<float>(ReadI[k]) : 0.0f;
    }
    return count;
}

// Byte data: Precision is the number of bytes asked for; the text ends at the first zero byte.
void ReadByteText(int b, int j) {
    const int asked = std::clamp(Precision[b][j], 0, static_cast<int>(sizeof ReadC));
    const int got =
        std::clamp(asked > 0 ? XPLMGetDatab(Drefread[b][j], ReadC, 0, asked) : 0, 0, asked);
    const void* zero = std::memchr(ReadC, 0, static_cast<size_t>(got));
    const size_t size = zero != nullptr
                            ? static_cast<size_t>(static_cast<const char*>(zero) - ReadC)
                            : static_cast<size_t>(got);
    line.assign(ReadC, size);
}

// Makes the memo's key that of the text just computed into it (OutValue is the mapped value).
void RememberKey(OutputMemo& memo, uint32_t first, int count) {
    memo.first = first;
    memo.count = count;
    memo.rest.assign(OutputValues + 1, OutputValues + count);
    memo.mapped = OutValue;
    memo.valid = true;
}

}  // namespace

const std::string* ComputeOutputText(const OutputRows& rows, int j, bool byteForm, char letter) {
    OutputMemo& memo = rows.memos[static_cast<size_t>(j)];
    if (rows.types[j] == xplmType_Data) {
        ReadByteText(rows.board, j);
        OutValue = 0;
        return &line;
    }
    const int count = ReadOutputValues(rows, j, byteForm);
    if (count == 0) return nullptr;
    OutArrayUse = count;
    const int precision = rows.precisions[j];
    const bool stepper = (letter == 'G');
    const std::vector<float>& range1 = rows.range1[j];
    const std::vector<float>& range2 = rows.range2[j];
    uint32_t first{};
    std::memcpy(&first, OutputValues, sizeof first);
    if (memo.valid && memo.first == first && memo.count == count &&
        SameFloats(OutputValues + 1, static_cast<size_t>(count - 1), memo.rest)) {
        OutValue = memo.mapped;
        return &memo.text;
    }
    // Formatted straight into the memo's text, whose buffer is reused from pass to pass.
    memo.text.clear();
    for (int k = 0; k < count; ++k) {
        const float v = MapOutputValue(OutputValues[k], range1, range2, stepper);
        if (k == 0) OutValue = v;
        AppendFormattedValue(v, precision, memo.text);
        if (k + 1 < count) memo.text += ',';
    }
    RememberKey(memo, first, count);
    return &memo.text;
}

const std::string* ComputeChangedScalarText(const OutputRows& rows, int j, char letter,
                                            float reading) {
    OutputMemo& memo = rows.memos[static_cast<size_t>(j)];
    OutputValues[0] = reading;
    OutArrayUse = 1;
    const int precision = rows.precisions[j];
    const bool stepper = (letter == 'G');
    const std::vector<float>& range1 = rows.range1[j];
    const std::vector<float>& range2 = rows.range2[j];
    OutValue = MapOutputValue(reading, range1, range2, stepper);
    memo.text.clear();
    AppendFormattedValue(OutValue, precision, memo.text);
    uint32_t first{};
    std::memcpy(&first, &reading, sizeof first);
    RememberKey(memo, first, 1);
    return &memo.text;
}

void PrepareOutputMemos(int boardCount, int b, int outputCount, bool forget) {
    if (b < 0 || b >= boardCount || outputCount < 0) return;
    if (OutputMemos.size() != static_cast<size_t>(boardCount))
        OutputMemos.resize(static_cast<size_t>(boardCount));
    std::vector<OutputMemo>& row = OutputMemos[static_cast<size_t>(b)];
    if (row.size() != static_cast<size_t>(outputCount))
        row.resize(static_cast<size_t>(outputCount));
    if (!forget) return;
    for (OutputMemo& memo : row) {
        memo.valid = false;
        memo.sent = 0;
    }
}

OutputRows RowsOf(int b) {
    return OutputRows{b,
                      Drefread[b].data(),
                      Type[b].data(),
                      Arraynum[b].data(),
                      Precision[b].data(),
                      OutRange1[b].data(),
                      OutRange2[b].data(),
                      OutputMemos[static_cast<size_t>(b)].data()};
}

const std::string* AllOnText(const OutputRows& rows, int j) {
    static const std::string kAllOn("*");
    OutValue = rows.memos[static_cast<size_t>(j)].sent;
    return &kAllOn;
}
