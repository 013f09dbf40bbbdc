// Odd and random configuration text: the reader never fails and keeps the tables' invariants.
#include <random>

#include "config_test_support.h"

namespace config_test {
namespace {

void ExpectInvariants(int b) {
    ExpectEqualLengths(b);
    EXPECT_EQ(MatrixAdditional[b].size(), 5u);
    EXPECT_EQ(AnalogAdditional[b].size(), 48u);
    EXPECT_LE(LedPortData[b].size(), 8u);
    EXPECT_EQ(StepperAdditional[b].size() % 3, 0u);
    const size_t outputs = OutDrefs[b].size();
    const size_t inputs = Datatags[b].size();
    for (size_t j = 0; j < outputs; ++j) {
        EXPECT_GE(OutDrefs[b][j].size(), 4u);
        EXPECT_GE(Arraynum[b][j], 1);
        EXPECT_LE(Arraynum[b][j], 1023);
        if (OutDevice[b] != 0) {
            EXPECT_EQ(OutDrefs[b][j][0].size(), 2u);
        }
        if (OutDevice[b] != 0 && OutDrefs[b][j][0][1] == 'N') {
            EXPECT_GE(OutDrefs[b][j].size(), 6u);
            const int digits = std::stoi(OutDrefs[b][j][4]);
            EXPECT_GE(digits, 1);
            EXPECT_LE(digits, 8);
            EXPECT_LE(std::stoi(OutDrefs[b][j][5]), digits);
        }
    }
    for (const auto& entry : OutputModeLed[b]) EXPECT_EQ(entry.size(), 2u);
    for (size_t i = 0; i < inputs; ++i) {
        EXPECT_GE(Data[b][i].size(), 2u);
        EXPECT_EQ(InputArrayNum[b][i] < 0,
                  InputDataPointer[b][i] == nullptr);  // internal: no handle
    }
    ASSERT_EQ(InstructionsText.size(), 23u);
    EXPECT_EQ(InstructionsText[13], "   Last message received from device ");
}

TEST_F(ConfigTest, OddLinesAreHandled) {
    const int b = Read(
        "[A]\nB\nB 1 2 3 4 5 6 7\nT\nT D5+ D5+\nS ,\nS D5,-3\nS ,4\nQ\n[I]\n"
        "D5+ sim/x ,\nD5+ sim/x +\nD5+ sim/x -,1,2,3,4\nA sim/x 1 1 1 1 1\nA- sim/x\nA/ sim/x\n"
        "B1 O_\nB2 O\nB3 =\nB4 <\nB5 N\nB6 l\nB7 999999999999L\nE/ sim/x\nD sim/x\n"
        "[O]\n0 0 sim/x\n255L 0 sim/x\n256L 0 sim/x\nL 0 sim/x\n-5L 0 sim/x\n1 2 3 4 5 6 7 8 9\n"
        "3G 0 sim/x 1 , , ,\n4N 0 sim/x 1 99999999999 99999999999\n5l E\n[\n[I\n*\n");
    ExpectInvariants(b);
}

TEST_F(ConfigTest, RandomTextNeverBreaksTheTables) {
    const std::vector<std::string> tokens = {
        "[I]",         "[O]",       "[A]",
        "[X]",         "[",         "*3",
        "@info",       "#",         "B5",
        "D5+",         "d6-",       "b7",
        "A3",          "A",         "A16",
        "A2/30",       "A2+",       "E2/1",
        "e3",          "E",         "13L",
        "7",           "9N",        "4G",
        "5g",          "5l",        "70l",
        "0l",          "12P",       "9S",
        "xL",          "T",         "R",
        "S",           "Q",         "G",
        "L",           "N",         "sim/x",
        "sim/arr",     "sim/bytes", "sim/lights/landing_lights_on",
        "unknown/ref", "O_9N",      "O_",
        "O2_7",        "O-_X5",     "D5<",
        "E3>",         "D5=2",      "not_selected",
        "0.5+,0,10",   ",",         "+",
        "-",           "x",         "99999999999",
        "-400",        "0,1",       "1,2,3",
        "0,360",       "1",         "0",
        "-1",          "4",         "8",
        "12",          "250",       "D5,4",
        "D5",          "\t",        "\r"};
    std::mt19937 random(12345);
    for (int round = 0; round < 300; ++round) {
        std::string text;
        const int lines = 1 + static_cast<int>(random() % 25);
        for (int l = 0; l < lines; ++l) {
            const int count = 1 + static_cast<int>(random() % 8);
            for (int t = 0; t < count; ++t) {
                if (t) text += random() % 5 ? " " : "\t";
                text += tokens[random() % tokens.size()];
            }
            text += "\n";
        }
        std::vector<ConfigNote> notes;
        if (round % 2) ConfigDiagnostics = &notes;
        const bool again = BoardCount() > 0 && random() % 3 == 0;
        const int b = again ? static_cast<int>(random() % BoardCount()) : BoardCount();
        const unsigned int id = static_cast<unsigned int>(random() % 4);
        ReadConfigFile(text, b, id);
        ConfigDiagnostics = nullptr;
        ASSERT_TRUE(BoardExists(b));
        ExpectInvariants(b);
        if (HasFailure()) {
            ADD_FAILURE() << "text:\n" << text;
            break;
        }
    }
}

}  // namespace
}  // namespace config_test
