// O entries, their completion, and the output option pass.
#include "config/output_options.h"
#include "config_test_support.h"
#include "simdata/custom_refs.h"

namespace config_test {
namespace {

class OutputTest : public ConfigTest {
  protected:
    int ReadOutputs(const std::string& lines, unsigned int id = 3) {
        return Read("[O]\n" + lines, id);
    }
};

TEST_F(OutputTest, ArduinoTagIsConvertedAndDefaultsAppended) {
    const int b = ReadOutputs("13L 0 sim/cockpit/x\n7 2 sim/cockpit/y\n");
    ASSERT_EQ(OutDrefs[b].size(), 2u);
    EXPECT_EQ(OutDrefs[b][0], (std::vector<std::string>{Tag(13, 'L'), "0", "sim/cockpit/x", "1"}));
    EXPECT_EQ(Arraynum[b][0], 1);
    EXPECT_EQ(Precision[b][0], -1);
    EXPECT_EQ(OutDrefs[b][1][0], Tag(7, 'D'));
    EXPECT_EQ(Precision[b][1], 2);
    EXPECT_EQ(Drefread[b][0], XPLMFindDataRef("sim/cockpit/x"));
    EXPECT_EQ(Type[b][0], 2);
    EXPECT_EQ(Type[b][1], 1);
    EXPECT_EQ(Previous[b], (std::vector<std::string>{"0", "0"}));
    EXPECT_EQ(OutputActive[b], (std::vector<bool>{true, true}));
}

TEST_F(OutputTest, PanelTagStaysAsWritten) {
    const int b = ReadOutputs("13L 0 sim/cockpit/x\n12 -1 sim/x\n", 0);
    EXPECT_EQ(OutDrefs[b][0][0], "13L");
    EXPECT_EQ(Precision[b][0], 0);
    EXPECT_EQ(OutDrefs[b][1][0], "12");
    EXPECT_EQ(Precision[b][1], -1);
}

TEST_F(OutputTest, PrecisionBelowZeroIsLoweredOnArduino) {
    const int b = ReadOutputs("7 -1 sim/x\n8 -2147483648 sim/x\n");
    EXPECT_EQ(Precision[b][0], -2);
    EXPECT_LT(Precision[b][1], -1000);  // no overflow
}

TEST_F(OutputTest, FiveFieldDefaultsByType) {
    const int b = ReadOutputs(
        "9S 0 sim/x 1 0,1\n9P 0 sim/x 1 0,1\n9L 0 sim/x 1 0,1\n9D 0 sim/x 1 0,1\n9l 0 sim/x 1 "
        "0,1\n");
    EXPECT_EQ(OutDrefs[b][0].at(5), "500,2500");
    EXPECT_EQ(OutRange1[b][0], (std::vector<float>{0.0f, 1.0f}));
    EXPECT_EQ(OutRange2[b][0], (std::vector<float>{500.0f, 2500.0f}));
    EXPECT_EQ(OutDrefs[b][1].at(5), "0,255");
    EXPECT_EQ(OutDrefs[b][2].at(5), "0,1");
    EXPECT_EQ(OutRange2[b][2], (std::vector<float>{0.0f, 1.0f}));
    EXPECT_EQ(OutDrefs[b][3].size(), 5u);
    EXPECT_TRUE(OutRange1[b][3].empty());
    EXPECT_TRUE(OutRange2[b][3].empty());
    EXPECT_EQ(OutDrefs[b][4].at(5), "0,1");
}

TEST_F(OutputTest, StepperRangeIsScaledBySteps) {
    const int b = ReadOutputs("4G 0 sim/x 1 0,360 0,1 200\n");
    EXPECT_EQ(OutRange1[b][0], (std::vector<float>{0.0f, 360.0f}));
    ASSERT_EQ(OutRange2[b][0].size(), 2u);
    EXPECT_FLOAT_EQ(OutRange2[b][0][0], 0.0f);
    EXPECT_FLOAT_EQ(OutRange2[b][0][1], 200.0f * 1.0f / 360.0f);
}

TEST_F(OutputTest, NegativeStepsScaleByTheirSize) {
    const int b = ReadOutputs("4G 0 sim/x 1 0,360 0,360 -400\n");
    EXPECT_FLOAT_EQ(OutRange2[b][0][1], 400.0f);
}

TEST_F(OutputTest, SingleItemRanges) {
    const int b = ReadOutputs("5S 0 sim/x 1 0.5 1500\n5L 0 sim/x 1 0.5 100\n");
    EXPECT_EQ(OutRange1[b][0], (std::vector<float>{0.5f}));
    EXPECT_EQ(OutRange2[b][0], (std::vector<float>{0.0f, 1500.0f}));
    EXPECT_EQ(OutRange1[b][1], (std::vector<float>{0.5f}));
    EXPECT_EQ(OutRange2[b][1], (std::vector<float>{100.0f}));
}

TEST_F(OutputTest, RangeListsOfDifferentLengthsGiveNoRanges) {
    const int b = ReadOutputs("5S 0 sim/x 1 0,1 1,2,3\n");
    EXPECT_TRUE(OutRange1[b][0].empty());
    EXPECT_TRUE(OutRange2[b][0].empty());
}

TEST_F(OutputTest, SevenSegmentEntryHasNoRanges) {
    const int b = ReadOutputs("2N 0 sim/x 1 4 2\n");
    ASSERT_EQ(OutDrefs[b].size(), 1u);
    EXPECT_TRUE(OutRange1[b][0].empty());
    EXPECT_TRUE(OutRange2[b][0].empty());
}

TEST_F(OutputTest, RepeatedTagsAreActiveUnlessSelected) {
    int b = ReadOutputs("7L 0 sim/x\n7L 0 sim/y\n");
    EXPECT_EQ(OutputActive[b], (std::vector<bool>{true, true}));
    b = Read("[I]\nB2 O_7L\n[O]\n7L 0 sim/x\n7L 0 sim/y\n7L 0 sim/z\n");
    EXPECT_EQ(OutputActive[b], (std::vector<bool>{true, false, false}));
}

TEST_F(OutputTest, TwoFieldLineIsAnLedModeEntry) {
    const int b = ReadOutputs("7 0 sim/x\n9L E3=1\n8 0 sim/y\n");
    ASSERT_EQ(OutputModeLed[b].size(), 1u);
    EXPECT_EQ(OutputModeLed[b][0], (std::vector<std::string>{Tag(9, 'L'), "E3=1"}));
    ASSERT_EQ(OutDrefs[b].size(), 2u);
    EXPECT_EQ(OutDrefs[b][1][0], Tag(8, 'D'));
    EXPECT_EQ(Drefread[b][1], XPLMFindDataRef("sim/y"));
}

TEST_F(OutputTest, LinesThatCannotBeOutputsAreRejected) {
    std::vector<ConfigNote> notes;
    ConfigDiagnosticsScope scope(notes);
    const int b = ReadOutputs("13L\nxL 0 sim/x\n300L 0 sim/x\n7 0 not_selected\n8 0 sim/y\n");
    ASSERT_EQ(OutDrefs[b].size(), 1u);
    EXPECT_EQ(OutDrefs[b][0][0], Tag(8, 'D'));
    EXPECT_TRUE(OutputModeLed[b].empty());
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Skipped, "without a dataref field", 2));
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Skipped, "does not begin with a pin number", 3));
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Skipped, "does not begin with a pin number", 4));
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Comment, "not selected", 5));
}

