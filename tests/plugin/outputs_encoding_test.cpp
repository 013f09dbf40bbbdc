// Byte encodings of the output records: 7-segment patterns with their options, port LEDs, the
// LED port block, steppers, one-byte values, floats and byte data.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "exchange/output_records.h"
#include "exchange/seven_segment.h"

namespace {

using Bytes = std::vector<unsigned int>;

Bytes Segments(const std::string& text, float value, unsigned int digits, unsigned int point,
               const std::string& options = "") {
    unsigned char out[kMaxSevenSegDigits] = {};
    const unsigned int n = EncodeSevenSegment(text, value, digits, point, options, out);
    return Bytes(out, out + n);
}

Bytes Record(char pin, char letter, int type, const std::string& text, float value,
             const std::vector<std::string>& fields = {}, float frameTime = 0.025f, int start = 0) {
    char buffer[64] = {};
    int length = start;
    AppendOutputRecord(pin, letter, type, text, value, fields, frameTime, buffer, length, 64);
    Bytes bytes;
    for (int k = start; k < length; ++k) bytes.push_back(static_cast<unsigned char>(buffer[k]));
    return bytes;
}

TEST(SevenSegment, PointAndReversal) {
    EXPECT_EQ(Segments("12.34", 12.34f, 4, 2), (Bytes{0x9F, 0x24, 0x0D, 0x99}));
    EXPECT_EQ(Segments("12.34", 12.34f, 4, 2, "r"), (Bytes{0x99, 0x0D, 0x24, 0x9F}));
    // Without a decimal position the integer part stands right-aligned, the fraction is dropped.
    EXPECT_EQ(Segments("12.34", 12.34f, 4, 0), (Bytes{0xFF, 0xFF, 0x9F, 0x25}));
    EXPECT_EQ(Segments("123456", 123456.0f, 4, 0), (Bytes{0x0D, 0x99, 0x49, 0x41}));
    // The integer part longer than the position moves the point (without "d").
    EXPECT_EQ(Segments("123.4", 123.4f, 4, 2), (Bytes{0x9F, 0x25, 0x0C, 0x99}));
    EXPECT_EQ(Segments("-1.5", -1.5f, 4, 3), (Bytes{0xFF, 0xFD, 0x9E, 0x49}));
}

TEST(SevenSegment, Options) {
    // "d": 12345 on five digits with the point after the third reads 123.45.
    EXPECT_EQ(Segments("12345", 12345.0f, 5, 3, "d"), (Bytes{0x9F, 0x25, 0x0C, 0x99, 0x49}));
    // "z": leading zeros, 005.2.
    EXPECT_EQ(Segments("5.2", 5.2f, 4, 3, "z"), (Bytes{0x03, 0x03, 0x48, 0x25}));
    EXPECT_EQ(Segments("5.2", 5.2f, 4, 3), (Bytes{0xFF, 0xFF, 0x48, 0x25}));
    // "f": no lone leading zero, the point stays lit on the blank digit.
    EXPECT_EQ(Segments("0.5", 0.5f, 2, 1, "f"), (Bytes{0xFE, 0x49}));
    EXPECT_EQ(Segments("0.5", 0.5f, 2, 1), (Bytes{0x02, 0x49}));
    // "e": dashes for exactly zero, only then.
    EXPECT_EQ(Segments("0", 0.0f, 3, 0, "e"), (Bytes{0xFD, 0xFD, 0xFD}));
    EXPECT_EQ(Segments("0.0", 0.0f, 3, 2, "e"), (Bytes{0xFD, 0xFC, 0xFD}));
    EXPECT_EQ(Segments("1", 1.0f, 3, 0, "e"), (Bytes{0xFF, 0xFF, 0x9F}));
    // "c": common anode, every byte inverted.
    EXPECT_EQ(Segments("12.34", 12.34f, 4, 2, "c"), (Bytes{0x60, 0xDB, 0xF2, 0x66}));
    EXPECT_EQ(Segments("12.34", 12.34f, 4, 2, "rc"), (Bytes{0x66, 0xF2, 0xDB, 0x60}));
    // Letters that are no options change nothing (a carriage return ends the last field).
    EXPECT_EQ(Segments("12.34", 12.34f, 4, 2, "xq\r"), (Bytes{0x9F, 0x24, 0x0D, 0x99}));
}

TEST(SevenSegment, AllOnAndLimits) {
    EXPECT_EQ(Segments("*", 3.0f, 3, 1), (Bytes{0x00, 0x00, 0x00}));
    EXPECT_EQ(Segments("*", 3.0f, 3, 1, "c"), (Bytes{0xFF, 0xFF, 0xFF}));
    // At most 8 digits; a position beyond the digit count means none.
    EXPECT_EQ(Segments("1", 1.0f, 12, 0).size(), 8u);
    EXPECT_EQ(Segments("12.5", 12.5f, 3, 9), (Bytes{0xFF, 0x9F, 0x25}));
    EXPECT_TRUE(Segments("12", 12.0f, 0, 0).empty());
    // Text that is no number (byte data) shows blanks for the unknown characters.
    EXPECT_EQ(Segments("ab", 0.0f, 2, 0), (Bytes{0xFF, 0xFF}));
    EXPECT_EQ(Segments("", 0.0f, 2, 0), (Bytes{0xFF, 0xFF}));
    EXPECT_EQ(Segments(".5", 0.5f, 2, 1), (Bytes{0x48, 0x03}));  // pieces, as SplitBy gives them
}

TEST(SevenSegment, EntryFields) {
    unsigned char out[kMaxSevenSegDigits];
    const std::vector<std::string> entry = {"\x05N", "2", "sim/x", "1", "4", "2\r"};
    EXPECT_EQ(EncodeSevenSegmentEntry(entry, "12.34", 12.34f, out), 4);
    EXPECT_EQ(out[1], 0x24);
    const std::vector<std::string> withOptions = {"\x05N", "2", "sim/x", "1", "4", "2", "r"};
    EXPECT_EQ(EncodeSevenSegmentEntry(withOptions, "12.34", 12.34f, out), 4);
    EXPECT_EQ(out[0], 0x99);
    EXPECT_EQ(EncodeSevenSegmentEntry({"\x05N", "2", "sim/x", "1", "4"}, "1", 1.0f, out), -1);
    EXPECT_EQ(EncodeSevenSegmentEntry({"\x05N", "2", "sim/x", "1", "x", "2"}, "1", 1.0f, out), -1);
    EXPECT_EQ(EncodeSevenSegmentEntry({"\x05N", "2", "sim/x", "1", "-4", "2"}, "1", 1.0f, out), -1);
    EXPECT_EQ(
        EncodeSevenSegmentEntry({"\x05N", "2", "sim/x", "1", "99999999999", "2"}, "1", 1.0f, out),
        8);
}

TEST(PortLeds, BitOrderAndRange) {
    std::vector<uint8_t> ports(2, 0);
    EXPECT_TRUE(SetPortLed(ports, 1, true));
    EXPECT_EQ(ports[0], 0x80);
    EXPECT_TRUE(SetPortLed(ports, 8, true));
    EXPECT_EQ(ports[0], 0x81);
    EXPECT_TRUE(SetPortLed(ports, 9, true));
    EXPECT_EQ(ports[1], 0x80);
    EXPECT_TRUE(SetPortLed(ports, 1, false));
    EXPECT_EQ(ports[0], 0x01);
    // LED numbers outside the ports address nothing.
    EXPECT_FALSE(SetPortLed(ports, 0, true));
    EXPECT_FALSE(SetPortLed(ports, -3, true));
    EXPECT_FALSE(SetPortLed(ports, 17, true));
    EXPECT_EQ(ports, (std::vector<uint8_t>{0x01, 0x80}));
    std::vector<uint8_t> none;
    EXPECT_FALSE(SetPortLed(none, 1, true));
}

TEST(PortLeds, BlockCarriesTheLastPortFirst) {
    char buffer[64];
    int length = 2;
    AppendLedPortBlock(0x134, {0x01, 0x80}, buffer, length, 64);
    ASSERT_EQ(length, 7);
    EXPECT_EQ(std::string(buffer + 2, 5), std::string("\x34R\x02\x80\x01", 5));
    // More than eight ports (tables that were not built by the option pass) stop at eight.
    length = 0;
    AppendLedPortBlock(9, std::vector<uint8_t>(20, 0xAA), buffer, length, 64);
    EXPECT_EQ(length, 11);
    EXPECT_EQ(static_cast<unsigned char>(buffer[2]), 8);
}

TEST(OutputRecords, Leds) {
    EXPECT_EQ(Record(13, 'L', 2, "1", 1.0f), (Bytes{13, 0x29}));
    EXPECT_EQ(Record(13, 'L', 2, "2", 2.0f), (Bytes{13, 0x28}));
    EXPECT_EQ(Record(13, 'L', 2, "0.99", 0.99f), (Bytes{13, 0x28}));
    EXPECT_EQ(Record(13, 'L', 2, "*", 0.0f), (Bytes{13, 0x29}));
}

TEST(OutputRecords, Steppers) {
    // 511.5 rounds half up to 512; 0.02 s is 2000 units of 10 us.
    EXPECT_EQ(Record(4, 'G', 2, "511.5", 511.5f, {}, 0.02f),
              (Bytes{4, 'G', 0x00, 0x02, 0xD0, 0x07}));
    EXPECT_EQ(Record(4, 'g', 2, "1", 1.0f, {}, 0.5f), (Bytes{4, 'G', 0x01, 0x00, 0xF8, 0x7F}));
    EXPECT_EQ(Record(4, 'G', 2, "-2560", -2560.0f, {}, 0.025f),
              (Bytes{4, 'G', 0x00, 0xF6, 0xC4, 0x09}));
    EXPECT_EQ(StepperMoveTime(30.0f), 32760u);
    EXPECT_EQ(StepperMoveTime(0.0f), 0u);
    EXPECT_EQ(StepperMoveTime(-1.0f), 0u);
    EXPECT_EQ(StepperMoveTime(std::nanf("")), 0u);
    EXPECT_EQ(StepperTarget(65537.0f), 1u);
    EXPECT_EQ(StepperTarget(3.0e9f), static_cast<uint16_t>(3000000000ull & 0xFFFF));
    EXPECT_EQ(StepperTarget(std::nanf("")), 0u);
}

TEST(OutputRecords, OneByteValues) {
    EXPECT_EQ(Record(9, 'P', 2, "300", 300.0f), (Bytes{9, 'P', 255}));
    EXPECT_EQ(Record(9, 'P', 2, "-5", -5.0f), (Bytes{9, 'P', 0}));
    EXPECT_EQ(Record(9, 'P', 2, "255.9", 255.9f), (Bytes{9, 'P', 255}));
    EXPECT_EQ(OneByteValue(1.0e10f), 255u);
    EXPECT_EQ(OneByteValue(std::numeric_limits<float>::infinity()), 255u);
    EXPECT_EQ(OneByteValue(std::nanf("")), 0u);
}

TEST(OutputRecords, FloatsAndByteData) {
    EXPECT_EQ(Record(7, 'D', 2, "1", 1.0f), (Bytes{7, 'D', 0x00, 0x00, 0x80, 0x3F}));
    EXPECT_EQ(Record(7, 'S', 1, "-2", -2.0f), (Bytes{7, 'S', 0x00, 0x00, 0x00, 0xC0}));
    EXPECT_EQ(Record(7, 'D', 32, "AB", 0.0f), (Bytes{7, 'B', 2, 'A', 'B'}));
    // A letter with its own record keeps it for byte data too.
    EXPECT_EQ(Record(7, 'L', 32, "AB", 0.0f), (Bytes{7, 0x28}));
    // Byte data that would not fit the message is cut to the room left.
    const Bytes cut = Record(7, 'D', 32, std::string(200, 'x'), 0.0f, {}, 0.025f, 50);
    ASSERT_EQ(cut.size(), 14u);
    EXPECT_EQ(cut[2], 11u);
    // A record that does not fit is left out rather than written past the buffer.
    EXPECT_TRUE(Record(7, 'D', 2, "1", 1.0f, {}, 0.025f, 60).empty());
}

TEST(OutputRecords, SevenSegmentRecord) {
    const std::vector<std::string> entry = {"\x05N", "2", "sim/x", "1", "4", "2"};
    EXPECT_EQ(Record(5, 'N', 2, "12.34", 12.34f, entry),
              (Bytes{5, 'R', 4, 0x9F, 0x24, 0x0D, 0x99}));
    EXPECT_EQ(Record(5, 'N', 2, "*", 0.0f, entry), (Bytes{5, 'R', 4, 0, 0, 0, 0}));
    // An entry without digit count and position sends nothing.
    EXPECT_TRUE(Record(5, 'N', 2, "1", 1.0f, {"\x05N", "2", "sim/x", "1"}).empty());
}

}  // namespace
