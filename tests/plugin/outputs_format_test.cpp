// Value texts of the output pass: the six-digit print, the cut to the output's precision, and
// the mapping by range lists.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "exchange/value_format.h"

namespace {

const float inf = std::numeric_limits<float>::infinity();

// Rows of value, precision and the text sent: six significant digits, values of a million and
// more with all their digits and small ones in fixed notation, the cut to the precision without
// rounding, and "-0" cleaned; then the mapping of values by range lists.
TEST(OutputFormat, ValueTextsAndMapping) {
    const std::tuple<float, int, const char*> rows[] = {
        {1234567.0f, 2, "1234567"},
        {2e6f, -1, "2000000"},
        {1234567.5f, 0, "1234567."},
        {999999.5f, 1, "999999.5"},  // six digits round it up to a million
        {1e20f, -3, "100000002004087734200"},
        {-3.4e38f, 0, "-339999995214436424907732413799364296704"},
        {0.00001f, 4, "0.0000"},
        {-1.234567e-5f, 9, "-0.000012345"},
        {-1.234567e-5f, -2, "0"},
        {1.401298e-45f, 2, "0.00"},
        {0.0001234f, 12, "0.0001234"},
        {0.0001f, 4, "0.0001"},
        {123456.0f, 2, "123456"},
        {2.5f, 3, "2.5"},
        {3.0f, 3, "3"},
        {1234.567f, 2, "1234.57"},
        {1234.567f, 1, "1234.5"},
        {1234.567f, 0, "1234."},
        {1234.567f, -1, "1234"},
        {1234.567f, -2, "1230"},
        {123456.0f, -3, "123400"},
        {5.0f, -3, "0"},
        {123456.0f, -1, "123456"},
        {0.19999f, 1, "0.1"},
        {-0.0001f, 2, "0.00"},
        {-0.0f, 2, "0"},
        {-0.4f, -1, "0"},
        {-5.0f, -2, "0"},
        {-12.0f, -2, "-10"},
        {-12.0f, -3, "0"},  // no digit left: zero, as for 12
        {12.0f, -3, "0"},
        {-123.0f, -3, "-100"},
        {-0.5f, -1, "0"},
        {-0.25f, 1, "-0.2"},
        {1.5f, std::numeric_limits<int>::max(), "1.5"},
        {98765.0f, std::numeric_limits<int>::min(), "0"},
        {inf, 2, "0.0"},
        {std::nanf(""), 2, "0.0"}};
    for (const auto& [value, precision, expected] : rows) {
        std::string text = "prefix:";
        AppendFormattedValue(value, precision, text);
        EXPECT_EQ(text.substr(7), expected) << value << " " << precision;
    }
    // Rows of value, the two range lists, whether the output is a stepper, and the value sent.
    using L = std::vector<float>;
    const std::tuple<float, L, L, bool, float> mappings[] = {
        // A stepper's turn scaled to its steps; a turn of zero gives no number, sent as zero.
        {90, {360}, {0, 2048}, true, 512},
        {360, {360}, {0, 2048}, true, 0},  // a whole turn is none
        {450, {360}, {0, 2048}, true, 512},
        {-90, {360}, {0, 2048}, true, -2560},
        {90, {0}, {0, 2048}, true, 0},
        {0, {360}, {0, 2048}, true, 0},  // zero is no negative result
        // The same lists without the stepper letter are a threshold (0 as its upper end).
        {90, {360}, {0, 2048}, false, 1},
        {0.5f, {0.5f}, {100}, false, 1},
        {100, {0.5f}, {100}, false, 1},
        {0.49f, {0.5f}, {100}, false, 0},
        {100.5f, {0.5f}, {100}, false, 0},
        {-7, {100}, {0.5f}, false, 1},  // a reversed pair lights for every value
        {2, {2}, {2}, false, 1},        // a one-item pair lights only on its value
        {2.5f, {2}, {2}, false, 0},
        {std::nanf(""), {0.5f}, {100}, false, 0},
        // Breakpoint tables.
        {2.5f, {0, 10}, {0, 100}, false, 25},
        {0, {0, 10}, {0, 100}, false, 0},
        {-1, {0, 10}, {0, 100}, false, 0},
        {50, {0, 10}, {0, 100}, false, 100},
        {inf, {0, 10}, {0, 100}, false, 100},
        {15, {0, 10, 20}, {500, 1000, 0}, false, 500},
        // A table that is not ascending: a value in its gap gives the last value.
        {15, {0, 20, 10, 30}, {1, 2, 3, 4}, false, 1.75f},
        {25, {0, 20, 10, 15}, {1, 2, 3, 4}, false, 4},
        {5, {5, 5, 10}, {7, 9, 11}, false, 7},  // a zero-width segment: its first value
        {5, {0, 10, 20}, {0, 100}, false, 50},  // unequal lists: their common part
        {5, {0, 10, 20}, {7}, false, 7},        // one value in common: that value
        {5, {0, 10}, {}, false, 5},             // none in common: the value stays
        {-3.25f, {}, {}, false, -3.25f},        // no ranges leave the value
        {-3.25f, {}, {}, true, -3.25f},
        {8, {1}, {}, false, 8},  // a one-item first list without a second leaves it too
        {8, {1}, {3}, true, 8},
    };
    for (const auto& [value, first, second, stepper, mapped] : mappings)
        EXPECT_FLOAT_EQ(MapOutputValue(value, first, second, stepper), mapped)
            << value << " over " << first.size() << "/" << second.size();
}

// Every value whose decimal exponent is from -4 to 5 prints its six significant digits exactly as
// printf's %g does, halves rounded to even, zeros and the largest and smallest such values
// included; the cut then applies to that text.
TEST(OutputFormat, SixDigitTextsAreThoseOfPrintf) {
    std::vector<float> values = {0.0001f,     0.00010000001f, 0.000099999f, 999999.0f,
                                 999999.5f,   999999.4f,      99999.95f,    9.999995f,
                                 0.00999999f, 123456.5f,      123457.5f,    1.5f,
                                 2.5f,        0.125f,         100000.0f,    65536.0f};
    uint32_t seed = 12345;
    for (int n = 0; n < 200000; ++n) {
        seed = seed * 1664525u + 1013904223u;
        const float scale = std::ldexp(1.0f, static_cast<int>(seed % 37) - 15);
        const float value = static_cast<float>(seed >> 9) / 8388608.0f * scale;
        values.push_back(n % 2 ? -value : value);
        values.push_back(static_cast<float>(static_cast<int>(seed % 2000000)) / 2.0f);
    }
    // A text that reads back as zero loses its sign.
    const auto unsigned_zero = [](std::string text) {
        if (text[0] == '-' && text.find_first_not_of("0.", 1) == std::string::npos)
            text.erase(0, 1);
        return text;
    };
    for (const float value : values) {
        char printed[64];
        std::snprintf(printed, sizeof printed, "%g", static_cast<double>(value));
        if (std::strchr(printed, 'e') != nullptr) continue;
        std::string text;
        AppendFormattedValue(value, 40, text);
        ASSERT_EQ(text, unsigned_zero(printed)) << value;
        text.clear();
        AppendFormattedValue(value, 1, text);
        const char* point = std::strchr(printed, '.');
        const size_t kept = point && std::strlen(point) > 2
                                ? static_cast<size_t>(point + 2 - printed)
                                : std::strlen(printed);
        ASSERT_EQ(text, unsigned_zero(std::string(printed, kept))) << value;
    }
}

}  // namespace
