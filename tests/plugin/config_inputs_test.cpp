// I entries and the input option pass, read through ReadConfigFile.
#include "config/input_options.h"
#include "config_test_support.h"
#include "simdata/custom_refs.h"

namespace config_test {
namespace {

class InputTest : public ConfigTest {
  protected:
    int ReadInputs(const std::string& lines, unsigned int id = 3) {
        return Read("[I]\n" + lines, id);
    }
};

TEST_F(InputTest, CommandEntry) {
    const int b = ReadInputs("B3 sim/lights/landing_lights_on\n");
    ASSERT_EQ(Datatags[b].size(), 1u);
    EXPECT_EQ(InputDataPointer[b][0], XPLMFindCommand("sim/lights/landing_lights_on"));
    EXPECT_EQ(InputArrayNum[b][0], 0);
    EXPECT_FLOAT_EQ(InputDefault[b][0], 1.0f);
    EXPECT_EQ(Contval[b][0], -1);
    EXPECT_EQ(InputDrefTypes[b][0], 0);
    EXPECT_EQ(Mode[b][0], 0);
}

TEST_F(InputTest, HoldCommandIsHeld) {
    if (!CommandIsHold("sim/starters/engage_starter_1"))
        GTEST_SKIP() << "CommandIsHold not implemented";
    const int b = ReadInputs("B3 sim/starters/engage_starter_1\n");
    EXPECT_EQ(Contval[b][0], 1);
}

TEST_F(InputTest, NameThatIsBothCommandAndDatarefIsACommand) {
    const int b = ReadInputs("B3 sim/both/name 1\n");
    EXPECT_EQ(InputArrayNum[b][0], 0);
    EXPECT_EQ(InputDataPointer[b][0], XPLMFindCommand("sim/both/name"));
}

TEST_F(InputTest, SteppingValueList) {
    const int b = ReadInputs("D7 sim/x 0.5+,0,10\nD8 sim/x 0,1,2\nD9 sim/x 2-,1,5\n");
    EXPECT_EQ(InputIncrementDir[b][0], 1);
    EXPECT_FLOAT_EQ(InputDefault[b][0], 0.5f);
    EXPECT_EQ(InputDataRange[b][0], (std::vector<float>{0.0f, 10.0f}));
    EXPECT_EQ(Data[b][0][2], "0.5+,0,10");  // the field keeps its sign
    EXPECT_EQ(InputIncrementDir[b][1], 0);
    EXPECT_FLOAT_EQ(InputDefault[b][1], 0.0f);
    EXPECT_EQ(InputDataRange[b][1], (std::vector<float>{0.0f, 1.0f, 2.0f}));
    EXPECT_EQ(InputIncrementDir[b][2], -1);
    EXPECT_FLOAT_EQ(InputDefault[b][2], 2.0f);
    EXPECT_EQ(InputDataRange[b][2], (std::vector<float>{1.0f, 5.0f}));
    EXPECT_EQ(InputDataPointer[b][0], XPLMFindDataRef("sim/x"));
    EXPECT_EQ(InputDrefTypes[b][0], 2);
}

TEST_F(InputTest, SingleValueAndMissingValue) {
    const int b = ReadInputs("D7 sim/x 3\nD8 sim/x\nD9 sim/arr 1 0\nD10 sim/arr 1 5\n");
    EXPECT_FLOAT_EQ(InputDefault[b][0], 3.0f);
    EXPECT_TRUE(InputDataRange[b][0].empty());
    EXPECT_EQ(InputArrayNum[b][0], 1);
    EXPECT_FLOAT_EQ(InputDefault[b][1], 1.0f);
    EXPECT_EQ(InputArrayNum[b][1], 1);
    EXPECT_EQ(InputArrayNum[b][2], 1);
    EXPECT_EQ(InputArrayNum[b][3], 5);
}

TEST_F(InputTest, IgnitionKeyAtFourIsHeld) {
    const int b = ReadInputs(
        "B7 sim/cockpit2/engine/actuators/ignition_key 4 1\nB8 "
        "sim/cockpit2/engine/actuators/ignition_key 3 1\n");
    EXPECT_EQ(Contval[b][0], 1);
    EXPECT_EQ(Contval[b][1], -1);
}

TEST_F(InputTest, AnalogSettingsGoToTheChannelBytes) {
    int b = ReadInputs("A5 sim/x 0,1 1 250 3 7\n");
    EXPECT_EQ(Byte(AnalogAdditional[b], 15), 102u);
    EXPECT_EQ(Byte(AnalogAdditional[b], 16), 3u);
    EXPECT_EQ(Byte(AnalogAdditional[b], 17), 7u);
    b = ReadInputs("A5 sim/x 0,1 1 60 3 7\nA6 sim/x 0,1 1 40\n");
    EXPECT_EQ(Byte(AnalogAdditional[b], 15), 101u);
    EXPECT_EQ(Byte(AnalogAdditional[b], 18), 40u);
    EXPECT_EQ(Byte(AnalogAdditional[b], 19), 0u);
    EXPECT_EQ(Byte(AnalogAdditional[b], 20), 100u);
}

TEST_F(InputTest, AnalogSettingsOfAMissingOrTooHighChannelAreIgnored) {
    std::vector<ConfigNote> notes;
    ConfigDiagnosticsScope scope(notes);
    const int b =
        ReadInputs("A16 sim/x 0,1 1 40 3 7\nA sim/x 0,1 1 40 3 7\nA99999999999 sim/x 0,1 1 40\n");
    ASSERT_EQ(AnalogAdditional[b].size(), 48u);
    for (size_t n = 0; n < 16; ++n) {
        EXPECT_EQ(Byte(AnalogAdditional[b], 3 * n), 0u);
        EXPECT_EQ(Byte(AnalogAdditional[b], 3 * n + 2), 100u);
    }
    EXPECT_EQ(Datatags[b].size(), 3u);  // the inputs themselves stay
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Skipped, "channel 16 is above 15", 2));
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Skipped, "no channel number", 3));
}

