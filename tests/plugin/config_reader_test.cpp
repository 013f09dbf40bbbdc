// ReadConfigFile's frame: rows, status lines, the line loop, headers and the A section.
#include <arpa/inet.h>

#include "config_test_support.h"

namespace config_test {
namespace {

sockaddr_in Address(const char* text) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(5080);
    inet_pton(AF_INET, text, &a.sin_addr);
    return a;
}

TEST_F(ConfigTest, EmptyTextGivesACompleteRow) {
    const int b = Read("");
    ASSERT_EQ(BoardCount(), 1);
    EXPECT_TRUE(Datatags[b].empty());
    EXPECT_TRUE(OutDrefs[b].empty());
    EXPECT_EQ(MatrixAdditional[b], std::string(5, char(100)));
    ASSERT_EQ(AnalogAdditional[b].size(), 48u);
    for (size_t n = 0; n < 16; ++n) {
        EXPECT_EQ(Byte(AnalogAdditional[b], 3 * n), 0u);
        EXPECT_EQ(Byte(AnalogAdditional[b], 3 * n + 1), 0u);
        EXPECT_EQ(Byte(AnalogAdditional[b], 3 * n + 2), 100u);
    }
    EXPECT_EQ(StepperCommon[b], 100u);
    EXPECT_EQ(LEDCommon[b], 100u);
    EXPECT_EQ(SevenSegCommon[b], 100u);
    EXPECT_EQ(OutDevice[b], 3u);
    EXPECT_FALSE(AllowOutput[b]);
    EXPECT_FALSE(AllowPing[b]);
    EXPECT_FALSE(LedPortSend[b]);
    EXPECT_TRUE(sendall[b]);
    EXPECT_EQ(allow_output[b], 'w');
    EXPECT_TRUE(SevenSegAdditional[b].empty());
    EXPECT_TRUE(StepperAdditional[b].empty());
    EXPECT_TRUE(LedPortData[b].empty());
}

TEST_F(ConfigTest, HelvanPanelStartsWithOutputsAllowed) {
    const int b = ReadPanel("");
    EXPECT_TRUE(AllowOutput[b]);
    EXPECT_EQ(OutDevice[b], 0u);
}

TEST_F(ConfigTest, LanBoardRowKeepsItsSenderAndLine) {
    serv_addr = Address("192.168.1.20");
    const int b = Read("[I]\nB5 sim/x 1\n", 4);
    EXPECT_EQ(SerialIndex[b], -1);
    EXPECT_EQ(UdpIP[b].sin_addr.s_addr, Address("192.168.1.20").sin_addr.s_addr);
    EXPECT_EQ(BoardLinkName[b], "192.168.1.20");
    EXPECT_EQ(BoardStatusLine[b], 3);
    EXPECT_EQ(DebugAddress, "LAN");
    EXPECT_EQ(message_line_number, 3);
}

TEST_F(ConfigTest, UsbBoardRowKeepsItsPort) {
    ComPortName = {"/dev/cu.usbmodem1", "/dev/cu.usbmodem2"};
    MessageIsSerial = 1;
    SerialCurrent = 1;
    serv_addr = Address("10.0.0.9");  // the last LAN sender is not this board's address
    const int b = Read("");
    EXPECT_EQ(SerialIndex[b], 1);
    EXPECT_EQ(UdpIP[b].sin_addr.s_addr, 0u);
    EXPECT_EQ(UdpIP[b].sin_port, 0u);
    EXPECT_EQ(BoardLinkName[b], "/dev/cu.usbmodem2");
    EXPECT_EQ(DebugAddress, "USB");
    EXPECT_EQ(StatusLine(3), "   1. USB Arduino #3");
}

TEST_F(ConfigTest, StatusLinesOfTheFirstLanBoard) {
    std::string text = "[I]\n";
    for (int k = 0; k < 10; ++k) text += "B" + std::to_string(k + 2) + " sim/x 1\n";
    Read(text, 4);
    EXPECT_EQ(StatusLine(2), "   Connection status - Connected to:");
    EXPECT_EQ(StatusLine(3), "   1. LAN Arduino #4,   10 inputs");
    EXPECT_EQ(StatusLine(4), "   ");  // not scanning
}

TEST_F(ConfigTest, StatusLineCountsOutputsWithLedModeEntries) {
    Read("[I]\nB5 sim/x 1\n[O]\n7 0 sim/x\n8 0 sim/y\n9L E3=1\n");
    EXPECT_EQ(StatusLine(3), "   1. LAN Arduino #3,   1 inputs,   3 outputs");
}

TEST_F(ConfigTest, StatusLineOfAnEmptyHelvanPanel) {
    ReadPanel("[O]\n");
    EXPECT_EQ(StatusLine(3), "   1. LAN Helvan Panel");
}

TEST_F(ConfigTest, ScanningWritesTheSearchLine) {
    ScanTimeout = 300;
    Read("");
    EXPECT_EQ(StatusLine(4), "   scanning...");
    Read("");
    EXPECT_EQ(StatusLine(4), "   2. LAN Arduino #3");
    EXPECT_EQ(StatusLine(5), "   scanning...");
}

TEST_F(ConfigTest, RereadingAnExistingBoardKeepsItsLinkAndRewritesItsOwnLine) {
    ComPortName = {"/dev/cu.usbmodem1"};
    MessageIsSerial = 1;
    SerialCurrent = 0;
    Read("[I]\nB5 sim/x 1\n", 2);  // board 0, USB, line 3
    MessageIsSerial = 0;
    serv_addr = Address("192.168.1.30");
    Read("", 5);  // board 1, LAN, line 4
    ASSERT_EQ(BoardCount(), 2);
    EXPECT_EQ(StatusLine(4), "   2. LAN Arduino #5");

    // Board 0 identifies again while the last message came from the LAN board.
    ReadConfigFile("[I]\nB5 sim/x 1\nB6 sim/x 1\n", 0, 2);
    EXPECT_EQ(BoardCount(), 2);
    EXPECT_EQ(message_line_number, 4);
    EXPECT_EQ(DebugAddress, "LAN");
    EXPECT_EQ(SerialIndex[0], 0);
    EXPECT_EQ(UdpIP[0].sin_addr.s_addr, 0u);
    EXPECT_EQ(BoardLinkName[0], "/dev/cu.usbmodem1");
    EXPECT_EQ(StatusLine(3), "   1. USB Arduino #2,   2 inputs");
    EXPECT_EQ(StatusLine(4), "   2. LAN Arduino #5");
    EXPECT_EQ(Datatags[0].size(), 2u);
}

TEST_F(ConfigTest, ManyBoardsNeverWriteBeyondTheBoardLinesOrIntoLine13) {
    ScanTimeout = 100;
    const std::vector<std::string> before = InstructionsText;
    for (int k = 0; k < 25; ++k) Read("[I]\nB5 sim/x 1\n", 1 + k % 9);
    ASSERT_EQ(InstructionsText.size(), 23u);
    EXPECT_EQ(InstructionsText[13], before[13]);
    EXPECT_EQ(InstructionsText[13].size(), kLastMessageLabel);
    for (int i = 14; i < 23; ++i) EXPECT_EQ(InstructionsText[i], before[i]) << i;
    for (int b = 0; b < 25; ++b) {
        EXPECT_GE(BoardStatusLine[b], 3);
        EXPECT_LE(BoardStatusLine[b], 12);
    }
}

TEST_F(ConfigTest, BoardIndexBeyondTheNextRowIsIgnored) {
    ReadConfigFile("[I]\nB5 sim/x 1\n", 3, 1);
    EXPECT_EQ(BoardCount(), 0);
    ReadConfigFile("", -1, 1);
    EXPECT_EQ(BoardCount(), 0);
}

TEST_F(ConfigTest, TwoCharacterHeaderIsSkippedAndKeepsTheSectionLetter) {
    const int b = Read("[O]\n7 0 sim/x\n[I\n5 2 sim/y\n");
    // 5 2 sim/y is still read as an output entry (tag 5, type 'D'), not as an input.
    EXPECT_TRUE(Datatags[b].empty());
    ASSERT_EQ(OutDrefs[b].size(), 2u);
    EXPECT_EQ(OutDrefs[b][1][0], Tag(5, 'D'));
}

TEST_F(ConfigTest, LinesBeforeTheFirstHeaderCommentsAndShortLinesAreIgnored) {
    const int b = Read(
        "B6 sim/x 1\n[I]\n# B7 sim/x 1\n/ B8 sim/x 1\n! B9 sim/x 1\nB1\n B2 sim/x 1\nB3 sim/x 1\n");
    ASSERT_EQ(Datatags[b].size(), 1u);
    EXPECT_EQ(Datatags[b][0], "B3");
}

TEST_F(ConfigTest, UnknownSectionLettersAreIgnored) {
    const int b = Read("[X]\nB5 sim/x 1\n[I]\nB6 sim/x 1\n[0]\nB7 sim/x 1\n");
    ASSERT_EQ(Datatags[b].size(), 1u);
    EXPECT_EQ(Datatags[b][0], "B6");
}

TEST_F(ConfigTest, AdditionalSettingsSetTheBoardBlocks) {
    const int b = Read("[A]\nB 2 3 4 5 6\nG 7\nL 8\nN 9\nX 1\nG\n");
    EXPECT_EQ(MatrixAdditional[b], std::string("\x02\x03\x04\x05\x06", 5));
    EXPECT_EQ(StepperCommon[b], 7u);
    EXPECT_EQ(LEDCommon[b], 8u);
    EXPECT_EQ(SevenSegCommon[b], 9u);
}

TEST_F(ConfigTest, MatrixEntryWithTooFewNumbersIsIgnored) {
    const int b = Read("[A]\nB 2 3 4 5\n");
    EXPECT_EQ(MatrixAdditional[b], std::string(5, char(100)));
}

TEST_F(ConfigTest, PinSettingThatDoesNotReadIsIgnored) {
    const int b = Read("[A]\nL x\nB 1 2 x 4 5\n");
    EXPECT_EQ(LEDCommon[b], 100u);
    EXPECT_EQ(MatrixAdditional[b], std::string(5, char(100)));
}

TEST_F(ConfigTest, AdditionalSettingsBeforeTheInputsAffectThem) {
    const int b = Read(
        "[A]\nR B5\nQ A3\nT D6+\nS D7,2\n[I]\nB5 sim/x 1\nA3 sim/x\nD6+ sim/x 1\nD6+ sim/x 2\nD7+ "
        "sim/x 1\n");
    EXPECT_EQ(Contval[b][0], 2);
    EXPECT_TRUE(InputSquareLaw[b][1]);
    EXPECT_EQ(Datatags[b][2], "D6/1+");
    EXPECT_EQ(Datatags[b][3], "D6/2+");
    EXPECT_EQ(InputSkip[b][4], (std::vector<int>{2, 0}));
}

TEST_F(ConfigTest, AdditionalSettingsAfterTheInputsDoNotAffectThem) {
    std::vector<ConfigNote> notes;
    ConfigDiagnosticsScope scope(notes);
    const int b = Read(
        "[I]\nB5 sim/x 1\nA3 sim/x\nD6+ sim/x 1\nD7+ sim/x 1\n[A]\nR B5\nQ A3\nT D6+\nS D7,2\n");
    EXPECT_EQ(Contval[b][0], -1);
    EXPECT_FLOAT_EQ(InputDefault[b][1], 1.0f);
    EXPECT_EQ(Datatags[b][2], "D6+");
    EXPECT_TRUE(InputSkip[b][3].empty());
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Suspect, "after the I section", 7));
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Suspect, "matches no input", 7));
}