TEST_F(OutputTest, ElementCountIsClampedTo1023) {
    const int b =
        ReadOutputs("7 0 sim/arr 5000\n8 0 sim/arr 0\n9 0 sim/arr -3\n10 0 sim/arr 1023\n");
    EXPECT_EQ(Arraynum[b], (std::vector<int>{1023, 1, 1, 1023}));
}

TEST_F(OutputTest, ByteDataLengthIsClampedTo1024) {
    const int b = ReadOutputs("7 4000 sim/bytes\n8 40 sim/bytes\n");
    EXPECT_EQ(Type[b][0], 32);
    EXPECT_EQ(Precision[b][0], 1024);
    EXPECT_EQ(Precision[b][1], 40);
}

TEST_F(OutputTest, UnknownDatarefGivesNullHandleAndNoType) {
    const auto notes = Explain("[O]\n7 0 sim/unknown\n");
    ASSERT_EQ(Drefread[0].size(), 1u);
    EXPECT_EQ(Drefread[0][0], nullptr);
    EXPECT_EQ(Type[0][0], 0);
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Suspect, "not known to the simulator", 2));
}

TEST_F(OutputTest, PanelLineLosesItsCarriageReturn) {
    const int b = ReadPanel("[O]\r\n5S 0 sim/x\r\n");
    ASSERT_EQ(OutDrefs[b].size(), 1u);
    EXPECT_EQ(OutDrefs[b][0][2], "sim/x");
    EXPECT_EQ(Drefread[b][0], XPLMFindDataRef("sim/x"));
}

