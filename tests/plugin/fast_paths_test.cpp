// The flight loop's fast paths give what the plain definitions give: value texts printed as the
// default output stream prints them (then cut to the precision), value tokens read as the input
// stream reads them, and an output whose reading did not change keeps the text it had.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "exchange/input_dispatch.h"
#include "exchange/value_format.h"
#include "inputs_fixture.h"
#include "simdata/apply_input.h"

namespace corvane_inputs_test {
namespace {

// The text of a value as its definition says: the default stream print of the value widened to
// double, "0.0" for scientific notation, the cut to L = point + 1 + precision characters (with
// zeros for negative precisions below -1), and no sign on a text that reads back as zero.
std::string Reference(float v, int precision) {
    std::ostringstream oss;
    oss << static_cast<double>(v);
    std::string text = oss.str();
    if (text.find('e') != std::string::npos) text = "0.0";
    const size_t point = text.find('.');
    const long long d = point == std::string::npos ? static_cast<long long>(text.size())
                                                   : static_cast<long long>(point);
    const long long keep = d + 1 + precision;
    if (keep < static_cast<long long>(text.size())) {
        if (keep <= 0) {
            text = "0";
        } else {
            text = text.substr(0, static_cast<size_t>(keep));
            if (precision < -1) text += std::string(static_cast<size_t>(-1 - precision), '0');
        }
    }
    if (!text.empty() && text[0] == '-' && std::strtod(text.c_str(), nullptr) == 0.0)
        text.erase(0, 1);
    return text;
}

std::string Formatted(float v, int precision) {
    std::string text;
    AppendFormattedValue(v, precision, text);
    return text;
}

TEST(FastPaths, ValueTextsAreTheStreamsPrintCutToThePrecision) {
    std::mt19937 rng(7);
    int checked = 0;
    for (int n = 0; n < 200000; ++n) {
        float v = 0;
        if (n % 2 == 0) {
            const uint32_t bits = rng();
            std::memcpy(&v, &bits, sizeof v);
        } else {
            v = static_cast<float>(static_cast<int>(rng() % 2000001) - 1000000) /
                static_cast<float>(1u << (rng() % 16));
        }
        if (!std::isfinite(v)) continue;
        const int precision = static_cast<int>(rng() % 9) - 4;
        ASSERT_EQ(Formatted(v, precision), Reference(v, precision))
            << "value " << v << " precision " << precision;
        ++checked;
    }
    EXPECT_GT(checked, 150000);
    for (float v : {0.0f, -0.0f, 0.0001f, -0.0001f, 0.00001f, 123456.0f, 999999.5f, 1e6f, -5.0f})
        for (int precision = -4; precision <= 4; ++precision)
            EXPECT_EQ(Formatted(v, precision), Reference(v, precision)) << v << " " << precision;
}

// What the input stream makes of a value token: its float, or nothing (the message is ignored).
bool StreamValue(const std::string& token, float* value) {
    std::istringstream in(token);
    float parsed = 0;
    if (!(in >> parsed) || !std::isfinite(parsed)) return false;
    *value = parsed;
    return true;
}

class FastValueTokens : public InputsTest {};

TEST_F(FastValueTokens, ValueMessagesWriteWhatTheStreamReads) {
    CreateBoardRow(3, sockaddr_in{}, -1);
    Entry e;
    e.tag = "D5";
    e.dataref = "sim/test/float";
    AddInput(0, e);
    const std::vector<std::string> tokens = {"12.5",
                                             "-12.5",
                                             "+3",
                                             "0",
                                             "-0",
                                             "007",
                                             "1.",
                                             ".5",
                                             "-.25",
                                             "118.25",
                                             "123456789012",
                                             "3.4028234",
                                             "0.1",
                                             "0.30000001",
                                             "-99999999999999999999",
                                             "12.5abc",
                                             "1e3",
                                             "1e",
                                             "0x10",
                                             "inf",
                                             "nan",
                                             "--1",
                                             "+-1",
                                             "1e400",
                                             "1e-50",
                                             ".",
                                             "-",
                                             "abc",
                                             "1,5",
                                             "\v7",
                                             "7\r",
                                             "5.5.5"};
    for (const std::string& token : tokens) {
        ASSERT_TRUE(xphost::SetDataref("sim/test/float", "-777"));
        tag = {"D5", token};
        WriteToXPlane(0, 0, 1, 1);
        float expected = 0;
        const double got = xphost::GetNumber("sim/test/float");
        if (StreamValue(token, &expected))
            EXPECT_EQ(static_cast<float>(got), expected) << "token '" << token << "'";
        else
            EXPECT_EQ(got, -777.0) << "token '" << token << "' should be ignored";
    }
    std::mt19937 rng(11);
    for (int n = 0; n < 20000; ++n) {
        std::string token = (rng() % 2) ? "-" : "";
        token += std::to_string(rng() % 1000000);
        if (rng() % 2) token += "." + std::to_string(rng() % 100000);
        tag = {"D5", token};
        WriteToXPlane(0, 0, 1, 1);
        float expected = 0;
        ASSERT_TRUE(StreamValue(token, &expected));
        ASSERT_EQ(static_cast<float>(xphost::GetNumber("sim/test/float")), expected) << token;
    }
}

}  // namespace
}  // namespace corvane_inputs_test
