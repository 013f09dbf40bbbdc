#include "exchange/output_records.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "exchange/seven_segment.h"

namespace {

constexpr unsigned int kMaxLedPorts = 8;
constexpr unsigned int kMaxMoveTime = 32760;

void Put(char* buffer, int& length, unsigned int byte) {
    buffer[length++] = static_cast<char>(byte & 0xFF);
}

// Low bits of a number that fits no integer type: exact for every finite double.
double Wrapped(double r, double modulus) {
    r = std::fmod(r, modulus);
    if (r < 0) r += modulus;
    return r;
}

}  // namespace

void AppendLedPortBlock(unsigned int pin, const std::vector<uint8_t>& ports, char* buffer,
                        int& length, int capacity) {
    const unsigned int count = std::min(static_cast<unsigned int>(ports.size()), kMaxLedPorts);
    if (length + 3 + static_cast<int>(count) > capacity) return;
    Put(buffer, length, pin);
    Put(buffer, length, 'R');
    Put(buffer, length, count);
    for (unsigned int k = count; k > 0; --k) Put(buffer, length, ports[k - 1]);
}

bool SetPortLed(std::vector<uint8_t>& ports, int n, bool on) {
    if (n < 1 || static_cast<size_t>(n) > 8 * ports.size()) return false;
    const size_t port = static_cast<size_t>(n - 1) / 8;
    const uint8_t mask = static_cast<uint8_t>(1u << (7 - (n - 1) % 8));
    if (on)
        ports[port] = static_cast<uint8_t>(ports[port] | mask);
    else
        ports[port] = static_cast<uint8_t>(ports[port] & ~mask);
    return true;
}

unsigned int StepperMoveTime(float frameTime) {
    // The product in single precision, as the frame period is: 0.02 s gives 2000.
    const float units = 100000.0f * frameTime;
    // std::fmax takes a NaN to 0.
    return static_cast<unsigned int>(
        std::fmin(std::fmax(units, 0.0f), static_cast<float>(kMaxMoveTime)));
}

uint16_t StepperTarget(float v) {
    if (!std::isfinite(v)) return 0;
    return static_cast<uint16_t>(Wrapped(std::floor(static_cast<double>(v) + 0.5), 65536.0));
}

uint8_t OneByteValue(float v) {
    // A lamp at full scale stays at full scale; std::fmax takes a NaN to 0.
    return static_cast<uint8_t>(std::fmin(std::fmax(v, 0.0f), 255.0f));
}

bool IsByteDataRecord(char letter, int type) {
    return type == 32 && letter != 'l' && letter != 'L' && letter != 'N' && letter != 'G' &&
           letter != 'g' && letter != 'P';
}

int ByteDataRecordLength(const std::string& text) {
    return 3 + static_cast<int>(std::min<size_t>(text.size(), 0xFFFF));
}

bool AppendOutputRecord(char pin, char letter, int type, const std::string& text, float value,
                        const std::vector<std::string>& fields, float frameTime, char* buffer,
                        int& length, int capacity) {
    const bool allOn = text.size() == 1 && text[0] == '*';
    const int room = capacity - length;
    if (letter == 'L') {
        if (room < 2) return false;
        Put(buffer, length, static_cast<unsigned char>(pin));
        Put(buffer, length, (allOn || value == 1.0f) ? ')' : '(');
    } else if (letter == 'N') {
        unsigned char segments[kMaxSevenSegDigits];
        const int digits = EncodeSevenSegmentEntry(fields, text, value, segments);
        if (digits < 0 || room < 3 + digits) return false;
        Put(buffer, length, static_cast<unsigned char>(pin));
        Put(buffer, length, 'R');
        Put(buffer, length, static_cast<unsigned int>(digits));
        for (int k = 0; k < digits; ++k) Put(buffer, length, segments[k]);
    } else if (letter == 'G' || letter == 'g') {
        if (room < 6) return false;
        const uint16_t target = StepperTarget(value);
        const unsigned int time = StepperMoveTime(frameTime);
        Put(buffer, length, static_cast<unsigned char>(pin));
        Put(buffer, length, 'G');
        Put(buffer, length, target);
        Put(buffer, length, target >> 8u);
        Put(buffer, length, time);
        Put(buffer, length, time >> 8u);
    } else if (letter == 'P') {
        if (room < 3) return false;
        Put(buffer, length, static_cast<unsigned char>(pin));
        Put(buffer, length, 'P');
        Put(buffer, length, OneByteValue(value));
    } else if (type == 32) {
        if (room < 3) return false;
        const size_t size = std::min(text.size(), static_cast<size_t>(room - 3));
        Put(buffer, length, static_cast<unsigned char>(pin));
        Put(buffer, length, 'B');
        Put(buffer, length, static_cast<unsigned int>(size));
        std::memcpy(buffer + length, text.data(), size);
        length += static_cast<int>(size);
    } else {
        if (room < 6) return false;
        uint32_t bits{};
        std::memcpy(&bits, &value, sizeof bits);
        Put(buffer, length, static_cast<unsigned char>(pin));
        Put(buffer, length, static_cast<unsigned char>(letter));
        for (int k = 0; k < 4; ++k) Put(buffer, length, bits >> (8 * k));
    }
    return true;
}
