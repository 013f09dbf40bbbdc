#include "exchange/output_value.h"

#include <cfloat>
#include <cmath>
#include <cstring>

#include "XPLMDataAccess.h"
#include "config/board_tables.h"
#include "config/scratch_state.h"
#include "exchange/value_format.h"
#include "simdata/dataref_access.h"

float OutputValues[kMaxOutputElements];
char ReadC[1024];
float OutValue = 0;
std::vector<std::vector<OutputMemo>> OutputMemos;

namespace {

// Equal element by element, bit for bit (NaN readings and -0 included).
bool SameFloats(const float* a, size_t count, const std::vector<float>& b) {
    return b.size() == count && (count == 0 || std::memcmp(a, b.data(), count * sizeof *a) == 0);
}

float DoubleToFloat(double d) {
    if (d > FLT_MAX) return INFINITY;
    if (d < -FLT_MAX) return -INFINITY;
    return static_cast<float>(d);
}

// Fills OutputValues from the output's dataref by the first type bit of 8, 16, 2, 1, 4; returns
// the element count, or -1 when the type has none of them. Elements the dataref does not have
// read as 0.
int ReadOutputValues(int b, int j, bool byteForm) {
    void* ref = Drefread[b][j];
    const int type = Type[b][j];
    const int element = Arraynum[b][j] > 0 ? Arraynum[b][j] : 1;
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
            return -1;
        }
        return 1;
    }
    const int offset = byteForm ? element - 1 : 0;
    const int count = byteForm ? 1 : (element < kMaxOutputElements ? element : kMaxOutputElements);
    int got = 0;
    if (type & xplmType_FloatArray) {
        got = XPLMGetDatavf(ref, ReadF, offset, count);
        if (got > count) got = count;
        for (int k = 0; k < count; ++k) OutputValues[k] = k < got ? ReadF[k] : 0.0f;
    } else {
        got = XPLMGetDatavi(ref, ReadI, offset, count);
        if (got > count) got = count;
        for (int k = 0; k < count; ++k)
            OutputValues[k] = k < got ? static_cast<float>(ReadI[k]) : 0.0f;
    }
    return count;
}

// Byte data: Precision is the number of bytes asked for; the text ends at the first zero byte.
void ReadByteText(int b, int j) {
    int asked = Precision[b][j];
    if (asked < 0) asked = 0;
    if (asked > static_cast<int>(sizeof ReadC)) asked = static_cast<int>(sizeof ReadC);
    int got = asked > 0 ? XPLMGetDatab(Drefread[b][j], ReadC, 0, asked) : 0;
    if (got < 0) got = 0;
    if (got > asked) got = asked;
    const void* zero = std::memchr(ReadC, 0, static_cast<size_t>(got));
    const size_t size = zero != nullptr
                            ? static_cast<size_t>(static_cast<const char*>(zero) - ReadC)
                            : static_cast<size_t>(got);
    line.assign(ReadC, size);
}

}  // namespace

void PrepareOutputMemos(int boardCount, int b, int outputCount, bool forget) {
    if (boardCount < 0 || b < 0 || b >= boardCount || outputCount < 0) return;
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

bool ComputeOutputText(int b, int j, bool byteForm, char letter) {
    OutputMemo& memo = OutputMemos[static_cast<size_t>(b)][static_cast<size_t>(j)];
    const std::string& previous = Previous[b][j];
    // The all-on state: the mode handling wrote a mark of '*' or below into the text last sent.
    if (previous.empty() || static_cast<signed char>(previous[0]) <= 0x2A) {
        line.assign("*");
        OutValue = memo.sent;
        return true;
    }
    if (Type[b][j] == xplmType_Data) {
        ReadByteText(b, j);
        OutValue = 0;
        return true;
    }
    const int count = ReadOutputValues(b, j, byteForm);
    if (count < 0) return false;
    OutArrayUse = count;
    const int precision = Precision[b][j];
    const bool stepper = (letter == 'G');
    const std::vector<float>& range1 = OutRange1[b][j];
    const std::vector<float>& range2 = OutRange2[b][j];
    if (memo.valid && memo.precision == precision && memo.stepper == stepper &&
        SameFloats(OutputValues, static_cast<size_t>(count), memo.raw) &&
        SameFloats(range1.data(), range1.size(), memo.range1) &&
        SameFloats(range2.data(), range2.size(), memo.range2)) {
        line = memo.text;
        OutValue = memo.mapped;
        return true;
    }
    line.clear();
    for (int k = 0; k < count; ++k) {
        const float v = MapOutputValue(OutputValues[k], range1, range2, stepper);
        if (k == 0) OutValue = v;
        AppendFormattedValue(v, precision, line);
        if (k + 1 < count) line += ',';
    }
    memo.raw.assign(OutputValues, OutputValues + count);
    memo.precision = precision;
    memo.stepper = stepper;
    memo.range1 = range1;
    memo.range2 = range2;
    memo.text = line;
    memo.mapped = OutValue;
    memo.valid = true;
    return true;
}
