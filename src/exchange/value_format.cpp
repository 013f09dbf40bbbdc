#include "exchange/value_format.h"

#include <algorithm>
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
    const size_t n = std::min(points.size(), values.size());
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

// The six significant digits of v as %g prints them while the decimal exponent is from -4 to 5
// (zero included), made with integer arithmetic: false for any other value. |v| times 10^k for k
// up to 9 is exact in a double (a float's 24 bits times 5^9 fit in 53), so rounding the product to
// an integer rounds exactly as printf does, halves to even. e is the decimal exponent
// (10^e <= |v| < 10^(e+1)), last the last digit that is not a trailing zero of the fraction.
struct SixDigits {
    bool negative{};
    bool zero{};
    int e{};
    int last{};
    char digits[16] = {};  // six digits, then room for the fixed-size copies that print them
};

bool ReadSixDigits(float v, SixDigits& out) {
    static const double kPowers[] = {1e-4, 1e-3, 1e-2, 1e-1, 1,   1e1, 1e2,
                                     1e3,  1e4,  1e5,  1e6,  1e7, 1e8, 1e9};
    out.negative = std::signbit(v);
    const double a = std::fabs(static_cast<double>(v));
    out.zero = a == 0;
    if (out.zero) return true;
    if (!(a >= kPowers[0] && a < kPowers[10])) return false;
    int e = a >= 1e2 ? 5 : (a >= 1 ? 1 : -1);
    while (a < kPowers[e + 4]) --e;
    double m = std::nearbyint(a * kPowers[9 - e]);
    if (m >= 1e6) {  // rounded up to the next power of ten
        m = 1e5;
        ++e;
    }
    if (e > 5 || m < 1e5) return false;
    // Two halves of three digits each, their last two digits from a table of pairs.
    static const char kPairs[] =
        "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
        "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
        "8081828384858687888990919293949596979899";
    const uint32_t n = static_cast<uint32_t>(m);
    const uint32_t high = n / 1000;
    const uint32_t low = n - high * 1000;
    char* digits = out.digits;
    digits[0] = static_cast<char>('0' + high / 100);
    std::memcpy(digits + 1, kPairs + 2 * (high % 100), 2);
    digits[3] = static_cast<char>('0' + low / 100);
    std::memcpy(digits + 4, kPairs + 2 * (low % 100), 2);
    int last = 5;
    while (last > 0 && last > e && digits[last] == '0') --last;
    out.e = e;
    out.last = last;
    return true;
}

// The text of six digits cut to precision, as AppendFormattedValue makes it from their full text:
// the fraction cut to `precision` digits (0 keeps the point), a negative precision cuts the
// point and -1 - precision integer digits, which become zeros; a cut that leaves no digit, and a
// negative text of zero digits only, give "0" or lose the sign. Returns the length.
int PrintCutSixDigits(const SixDigits& six, int precision, char* out) {
    int length = 0;
    if (six.zero) {
        out[length++] = '0';
        return length;
    }
    const char* digits = six.digits;
    const int e = six.e;
    if (e < 0) {
        // "0." with -e - 1 zeros before the digits: a negative precision leaves "0", and the sign
        // stays only when a digit other than zero is kept.
        if (precision < 0) {
            out[length++] = '0';
            return length;
        }
        const int zeros = -e - 1;
        if (six.negative && precision > zeros) out[length++] = '-';
        out[length++] = '0';
        out[length++] = '.';
        int room = precision;
        for (int k = 0; k < zeros && room > 0; ++k, --room) out[length++] = '0';
        for (int k = 0; k <= six.last && room > 0; ++k, --room) out[length++] = digits[k];
        return length;
    }
    if (precision <= -2) {
        const int kept = e + 2 + precision;  // integer digits kept, the rest become zeros
        if (kept <= 0) {
            out[length++] = '0';
            return length;
        }
        if (six.negative) out[length++] = '-';
        for (int k = 0; k <= e; ++k) out[length++] = k < kept ? digits[k] : '0';
        return length;
    }
    // The integer digits and the fraction are copied eight bytes at a time: out has room past the
    // text, and digits past the six are never counted in.
    if (six.negative) out[length++] = '-';
    std::memcpy(out + length, digits, 8);
    length += e + 1;
    if (six.last > e && precision >= 0) {
        out[length++] = '.';
        const int fraction = std::min(six.last - e, precision);
        std::memcpy(out + length, digits + e + 1, 8);
        length += fraction;
    }
    return length;
}

// Prints v into out (size bytes, at least 64) and returns the length, 0 for a value that is not
// finite. Six significant digits in fixed notation, without trailing zeros, as the default stream
// prints while the decimal exponent is from -4 to 5; every other finite value in full, also in
// fixed notation: a large one with all its digits (1234567), a small one with its six (0.0000123),
// so that every value has a text of its own and a change of it is seen. Values of the first kind
// are printed by the caller.
int PrintValue(float v, char* out, size_t size) {
    if (!std::isfinite(v)) return 0;
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
    for (const char* c = out; c != e; ++c)
        if (*c >= '0' && *c <= '9' && count < sizeof digits) digits[count++] = *c;
    const int exponent = std::atoi(e + 1);
    int length = 0;
    if (std::signbit(v)) out[length++] = '-';
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
    SixDigits six;
    if (ReadSixDigits(v, six)) {
        text.append(cut, static_cast<size_t>(PrintCutSixDigits(six, precision, cut)));
        return;
    }
    int length = PrintValue(v, cut, sizeof cut);
    if (length == 0) {
        std::memcpy(cut, "0.0", 4);
        length = 3;
    }
    cut[length] = '\0';
    // The texts are a few characters long: the point is looked for in place.
    const int digits = static_cast<int>(std::find(cut, cut + length, '.') - cut);
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