// A repeated [I] header: its entries are appended, and each is completed as itself.
TEST_F(ConfigTest, RepeatedInputHeaderAppendsAndCompletesTheRightEntries) {
    std::vector<ConfigNote> notes;
    ConfigDiagnosticsScope scope(notes);
    const int b = Read(
        "[A]\nT D5+\n[I]\nD5+ sim/x 1\nB2 sim/lights/landing_lights_on\n[O]\n7 0 sim/y\n"
        "[I]\nD5+ sim/x 2\nB4 sim/z 4\nA2/30 sim/x\n");
    ExpectEqualLengths(b);
    ASSERT_EQ(Datatags[b], (std::vector<std::string>{"D5/1+", "B2", "D5/2+", "B4", "A2/30"}));
    EXPECT_EQ(Mode[b], (std::vector<int>{21, 0, 0, 0, 0}));
    EXPECT_FLOAT_EQ(InputDefault[b][0], 1.0f);
    EXPECT_EQ(InputArrayNum[b][1], 0);  // the command stays a command
    EXPECT_FLOAT_EQ(InputDefault[b][2], 2.0f);
    EXPECT_FLOAT_EQ(InputDefault[b][3], 4.0f);
    EXPECT_EQ(InputArrayNum[b][3], 1);
    EXPECT_EQ(Byte(AnalogAdditional[b], 6), 157u);
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Suspect, "repeated [I] header", 8));
}