// 7-segment displays: at most 8 digits, decimal position within them, six fields needed.
TEST_F(OutputTest, SevenSegmentDigitCountAndPointAreClamped) {
    const int b =
        ReadOutputs("2N 0 sim/x 1 12 3\n3N 0 sim/x 1 4 6\n4N 0 sim/x 1 8 8\n5N 0 sim/x 1 4 x\n");
    ASSERT_EQ(OutDrefs[b].size(), 4u);
    EXPECT_EQ(OutDrefs[b][0][4], "8");
    EXPECT_EQ(OutDrefs[b][0][5], "3");
    EXPECT_EQ(OutDrefs[b][1][4], "4");
    EXPECT_EQ(OutDrefs[b][1][5], "4");
    EXPECT_EQ(OutDrefs[b][2][4], "8");
    EXPECT_EQ(OutDrefs[b][2][5], "8");
    EXPECT_EQ(OutDrefs[b][3][5], "0");
}

TEST_F(OutputTest, SevenSegmentEntryWithoutDigitsIsSkipped) {
    std::vector<ConfigNote> notes;
    ConfigDiagnosticsScope scope(notes);
    const int b = ReadOutputs(
        "2N 0 sim/x 1 4\n3N 0 sim/x 1 x 2\n4N 0 sim/x\n6N 0 sim/x 1 0 0\n5N 0 sim/x 1 4 2\n");
    ASSERT_EQ(OutDrefs[b].size(), 1u);
    EXPECT_EQ(OutDrefs[b][0][0], Tag(5, 'N'));
    EXPECT_EQ(SevenSegAdditional[b], std::string(1, char(5)));
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Skipped, "needs six fields", 2));
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Skipped, "digit count 'x'", 3));
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Skipped, "needs six fields", 4));
}

TEST_F(OutputTest, PanelSevenSegmentEntriesAreKeptAsWritten) {
    const int b = ReadOutputs("5N 0 sim/x\n12N 0 sim/x 1 4 2\n", 0);
    ASSERT_EQ(OutDrefs[b].size(), 2u);
    EXPECT_EQ(SevenSegAdditional[b], std::string(1, char(12)));
}

// Option pass: the 7-segment, stepper and LED-port blocks.
TEST_F(OutputTest, SevenSegmentBlock) {
    const int b = ReadOutputs("2N 0 sim/x 1 4 2\n9N 0 sim/x 1 4 2\n");
    EXPECT_EQ(SevenSegAdditional[b], std::string("\x02\x09", 2));
}