TEST_F(InputTest, AnalogSettingThatDoesNotReadIsZero) {
    const int b = ReadInputs("A5 sim/x 0,1 1 x 3 y\n");
    EXPECT_EQ(Byte(AnalogAdditional[b], 15), 0u);
    EXPECT_EQ(Byte(AnalogAdditional[b], 16), 3u);
    EXPECT_EQ(Byte(AnalogAdditional[b], 17), 0u);
}

TEST_F(InputTest, PinReferenceOnArduinoAndPanel) {
    int b = ReadInputs("B7 13L\n");
    ASSERT_EQ(Data[b][0].size(), 2u);
    EXPECT_EQ(Data[b][0][1], (std::string{13, 'L'}));
    EXPECT_EQ(Contval[b][0], 1);
    EXPECT_EQ(InputArrayNum[b][0], -1);
    EXPECT_EQ(InputDataPointer[b][0], nullptr);
    b = ReadInputs("B7 13L\n", 0);
    EXPECT_EQ(Data[b][0][1], "13L");
    EXPECT_EQ(Contval[b][0], 1);
}

TEST_F(InputTest, UnknownNameEndingInAnLedLetterIsNoPinReference) {
    std::vector<ConfigNote> notes;
    ConfigDiagnosticsScope scope(notes);
    const int b = ReadInputs("B7 sim/cockpit/engine/fuel\n");
    EXPECT_EQ(Data[b][0][1], "sim/cockpit/engine/fuel");
    EXPECT_EQ(Contval[b][0], -1);
    EXPECT_EQ(InputArrayNum[b][0], -1);
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Suspect, "no pin number and letter"));
}