// A repeated [O] header: the later outputs get their own precision, element and dataref.
TEST_F(ConfigTest, RepeatedOutputHeaderAppendsAndCompletesTheRightEntries) {
    const int b = Read("[O]\n7 0 sim/x\n9L E3=1\n[I]\nB5 sim/x 1\n[O]\n8 2 sim/arr 3\n9 0 sim/y\n");
    ExpectEqualLengths(b);
    ASSERT_EQ(OutDrefs[b].size(), 3u);
    EXPECT_EQ(OutputModeLed[b].size(), 1u);
    EXPECT_EQ(OutDrefs[b][1][0], Tag(8, 'D'));
    EXPECT_EQ(Precision[b], (std::vector<int>{-1, 2, -1}));
    EXPECT_EQ(Arraynum[b], (std::vector<int>{1, 3, 1}));
    EXPECT_EQ(Drefread[b][1], XPLMFindDataRef("sim/arr"));
    EXPECT_EQ(Type[b][1], 8);
    EXPECT_EQ(Drefread[b][2], XPLMFindDataRef("sim/y"));
}

TEST_F(ConfigTest, ExplainReportsEveryLine) {
    const auto notes = Explain(
        "B6 sim/x 1\n[I]\nB5 sim/x 1\nB7 sim/nothing\nx\n[Z]\nB8 sim/x\n[O]\n13L 0 sim/y\n13L\n");
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Skipped, "before the first section header", 1));
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Entry, "section I", 2));
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Entry, "input 0, tag B5: dataref sim/x", 3));
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Suspect, "becomes an internal input", 4));
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Skipped, "shorter than 3", 5));
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Skipped, "lines below it are ignored", 6));
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Skipped, "ignored section", 7));
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Entry, "output 0, tag 13L: dataref sim/y", 9));
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Skipped, "without a dataref field", 10));
}

