#include "exchange/value_format.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// Threshold of a one-item range: 1.0 inside [low, high], 0.0 outside; a reversed pair lights
// always.
float Threshold(float v, float low, float high) {
    if (low > high) return 1.0f;
    return (v >= low && v <= high) ? 1.0f : 0.0f;
}

// Linear interpolation in the first segment of the breakpoints that holds v; below the first
// breakpoint the first value, anywhere else the last value.
float Breakpoints(float v, const std::vector<float>& points, const std::vector<float>& values) {
    const size_t n = points.size() < values.size() ? points.size() : values.size();
    if (n == 0) return v;
    for (size_t s = 1; s < n; ++s) {
        const float low = points[s - 1];
        const float high = points[s];
        if (!(low <= v && v <= high)) continue;
        // A segment of zero width holds only its breakpoint: it gives the segment's first value
        // instead of dividing by zero.
        if (high == low) return values[s - 1];
        return values[s - 1] + (v - low) / (high - low) * (values[s] - values[s - 1]);
    }
    if (v < points[0]) return values[0];
    return values[n - 1];
}

// A stepper's turn scaling: whole turns of range1[0] are dropped (positive values only), the rest
// is scaled to steps, and negative results are moved back by one full turn of steps.
float StepperSteps(float v, float turn, float steps) {
    if (v >= turn) v = std::fmod(v, turn);
    v = v * steps / turn;
    if (v < 0) v = v - steps;
    return v;
}

// Prints v into out (size bytes, at least 64) and returns the length, 0 for a value that is not
// finite. Six significant digits in fixed notation, without trailing zeros, as the default stream
// prints while the decimal exponent is from -4 to 5; every other finite value in full, also in
// fixed notation: a large one with all its digits (1234567), a small one with its six (0.0000123),
// so that every value has a text of its own and a change of it is seen.
// The six significant digits of v as %g prints them while the decimal exponent is from -4 to 5
// (zero included), made with integer arithmetic; 0 for any other value. |v| times 10^k for k up
// to 9 is exact in a double (a float's 24 bits times 5^9 fit in 53), so rounding the product to
// an integer rounds exactly as printf does, halves to even.
int PrintSixDigits(float v, char* out) {
    static const double kPowers[] = {1e-4, 1e-3, 1e-2, 1e-1, 1,   1e1, 1e2,
                                     1e3,  1e4,  1e5,  1e6,  1e7, 1e8, 1e9};
    int length = 0;
    if (std::signbit(v)) out[length++] = '-';
    const double a = std::fabs(static_cast<double>(v));
    if (a == 0) {
        out[length++] = '0';
        return length;
    }
    if (!(a >= kPowers[0] && a < kPowers[10])) return 0;
    int e = 5;  // the decimal exponent: 10^e <= a < 10^(e+1)
    while (a < kPowers[e + 4]) --e;
    double m = std::nearbyint(a * kPowers[9 - e]);
    if (m >= 1e6) {  // rounded up to the next power of ten
        m = 1e5;
        ++e;
    }
    if (e > 5 || m < 1e5) return 0;
    // Two halves of three digits each: divisions of small unsigned numbers by constants.
    char digits[6];
    const uint32_t n = static_cast<uint32_t>(m);
    const uint32_t high = n / 1000;
    const uint32_t low = n - high * 1000;
    digits[0] = static_cast<char>('0' + high / 100);
    digits[1] = static_cast<char>('0' + high / 10 % 10);
    digits[2] = static_cast<char>('0' + high % 10);
    digits[3] = static_cast<char>('0' + low / 100);
    digits[4] = static_cast<char>('0' + low / 10 % 10);
    digits[5] = static_cast<char>('0' + low % 10);
    int last = 5;  // the last digit kept: trailing zeros of the fraction go
    while (last > 0 && last > e && digits[last] == '0') --last;
    if (e < 0) {
        out[length++] = '0';
        out[length++] = '.';
        for (int zeros = -e - 1; zeros > 0; --zeros) out[length++] = '0';
        for (int k = 0; k <= last; ++k) out[length++] = digits[k];
        return length;
    }
    for (int k = 0; k <= last; ++k) {
        if (k == e + 1) out[length++] = '.';
        out[length++] = digits[k];
    }
    return length;
}

