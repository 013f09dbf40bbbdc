#include "simdata/dataref_access.h"

#include <cmath>
#include <limits>

#include "XPLMDataAccess.h"
#include "config/board_tables.h"

int ReadI[kReadBufferSize];
float ReadF[kReadBufferSize];
double ReadD[kReadBufferSize];

namespace {

// The dataref handle of an existing input, or null.
XPLMDataRef RefOf(unsigned int board, unsigned int input, int* types) {
    const int b = static_cast<int>(board);
    const int i = static_cast<int>(input);
    if (board > static_cast<unsigned int>(std::numeric_limits<int>::max()) ||
        input > static_cast<unsigned int>(std::numeric_limits<int>::max()) || !InputExists(b, i) ||
        i >= static_cast<int>(InputDataPointer[b].size()) ||
        i >= static_cast<int>(InputDrefTypes[b].size())) {
        return nullptr;
    }
    *types = InputDrefTypes[b][i];
    return InputDataPointer[b][i];
}

// The 0-based element offset of a 1-based array index, or -1 when it lies outside the array.
// Board data can name any element; the array calls are only made for elements the dataref has.
int ElementOffset(XPLMDataRef ref, unsigned int arrayIndex, bool isFloatArray) {
    if (arrayIndex < 1 || arrayIndex > static_cast<unsigned int>(std::numeric_limits<int>::max()))
        return -1;
    const int size =
        isFloatArray ? XPLMGetDatavf(ref, nullptr, 0, 0) : XPLMGetDatavi(ref, nullptr, 0, 0);
    const int offset = static_cast<int>(arrayIndex - 1);
    return offset < size ? offset : -1;
}

// Float to int truncating toward zero; values outside the int range (and NaN) saturate instead
// of being undefined.
int Truncate(float value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483648.0f) return std::numeric_limits<int>::max();
    if (value <= -2147483648.0f) return std::numeric_limits<int>::min();
    return static_cast<int>(value);
}

}  // namespace

float ReadDataref(unsigned int board, unsigned int input, unsigned int arrayIndex) {
    int types = 0;
    XPLMDataRef ref = RefOf(board, input, &types);
    if (!ref) return 0.0f;
    if (types & xplmType_Int) {
        ReadI[0] = XPLMGetDatai(ref);
        return static_cast<float>(ReadI[0]);
    }
    if (types & xplmType_Float) {
        ReadF[0] = XPLMGetDataf(ref);
        return ReadF[0];
    }
    if (types & xplmType_FloatArray) {
        const int offset = ElementOffset(ref, arrayIndex, true);
        if (offset < 0) return 0.0f;
        XPLMGetDatavf(ref, ReadF, offset, 1);
        return ReadF[0];
    }
    if (types & xplmType_IntArray) {
        const int offset = ElementOffset(ref, arrayIndex, false);
        if (offset < 0) return 0.0f;
        XPLMGetDatavi(ref, ReadI, offset, 1);
        return static_cast<float>(ReadI[0]);
    }
    if (types & xplmType_Double) {
        ReadD[0] = XPLMGetDatad(ref);
        return static_cast<float>(ReadD[0]);
    }
    return 0.0f;
}

void WriteDataref(unsigned int board, unsigned int input, unsigned int arrayIndex, float value) {
    int types = 0;
    XPLMDataRef ref = RefOf(board, input, &types);
    if (!ref) return;
    if (types & xplmType_FloatArray) {
        const int offset = ElementOffset(ref, arrayIndex, true);
        if (offset < 0) return;
        ReadF[0] = value;
        XPLMSetDatavf(ref, ReadF, offset, 1);
    } else if (types & xplmType_IntArray) {
        const int offset = ElementOffset(ref, arrayIndex, false);
        if (offset < 0) return;
        ReadI[0] = Truncate(value);
        XPLMSetDatavi(ref, ReadI, offset, 1);
    } else if (types & xplmType_Float) {
        ReadF[0] = value;
        XPLMSetDataf(ref, value);
    } else if (types & xplmType_Int) {
        ReadI[0] = Truncate(value);
        XPLMSetDatai(ref, ReadI[0]);
    } else if (types & xplmType_Double) {
        ReadD[0] = static_cast<double>(value);
        XPLMSetDatad(ref, ReadD[0]);
    }
}
