// Byte encodings of the output records: 7-segment patterns with their options, port LEDs, the
// LED port block, steppers, one-byte values, floats and byte data.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "exchange/output_records.h"
#include "exchange/seven_segment.h"

namespace {

using Bytes = std::vector<unsigned int>;
// What a record that is left out gives (nothing appended and false returned), and an entry
// without digit count or position.
const Bytes kLeftOut = {256};

// Rows of value text (its number is the value), digit count, decimal position, options and the
// segment bytes.
TEST(SevenSegment, PatternsPointsOptionsAndEntryFields) {
    const std::tuple<const char*, unsigned int, unsigned int, const char*, Bytes> rows[] = {
        {"12.34", 4, 2, "", {0x9F, 0x24, 0x0D, 0x99}},
        {"12.34", 4, 2, "r", {0x99, 0x0D, 0x24, 0x9F}},
        // Without a decimal position the integer part stands right-aligned without the fraction.
        {"12.34", 4, 0, "", {0xFF, 0xFF, 0x9F, 0x25}},
        {"12.34", 4, 0, "r", {0x25, 0x9F, 0xFF, 0xFF}},
        {"123459", 4, 0, "", {0x0D, 0x99, 0x49, 0x09}},
        // An integer part longer than the position moves the point (without "d").
        {"123.4", 4, 2, "", {0x9F, 0x25, 0x0C, 0x99}},
        {"-1.5", 4, 3, "", {0xFF, 0xFD, 0x9E, 0x49}},
        // "d": 12345 on five digits with the point after the third reads 123.45.
        {"12345", 5, 3, "d", {0x9F, 0x25, 0x0C, 0x99, 0x49}},
        {"1234.5", 5, 3, "d", {0x9F, 0x25, 0x0C, 0x99, 0x49}},
        {"5.2", 4, 3, "z", {0x03, 0x03, 0x48, 0x25}},  // leading zeros
        {"5.2", 4, 3, "", {0xFF, 0xFF, 0x48, 0x25}},
        // "f": no lone leading zero, the point stays lit on the blank digit.
        {"0.5", 2, 1, "f", {0xFE, 0x49}},
        {"0.5", 2, 1, "", {0x02, 0x49}},
        // "e": dashes for exactly zero, only then.
        {"0", 3, 0, "e", {0xFD, 0xFD, 0xFD}},
        {"0.0", 3, 2, "e", {0xFD, 0xFC, 0xFD}},
        {"1", 3, 0, "e", {0xFF, 0xFF, 0x9F}},
        // "c": common anode, every byte inverted.
        {"12.34", 4, 2, "c", {0x60, 0xDB, 0xF2, 0x66}},
        // Letters that are no options change nothing (a carriage return ends the last field).
        {"12.34", 4, 2, "xq\r", {0x9F, 0x24, 0x0D, 0x99}},
        {"*", 3, 1, "", {0x00, 0x00, 0x00}},
        {"*", 3, 1, "c", {0xFF, 0xFF, 0xFF}},
        // At most 8 digits; a position beyond the digit count means none.
        {"1", 12, 0, "", {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x9F}},
        {"12.5", 3, 9, "", {0xFF, 0x9F, 0x25}},
        {"12", 0, 0, "", {}},
        // Text that is no number (byte data) shows blanks for the unknown characters.
        {"ab", 2, 0, "", {0xFF, 0xFF}},
        {"", 2, 0, "", {0xFF, 0xFF}},
        {".5", 2, 1, "", {0x48, 0x03}},     // pieces, as SplitBy gives them
        {"1.2.3", 2, 1, "", {0x9E, 0x25}},  // the third piece is not read
    };
    for (const auto& [text, digits, point, options, segments] : rows) {
        unsigned char out[kMaxSevenSegDigits] = {};
        const unsigned int n =
            EncodeSevenSegment(text, std::strtof(text, nullptr), digits, point, options, out);
        EXPECT_EQ(Bytes(out, out + n), segments) << text << " " << options;
    }
    // An entry gives the digit count and position in fields 4 and 5, the options in field 6.
    const auto encode = [](std::vector<std::string> fields) {
        unsigned char out[kMaxSevenSegDigits];
        fields.insert(fields.begin(), {"\x05N", "2", "sim/x", "1"});
        const int n = EncodeSevenSegmentEntry(fields, "12.34", 12.34f, out);
        return n < 0 ? kLeftOut : Bytes(out, out + n);
    };
    EXPECT_EQ(encode({"4", "2\r"}), (Bytes{0x9F, 0x24, 0x0D, 0x99}));
    EXPECT_EQ(encode({"4", "2", "r"}), (Bytes{0x99, 0x0D, 0x24, 0x9F}));
    for (const auto& fields : {std::vector<std::string>{"4"}, {"x", "2"}, {"-4", "2"}})
        EXPECT_EQ(encode(fields), kLeftOut) << fields[0];
    // Every digit is read, without overflow.
    EXPECT_EQ(encode({"+100000000000000000000000", "2"}).size(), 8u);
    EXPECT_EQ(encode({"9", "0"}).size(), 8u);  // a count of 9 reads, and is cut to 8
}

// Rows of letter, type, value text (its number is the value), frame period, bytes already in the
// 64-byte buffer, and the record appended (a record that fills the buffer exactly goes in it); then
// the port LEDs and their block.
TEST(OutputRecords, EveryKindOfRecord) {
    const std::vector<std::string> entry = {"\x05N", "2", "sim/x", "1", "4", "2"};
    const auto record = [&](char letter, int type, const std::string& text, float frameTime,
                            int start, const std::vector<std::string>& fields) {
        char buffer[64] = {};
        int length = start;
        if (!AppendOutputRecord(7, letter, type, text, std::strtof(text.c_str(), nullptr), fields,
                                frameTime, buffer, length, 64))
            return length == start ? kLeftOut : Bytes{};
        const unsigned char* bytes = reinterpret_cast<unsigned char*>(buffer);
        return Bytes(bytes + start, bytes + length);
    };
    const std::tuple<char, int, std::string, float, int, Bytes> rows[] = {
        // 511.5 rounds half up to 512; 0.02 s is 2000 units of 10 us, at most 32760.
        {'G', 2, "511.5", 0.02f, 0, {7, 'G', 0x00, 0x02, 0xD0, 0x07}},
        {'g', 2, "1", 0.5f, 0, {7, 'G', 0x01, 0x00, 0xF8, 0x7F}},
        {'G', 2, "-2560", 0.025f, 58, {7, 'G', 0x00, 0xF6, 0xC4, 0x09}},
        {'G', 2, "65537", 0.0f, 0, {7, 'G', 0x01, 0x00, 0, 0}},
        {'G', 2, "3e9", -1.0f, 0, {7, 'G', 0x00, 0x5E, 0, 0}},
        {'G', 2, "nan", std::strtof("nan", nullptr), 0, {7, 'G', 0, 0, 0, 0}},
        {'P', 2, "inf", 0.025f, 61, {7, 'P', 255}},
        {'P', 2, "nan", 0.025f, 0, {7, 'P', 0}},
        {'L', 32, "AB", 0.025f, 0, {7, 0x28}},  // a letter with its own record keeps it
        // Byte data is cut to the room left; other records that do not fit are left out.
        {'D', 32, std::string(200, 'x'), 0.025f, 59, {7, 'B', 2, 'x', 'x'}},
        {'D', 32, "AB", 0.025f, 62, kLeftOut},
        {'D', 2, "1", 0.025f, 58, {7, 'D', 0x00, 0x00, 0x80, 0x3F}},
        {'D', 2, "1", 0.025f, 59, kLeftOut},
        {'G', 2, "1", 0.025f, 59, kLeftOut},
        {'P', 2, "1", 0.025f, 62, kLeftOut},
        {'L', 2, "1", 0.025f, 62, {7, 0x29}},
        {'L', 2, "1", 0.025f, 63, kLeftOut},
        {'N', 2, "1", 0.025f, 58, kLeftOut},
    };
    for (const auto& [letter, type, text, frameTime, start, bytes] : rows)
        EXPECT_EQ(record(letter, type, text, frameTime, start, entry), bytes)
            << letter << " " << text << " at " << start;
    // An entry without digit count and position sends nothing.
    EXPECT_EQ(record('N', 2, "1", 0.025f, 0, {"\x05N", "2", "sim/x", "1"}), kLeftOut);
    // A display of no digits fills the last three bytes.
    EXPECT_EQ(record('N', 2, "1", 0.025f, 61, {"\x05N", "2", "sim/x", "1", "0", "0"}),
              (Bytes{7, 'R', 0}));
    // Port LEDs: bit 7 of the first port is LED 1.
    std::vector<uint8_t> ports(2, 0);
    for (int n : {1, 8, 9}) EXPECT_TRUE(SetPortLed(ports, n, true));
    EXPECT_TRUE(SetPortLed(ports, 1, false));
    // LED numbers outside the ports address nothing.
    for (int n : {0, -3, 17}) EXPECT_FALSE(SetPortLed(ports, n, true));
    EXPECT_EQ(ports, (std::vector<uint8_t>{0x01, 0x80}));
    ports.clear();
    EXPECT_FALSE(SetPortLed(ports, 1, true));
    // More than eight ports (tables that were not built by the option pass) stop at eight.
    char buffer[64];
    int length = 0;
    AppendLedPortBlock(9, std::vector<uint8_t>(20, 0xAA), buffer, length, 64);
    EXPECT_EQ(length, 11);
}

}  // namespace
