#include "exchange/seven_segment.h"

#include <algorithm>
#include <cstring>

namespace {

// Segment byte of one character; anything that is no digit or '-' (the blank too) is dark.
unsigned char SegmentByte(char c) {
    static const unsigned char kDigits[10] = {0x03, 0x9F, 0x25, 0x0D, 0x99,
                                              0x49, 0x41, 0x1F, 0x01, 0x09};
    if (c >= '0' && c <= '9') return kDigits[c - '0'];
    if (c == '-') return 0xFD;
    return 0xFF;
}

// Reads the unsigned number at the start of a field; false when it does not begin with a digit.
// The field's end reads as its terminating '\0', which is no digit.
bool ReadCount(const std::string& field, unsigned int& count) {
    size_t k = 0;
    if (field[k] == '+') ++k;
    if (field[k] < '0' || field[k] > '9') return false;
    unsigned long n = 0;
    for (; field[k] >= '0' && field[k] <= '9'; ++k) {
        // Kept from overflowing; the count is clamped below anyway.
        n = std::min(n * 10 + static_cast<unsigned long>(field[k] - '0'), 1000UL);
    }
    count = static_cast<unsigned int>(n);
    return true;
}

// A piece of the value text, without allocation.
struct Piece {
    const char* begin = nullptr;
    size_t size = 0;
};

}  // namespace

unsigned int EncodeSevenSegment(const std::string& text, float value, unsigned int digits,
                                unsigned int point, const std::string& options,
                                unsigned char* segments) {
    const unsigned int d = std::min(digits, kMaxSevenSegDigits);
    unsigned int p = std::min(point, d);
    // The option letters, read in one pass over the field.
    bool reversed = false;
    bool fixedPoint = false;
    bool inverted = false;
    bool zeros = false;
    bool noLoneZero = false;
    bool dashes = false;
    for (const char c : options) {
        reversed = reversed || c == 'r';
        fixedPoint = fixedPoint || c == 'd';
        inverted = inverted || c == 'c';
        zeros = zeros || c == 'z';
        noLoneZero = noLoneZero || c == 'f';
        dashes = dashes || c == 'e';
    }

    if (text.size() == 1 && text[0] == '*') {
        std::memset(segments, inverted ? 0xFF : 0x00, d);
        return d;
    }

    // Integer part and fraction: the first and second non-empty pieces between points.
    Piece pieces[2];
    int found = 0;
    for (size_t pos = 0; pos < text.size() && found < 2;) {
        if (text[pos] == '.') {
            ++pos;
            continue;
        }
        const void* point = std::memchr(text.data() + pos, '.', text.size() - pos);
        const size_t end = point
                               ? static_cast<size_t>(static_cast<const char*>(point) - text.data())
                               : text.size();
        pieces[found].begin = text.data() + pos;
        pieces[found].size = end - pos;
        ++found;
        pos = end;
    }
    Piece whole = pieces[0];
    Piece fraction = pieces[1];

    char buffer[kMaxSevenSegDigits];
    if (whole.size > d) {
        // Too many digits: the last d of the integer part, without point and fraction.
        p = 0;
        whole.begin += whole.size - d;
        whole.size = d;
        fraction.size = 0;
    }
    if (p == 0) p = d;

    if (dashes && value == 0.0f) {
        std::memset(buffer, '-', d);
    } else {
        // With the fixed point, integer digits beyond the point move into the fraction.
        char moved[2 * kMaxSevenSegDigits];
        size_t movedSize = 0;
        if (whole.size > p) {
            if (fixedPoint) {
                for (size_t k = p; k < whole.size; ++k) moved[movedSize++] = whole.begin[k];
                for (size_t k = 0; k < fraction.size && movedSize < sizeof moved; ++k)
                    moved[movedSize++] = fraction.begin[k];
                fraction.begin = moved;
                fraction.size = movedSize;
                whole.size = p;
            } else {
                p = static_cast<unsigned int>(whole.size);
            }
        }
        if (noLoneZero && whole.size == 1 && whole.begin[0] == '0') whole.size = 0;
        const size_t pad = p - whole.size;
        std::memset(buffer, zeros ? '0' : ' ', pad);
        if (whole.size > 0) std::memcpy(buffer + pad, whole.begin, whole.size);
        // The fraction, cut or padded with "0" to the digits after the point.
        for (size_t k = 0; k < d - p; ++k)
            buffer[p + k] = k < fraction.size ? fraction.begin[k] : '0';
    }

    if (reversed) {
        std::reverse(buffer, buffer + d);
        p = (d + 1 - p <= 1) ? d : d + 1 - p;
    }
    for (unsigned int i = 1; i <= d; ++i) {
        unsigned char byte = SegmentByte(buffer[i - 1]);
        if (i == p && p != d) byte &= 0xFE;
        if (inverted) byte = static_cast<unsigned char>(~byte);
        segments[i - 1] = byte;
    }
    return d;
}

int EncodeSevenSegmentEntry(const std::vector<std::string>& fields, const std::string& text,
                            float value, unsigned char* segments) {
    unsigned int digits{};
    unsigned int point{};
    if (fields.size() < 6 || !ReadCount(fields[4], digits) || !ReadCount(fields[5], point))
        return -1;
    static const std::string kNone;
    const std::string& options = fields.size() >= 7 ? fields[6] : kNone;
    return static_cast<int>(EncodeSevenSegment(text, value, digits, point, options, segments));
}