TEST_F(OutputTest, StepperBlock) {
    int b = ReadOutputs("4G 0 sim/x 1 0,360 0,1 400\n");
    EXPECT_EQ(StepperAdditional[b], std::string("\x04\x90\x01", 3));
    b = ReadOutputs("4G 0 sim/x 1 0,360 0,1 -400\n");
    EXPECT_EQ(StepperAdditional[b], std::string("\x04\x90\x01", 3));
    b = ReadOutputs("5g 0 sim/x 1 0,360 0,400\n");
    EXPECT_EQ(StepperAdditional[b], std::string("\x05\x90\x01", 3));
    b = ReadOutputs("6G 0 sim/x 1 0,360 0,1 70000\n");
    EXPECT_EQ(StepperAdditional[b], std::string("\x06\xff\xff", 3));
    b = ReadOutputs("6G 0 sim/x 1 0,360\n");
    EXPECT_TRUE(StepperAdditional[b].empty());
}

TEST_F(OutputTest, LedPortBlock) {
    int b = ReadOutputs("5l 0 sim/x\n20l 0 sim/x\n");
    EXPECT_EQ(LedPortData[b].size(), 3u);
    b = ReadOutputs("70l 0 sim/x\n");
    EXPECT_EQ(LedPortData[b].size(), 8u);
    b = ReadOutputs("7 0 sim/x\n12l E2=1\n");
    EXPECT_EQ(LedPortData[b].size(), 2u);
    b = ReadOutputs("7 0 sim/x\n7L 0 sim/y\n");
    EXPECT_TRUE(LedPortData[b].empty());
    EXPECT_TRUE(SevenSegAdditional[b].empty());
    EXPECT_TRUE(StepperAdditional[b].empty());
}

TEST_F(OutputTest, LedPortNumbersOutsideThePortsHaveNoPort) {
    const int b = ReadOutputs("5l 0 sim/x\n20l 0 sim/x\n0l E2=1\n");
    ASSERT_EQ(LedPortData[b].size(), 3u);
    EXPECT_EQ(LedPortOf(b, 1), 0);
    EXPECT_EQ(LedPortOf(b, 8), 0);
    EXPECT_EQ(LedPortOf(b, 9), 1);
    EXPECT_EQ(LedPortOf(b, 24), 2);
    EXPECT_EQ(LedPortOf(b, 25), -1);
    EXPECT_EQ(LedPortOf(b, 0), -1);
    EXPECT_EQ(LedPortOf(b, -3), -1);
    EXPECT_EQ(LedPortOf(b + 1, 1), -1);
    const int c = ReadOutputs("70l 0 sim/x\n");
    EXPECT_EQ(LedPortOf(c, 64), 7);
    EXPECT_EQ(LedPortOf(c, 70), -1);
}

TEST_F(OutputTest, PanelPinsAreReadFromTheTagText) {
    const int b = ReadOutputs("4G 0 sim/x 1 0,360 0,1 400\n17l 0 sim/x\n", 0);
    EXPECT_EQ(StepperAdditional[b], std::string("\x04\x90\x01", 3));
    EXPECT_EQ(LedPortData[b].size(), 3u);
}

TEST_F(OutputTest, OwnDatarefsAreMarkedUsedOnce) {
    InitiateCustom();
    const int b = ReadOutputs(
        "7 0 corvane/altitude_hold_status\n8 0 corvane/altitude_hold_status\n"
        "9 0 corvane/flaps_in_transition\n10 0 corvane/unknown\n");
    EXPECT_EQ(CustomIndices, (std::vector<unsigned int>{1, 0}));
    EXPECT_EQ(Drefread[b][0], XPLMFindDataRef("corvane/altitude_hold_status"));
    EXPECT_NE(Drefread[b][0], nullptr);
    EXPECT_EQ(Drefread[b][3], nullptr);
    UnregisterCustomDrefs();
    Corvane_Drefs.clear();
    Corvane_Commands.clear();
    CustomIndices.clear();
}

TEST_F(OutputTest, SetOutputOptionsIgnoresMissingBoards) {
    SetOutputOptions(4, 1);
    SetOutputOptions(-1, 1);
    EXPECT_EQ(BoardCount(), 0);
}

}  // namespace
}  // namespace config_test