TEST_F(InputTest, OutputSelectingNamesOnArduino) {
    // O_9L names output 9L; both outputs tagged 9L, so only the first starts active.
    int b = Read("[I]\nB1 O_9L\nB2 O9N\n[O]\n9L 0 sim/x\n9L 0 sim/y\n");
    EXPECT_EQ(Data[b][0][1], "O_" + Tag(9, 'L'));
    EXPECT_EQ(Data[b][1][1], "O9N");
    EXPECT_EQ(OutputActive[b], (std::vector<bool>{true, false}));
    // Without the selecting input both are active.
    b = Read("[I]\nB2 O9N\n[O]\n9L 0 sim/x\n9L 0 sim/y\n");
    EXPECT_EQ(OutputActive[b], (std::vector<bool>{true, true}));
}

TEST_F(InputTest, OutputSelectingNameConvertsItsTagAsTheOutputsAre) {
    const int b = Read("[I]\nB1 O_9N\nB2 O2_7\n[O]\n7 0 sim/x\n7 0 sim/y\n");
    EXPECT_EQ(Data[b][0][1], "O_" + Tag(9, 'N'));
    EXPECT_EQ(Data[b][1][1], "O2_" + Tag(7, 'D'));  // a digit-only tag has the type letter D
    EXPECT_EQ(OutputActive[b], (std::vector<bool>{true, false}));
}

TEST_F(InputTest, OutputSelectingNameOnThePanelKeepsItsTag) {
    const int b = ReadPanel("[I]\nB1 O_X5\n[O]\nX5 0 sim/x\nX5 0 sim/y\nX5 0 sim/z\n");
    EXPECT_EQ(Data[b][0][1], "O_X5");
    EXPECT_EQ(OutputActive[b], (std::vector<bool>{true, false, false}));
}

TEST_F(InputTest, TGroupMembersGetNumberedTags) {
    const int b = Read("[A]\nT D5+\n[I]\nD5+ sim/x 1\nD5+ sim/x 2\nD5+ sim/x 3\n");
    EXPECT_EQ(Datatags[b], (std::vector<std::string>{"D5/1+", "D5/2+", "D5/3+"}));
    EXPECT_EQ(Mode[b], (std::vector<int>{31, 0, 0}));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Data[b][i][0], "D5+");
}

TEST_F(InputTest, NotSelectedAndTagOnlyLinesAddNothing) {
    const int b = ReadInputs("B1 not_selected\nB2\nB3 sim/x 1\n");
    ASSERT_EQ(Datatags[b].size(), 1u);
    EXPECT_EQ(Datatags[b][0], "B3");
}

TEST_F(InputTest, SkipItems) {
    const int b = Read("[A]\nS D5,4 D6 D7,x\n[I]\nD5+ sim/x 1\nD6+ sim/x 1\nD7+ sim/x 1\n");
    EXPECT_EQ(InputSkip[b][0], (std::vector<int>{4, 0}));
    EXPECT_TRUE(InputSkip[b][1].empty());  // no comma: no count
    EXPECT_EQ(InputSkip[b][2], (std::vector<int>{0, 0}));
}

TEST_F(InputTest, EncoderPrefixes) {
    const int b = ReadInputs("E2/1 sim/x 1\nE2/2 sim/x 1\nE3 sim/x 1\ne4 sim/x 1\n");
    EXPECT_EQ(Mode[b], (std::vector<int>{1, 0, 1, 1}));
    EXPECT_EQ(Datatags[b][3], "E4");
    EXPECT_EQ(Data[b][3][0], "e4");
}

TEST_F(InputTest, LowerCaseButtonAndDigitalTags) {
    const int b = ReadInputs("d5 sim/x 1\nb6 sim/x 1\n");
    EXPECT_EQ(Datatags[b][0], "D5");
    EXPECT_EQ(Data[b][0][0], "D5");
    EXPECT_EQ(Datatags[b][1], "B6");
}

TEST_F(InputTest, CarriageReturnEndsNoField) {
    const int b = ReadPanel("[I]\r\nB5 sim/x 3\r\n");
    ASSERT_EQ(Datatags[b].size(), 1u);
    EXPECT_EQ(Data[b][0].back(), "3");
    EXPECT_FLOAT_EQ(InputDefault[b][0], 3.0f);
}