TEST_F(ConfigTest, ExplainReportsMissingFieldsAndNumbersThatDoNotRead) {
    const auto notes = Explain(
        "[A]\nB 1 2\nS D7,x D8\n[I]\nB22\nA5 sim/x 0,1 1 x\n[O]\n4G 0 sim/x 1\n"
        "3N 0 sim/x 1 12 2\n5N 0 sim/x 1\n");
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Skipped, "needs five numbers", 2));
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Suspect, "count does not read", 3));
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Skipped, "no tag,count form", 3));
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Skipped, "without a name field", 5));
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Suspect, "does not read; 0 used", 6));
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Suspect, "stepper entry with fewer than six", 8));
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Suspect, "is above 8", 9));
    EXPECT_TRUE(HasNote(notes, ConfigNoteKind::Skipped, "needs six fields", 10));
}

TEST_F(ConfigTest, ReportingIsOffByDefault) {
    EXPECT_EQ(ConfigDiagnostics, nullptr);
    Read("[I]\nB7 sim/nothing\n");  // would be reported; must not crash or collect
    EXPECT_EQ(ConfigDiagnostics, nullptr);
}

TEST_F(ConfigTest, ClearConfigReaderStateEmptiesTheDebugAddress) {
    Read("");
    EXPECT_EQ(DebugAddress, "LAN");
    ClearConfigReaderState();
    EXPECT_EQ(DebugAddress, "");
}

}  // namespace
}  // namespace config_test