int PrintValue(float v, char* out, size_t size) {
    if (!std::isfinite(v)) return 0;
    const int quick = PrintSixDigits(v, out);
    if (quick > 0) {
        out[quick] = '\0';
        return quick;
    }
    // to_chars in the general format with a precision prints exactly as printf's %g does,
    // without its cost.
    std::to_chars_result printed =
        std::to_chars(out, out + size - 1, static_cast<double>(v), std::chars_format::general, 6);
    if (printed.ec != std::errc()) return 0;
    *printed.ptr = '\0';
    const char* e = std::strchr(out, 'e');
    if (e == nullptr) return static_cast<int>(printed.ptr - out);
    if (e[1] == '+') {
        // The shortest text that reads back as the same float, all its digits before the point.
        printed = std::to_chars(out, out + size - 1, v, std::chars_format::fixed);
        return printed.ec == std::errc() ? static_cast<int>(printed.ptr - out) : 0;
    }
    // The six digits of the mantissa moved behind "0." and the zeros of the exponent.
    char digits[8];
    size_t count = 0;
    for (const char* c = out; c < e; ++c)
        if (*c >= '0' && *c <= '9' && count < sizeof digits) digits[count++] = *c;
    const int exponent = std::atoi(e + 1);
    int length = 0;
    if (v < 0) out[length++] = '-';
    out[length++] = '0';
    out[length++] = '.';
    for (int zeros = -exponent - 1; zeros > 0 && length + 8 < static_cast<int>(size); --zeros)
        out[length++] = '0';
    std::memcpy(out + length, digits, count);
    return length + static_cast<int>(count);
}

}  // namespace

float MapOutputValue(float v, const std::vector<float>& range1, const std::vector<float>& range2,
                     bool stepper) {
    if (std::isnan(v)) v = 0.0f;
    float mapped = v;
    if (range1.empty()) {
        mapped = v;
    } else if (range1.size() == 1) {
        if (stepper) {
            if (range2.size() >= 2) mapped = StepperSteps(v, range1[0], range2[1]);
        } else if (!range2.empty()) {
            mapped = Threshold(v, range1[0], range2[0]);
        }
    } else {
        mapped = Breakpoints(v, range1, range2);
    }
    // A mapping that gives no number (a turn of zero, an infinite reading) is sent as zero.
    if (!std::isfinite(mapped)) mapped = 0.0f;
    return mapped;
}

void AppendFormattedValue(float v, int precision, std::string& text) {
    // Room for the longest text: a sign, "0." and 44 zeros before the six digits of the smallest
    // float, or the 39 digits of the largest.
    char cut[64];
    int length = PrintValue(v, cut, sizeof cut);
    if (length == 0) {
        std::memcpy(cut, "0.0", 4);
        length = 3;
    }
    cut[length] = '\0';
    // The texts are a few characters long: the point is looked for in place.
    int digits = 0;
    while (digits < length && cut[digits] != '.') ++digits;
    const long long keep = static_cast<long long>(digits) + 1 + static_cast<long long>(precision);
    // A cut that leaves no digit (a sign at most) leaves zero.
    const long long sign = cut[0] == '-' ? 1 : 0;
    if (keep < length) {
        if (keep <= sign) {
            cut[0] = '0';
            length = 1;
        } else {
            length = static_cast<int>(keep);
            // Negative precisions below -1 stand for cut tens, hundreds, ...: fill them with 0.
            // keep > 0 bounds the count below the digits that were there.
            for (long long zeros = -1 - static_cast<long long>(precision); zeros > 0; --zeros)
                cut[length++] = '0';
        }
        cut[length] = '\0';
    }
    // A negative text that reads back as zero (only zero digits follow the sign) loses the sign.
    const char* start = cut;
    if (cut[0] == '-' && std::strspn(cut + 1, "0.") == static_cast<size_t>(length - 1)) {
        ++start;
        --length;
    }
    text.append(start, static_cast<size_t>(length));
}