// Option pass: pin references.
TEST_F(InputTest, PinReferenceNamesItsOutput) {
    int b = ReadPanel(
        "[I]\nB7 13L\n[O]\n1L 0 sim/x\n2L 0 sim/x\n3L 0 sim/x\n4L 0 sim/x\n13L 0 sim/x\n");
    EXPECT_EQ(InputIncrementDir[b][0], 4);
    b = ReadPanel("[I]\nB7 13L\n[O]\n1L 0 sim/x\n");
    EXPECT_EQ(InputIncrementDir[b][0], -1);
    b = ReadInputs("B7 13L\nB8 O\nB9 x\n");
    EXPECT_EQ(InputIncrementDir[b][0], 32767);
    EXPECT_EQ(InputIncrementDir[b][1], 0);  // one character, but no pin reference
    EXPECT_EQ(InputIncrementDir[b][2], 0);
}

// Option pass: comparison references follow their group leader.
TEST_F(InputTest, ComparisonReferences) {
    const int b = Read(
        "[A]\nT D5+\n[I]\nD5+ sim/x 1\nD5+ sim/x 2\nD5+ sim/x 3\nB1 D5<\nB2 D5=2\nB3 E3>\nE3/1 "
        "sim/x 1\n");
    EXPECT_EQ(Data[b][3][1], "D5<1");
    EXPECT_EQ(Mode[b][3], 0);  // the leader's input index
    EXPECT_EQ(InputIncrementDir[b][3], 3);
    EXPECT_EQ(Data[b][4][1], "D5=2");
    EXPECT_EQ(Mode[b][4], 0);
    EXPECT_EQ(InputIncrementDir[b][4], 0);
    EXPECT_EQ(Data[b][5][1], "E3>1");
    EXPECT_EQ(Mode[b][5], 6);  // E3/1 is the first of its prefix
    EXPECT_EQ(InputIncrementDir[b][5], 1);
}

TEST_F(InputTest, ComparisonReferenceLeaderIsFoundByIndex) {
    const int b = Read("[A]\nT D5+\n[I]\nB9 sim/x 1\nD5+ sim/x 1\nD5+ sim/x 2\nB1 D5>2\n");
    EXPECT_EQ(Mode[b][3], 1);
    EXPECT_EQ(InputIncrementDir[b][3], 2);
}

// Option pass: analog modes.
TEST_F(InputTest, AnalogModesFromTheTag) {
    int b = ReadInputs("A2/5 sim/x\nA2/30 sim/x\n");
    EXPECT_EQ(Byte(AnalogAdditional[b], 6), 157u);
    b = ReadInputs("A2/30 sim/x\nA2/5 sim/x\n");
    EXPECT_EQ(Byte(AnalogAdditional[b], 6), 157u);
    b = ReadInputs("A2 sim/x 0,1 1 250\nA2/5 sim/x\n");
    EXPECT_EQ(Byte(AnalogAdditional[b], 6), 132u);
    b = ReadInputs("A2+ sim/x\n");
    EXPECT_EQ(Byte(AnalogAdditional[b], 6), 1u);
    b = ReadInputs("A2 sim/x 0,1 1 40\n");
    EXPECT_EQ(Byte(AnalogAdditional[b], 6), 40u);
}

TEST_F(InputTest, AnalogModeOfAChannelAbove15OrTooLargeIsBounded) {
    int b = ReadInputs("A20/5 sim/x\nA/5 sim/x\n");
    ASSERT_EQ(AnalogAdditional[b].size(), 48u);
    for (size_t n = 0; n < 16; ++n) EXPECT_EQ(Byte(AnalogAdditional[b], 3 * n), 0u);
    b = ReadInputs("A3/200 sim/x\n");
    EXPECT_EQ(Byte(AnalogAdditional[b], 9), 255u);
}

TEST_F(InputTest, SetInputOptionsIgnoresMissingBoards) {
    SetInputOptions(5);
    SetInputOptions(-1);
    EXPECT_EQ(BoardCount(), 0);
}

}  // namespace
}  // namespace config_test
