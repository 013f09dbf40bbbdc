// Value texts of the output pass: the six-digit print, the cut to the output's precision, and
// the mapping by range lists.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "exchange/value_format.h"

namespace {

// Rows of value, precision and the text sent: six significant digits, "0.0" for what would print
// in scientific form, the cut to the precision without rounding, and "-0" cleaned.
TEST(OutputFormat, ValueTexts) {
    const float inf = std::numeric_limits<float>::infinity();
    const struct {
        float value;
        int precision;
        const char* text;
    } rows[] = {
        {1234567.0f, 2, "0.0"},
        {0.00001f, 4, "0.0"},
        {0.0001f, 4, "0.0001"},
        {123456.0f, 2, "123456"},
        {2.5f, 3, "2.5"},
        {3.0f, 3, "3"},
        {1234567.0f, 0, "0."},
        {1234567.0f, -1, "0"},
        {1234.567f, 2, "1234.57"},
        {1234.567f, 1, "1234.5"},
        {1234.567f, 0, "1234."},
        {1234.567f, -1, "1234"},
        {1234.567f, -2, "1230"},
        {1234.567f, -3, "1200"},
        {123456.0f, -3, "123400"},
        {5.0f, -3, "0"},
        {123456.0f, -1, "123456"},
        {0.19999f, 1, "0.1"},
        {-0.0001f, 2, "0.00"},
        {-0.0f, 2, "0"},
        {-0.4f, -1, "0"},
        {-5.0f, -2, "0"},
        {-12.0f, -2, "-10"},
        {-0.25f, 1, "-0.2"},
        {1.5f, 1000000, "1.5"},
        {1.5f, std::numeric_limits<int>::max(), "1.5"},
        {98765.0f, std::numeric_limits<int>::min(), "0"},
        {inf, 2, "0.0"},
        {-inf, 2, "0.0"},
        {std::nanf(""), 2, "0.0"},
    };
    for (const auto& row : rows) {
        std::string text = "prefix:";
        AppendFormattedValue(row.value, row.precision, text);
        EXPECT_EQ(text.substr(7), row.text) << row.value << " " << row.precision;
    }
}

TEST(OutputMapping, StepperTurnScaling) {
    const std::vector<float> turn = {360.0f};
    const std::vector<float> steps = {0.0f, 2048.0f};
    EXPECT_FLOAT_EQ(MapOutputValue(90.0f, turn, steps, true), 512.0f);
    EXPECT_FLOAT_EQ(MapOutputValue(450.0f, turn, steps, true), 512.0f);
    EXPECT_FLOAT_EQ(MapOutputValue(-90.0f, turn, steps, true), -2560.0f);
    // A turn of zero gives no number: sent as zero.
    EXPECT_FLOAT_EQ(MapOutputValue(90.0f, {0.0f}, steps, true), 0.0f);
    // The same lists without the stepper letter are a threshold (0 as its upper end).
    EXPECT_FLOAT_EQ(MapOutputValue(90.0f, turn, steps, false), 1.0f);
}

TEST(OutputMapping, Threshold) {
    const std::vector<float> low = {0.5f};
    const std::vector<float> high = {100.0f};
    EXPECT_FLOAT_EQ(MapOutputValue(0.5f, low, high, false), 1.0f);
    EXPECT_FLOAT_EQ(MapOutputValue(100.0f, low, high, false), 1.0f);
    EXPECT_FLOAT_EQ(MapOutputValue(0.49f, low, high, false), 0.0f);
    EXPECT_FLOAT_EQ(MapOutputValue(100.5f, low, high, false), 0.0f);
    // A reversed pair lights for every value.
    EXPECT_FLOAT_EQ(MapOutputValue(-7.0f, high, low, false), 1.0f);
    // A one-item pair (an 'L' entry with five fields) lights only on its value.
    EXPECT_FLOAT_EQ(MapOutputValue(2.0f, {2.0f}, {2.0f}, false), 1.0f);
    EXPECT_FLOAT_EQ(MapOutputValue(2.5f, {2.0f}, {2.0f}, false), 0.0f);
    EXPECT_FLOAT_EQ(MapOutputValue(std::nanf(""), low, high, false), 0.0f);
}

TEST(OutputMapping, BreakpointTable) {
    const std::vector<float> points = {0.0f, 10.0f};
    const std::vector<float> values = {0.0f, 100.0f};
    EXPECT_FLOAT_EQ(MapOutputValue(2.5f, points, values, false), 25.0f);
    EXPECT_FLOAT_EQ(MapOutputValue(-1.0f, points, values, false), 0.0f);
    EXPECT_FLOAT_EQ(MapOutputValue(50.0f, points, values, false), 100.0f);
    EXPECT_FLOAT_EQ(MapOutputValue(std::numeric_limits<float>::infinity(), points, values, false),
                    100.0f);
    // Three breakpoints, a falling table of values.
    EXPECT_FLOAT_EQ(MapOutputValue(15.0f, {0, 10, 20}, {500, 1000, 0}, false), 500.0f);
    // A table that is not ascending: a value in its gap gives the last value.
    EXPECT_FLOAT_EQ(MapOutputValue(15.0f, {0, 20, 10, 30}, {1, 2, 3, 4}, false), 1.75f);
    EXPECT_FLOAT_EQ(MapOutputValue(25.0f, {0, 20, 10, 15}, {1, 2, 3, 4}, false), 4.0f);
    // A segment of zero width gives its first value instead of dividing by zero.
    EXPECT_FLOAT_EQ(MapOutputValue(5.0f, {5, 5, 10}, {7, 9, 11}, false), 7.0f);
    // Lists of unequal length use the common part.
    EXPECT_FLOAT_EQ(MapOutputValue(5.0f, {0, 10, 20}, {0, 100}, false), 50.0f);
}

TEST(OutputMapping, NoRangesLeaveTheValue) {
    EXPECT_FLOAT_EQ(MapOutputValue(-3.25f, {}, {}, false), -3.25f);
    EXPECT_FLOAT_EQ(MapOutputValue(-3.25f, {}, {}, true), -3.25f);
    // A one-item first list without a second list leaves the value too.
    EXPECT_FLOAT_EQ(MapOutputValue(8.0f, {1.0f}, {}, false), 8.0f);
    EXPECT_FLOAT_EQ(MapOutputValue(8.0f, {1.0f}, {3.0f}, true), 8.0f);
}

}  // namespace
