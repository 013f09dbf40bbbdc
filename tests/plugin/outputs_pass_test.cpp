// The output pass over board rows built by hand, with the host's datarefs and the messages caught
// on real sockets: a UDP socket on loopback for LAN boards, a socket pair standing in for the
// serial port of a USB panel.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <tuple>

#include "exchange/output_pass.h"
#include "exchange/output_trials.h"
#include "exchange/output_value.h"
#include "inputs_fixture.h"
#include "simdata/sim_time.h"

namespace corvane_inputs_test {
namespace {

const char* const kDatarefs =
    "test/f1 float rw 1\n"
    "test/f2 float rw 2\n"
    "test/i1 int rw 7\n"
    "test/d1 double rw 0.1\n"
    "test/dmax double rw 3.4028234663852886e38\n"   // exactly the largest float
    "test/dmin double rw -3.4028234663852886e38\n"  // and the lowest
    "test/fa float[4] rw 1.5,2.5,3.5,4.5\n"
    "test/ia int[3] rw 10,20,30\n"
    "test/big float[2000] rw 1\n"
    "test/text byte[200] rw hello\n";

std::string Bytes(std::initializer_list<int> bytes) {
    std::string text;
    for (int b : bytes) text += static_cast<char>(b);
    return text;
}
using Messages = std::vector<std::string>;

class OutputPassTest : public InputsTest {
  protected:
    void SetUp() override {
        InputsTest::SetUp();
        ASSERT_TRUE(xphost::LoadDatarefText(kDatarefs, nullptr));
        OutputMemos.clear();
        frametime = 0.025f;
    }
    void TearDown() override {
        OutputMemos.clear();
        frametime = savedFrametime_;
        InputsTest::TearDown();
    }
    // A LAN board (id 0: the panel) whose messages arrive at a socket of its own; its outputs are
    // allowed.
    int AddLanBoard(unsigned int id) {
        receivers_.push_back(std::make_unique<UdpPeer>());
        CreateBoardRow(id, receivers_.back()->address(), -1);
        AllowOutput[BoardCount() - 1] = true;
        return BoardCount() - 1;
    }
    // One output: the tag (two bytes on an Arduino board), its precision, dataref, element and
    // ranges; its entry gives a display two digits with the point after the first.
    int AddOutput(int b, const std::string& tag, int precision, const std::string& dataref,
                  int element = 1, std::vector<float> range1 = {}, std::vector<float> range2 = {}) {
        OutDrefs[b].push_back(
            {tag, std::to_string(precision), dataref, std::to_string(element), "2", "1"});
        OutputActive[b].push_back(true);
        XPLMDataRef ref = XPLMFindDataRef(dataref.c_str());
        Drefread[b].push_back(ref);
        Type[b].push_back(XPLMGetDataRefTypes(ref));
        Arraynum[b].push_back(element);
        Precision[b].push_back(precision);
        Previous[b].push_back("0");
        OutRange1[b].push_back(range1);
        OutRange2[b].push_back(range2);
        return static_cast<int>(OutDrefs[b].size()) - 1;
    }
    // One output pass; the messages the board's socket received.
    Messages Pass(size_t receiver = 0) {
        SendChangedOutputs();
        return receivers_.at(receiver)->Take();
    }
    std::vector<std::unique_ptr<UdpPeer>> receivers_;
    const float savedFrametime_ = frametime;
};

// A board whose row of one table is missing (tables out of step) gets nothing; the pass reads no
// table past its end. The first "cut" leaves the tables whole: that board gets its record.
TEST_F(OutputPassTest, BoardMissingARowOfATableGetsNothing) {
#define CUT(table) [] { table.pop_back(); }
    void (*const cuts[])() = {nullptr,          CUT(AllowOutput),  CUT(OutDevice), CUT(sendall),
                              CUT(LedPortSend), CUT(LedPortData),  CUT(LEDCommon), CUT(UdpIP),
                              CUT(SerialIndex), CUT(OutputActive), CUT(Drefread),  CUT(Type),
                              CUT(Arraynum),    CUT(Precision),    CUT(Previous),  CUT(OutRange1),
                              CUT(OutRange2)};
#undef CUT
    for (const auto cut : cuts) {
        TearDown();
        SetUp();
        AddOutput(AddLanBoard(2), Bytes({7, 'D'}), 2, "test/f2");
        if (cut) cut();
        EXPECT_EQ(Pass(receivers_.size() - 1).size(), cut ? 0u : 1u);
    }
}

// Every output, port LEDs included, put into the all-on state and back; the records carry the
// values last sent meanwhile, and the LED port block follows in the next message.
TEST_F(OutputPassTest, AllOnStateAndBack) {
    const int board = AddLanBoard(2);
    LedPortData[board] = {0, 0};
    LEDCommon[board] = 0x11E;  // low 8 bits on the wire
    AddOutput(board, Bytes({4, 'G'}), 0, "test/f1", 1, {360}, {0, 2048});
    AddOutput(board, Bytes({6, 'P'}), 0, "test/i1");
    AddOutput(board, Bytes({7, 'D'}), 2, "test/f2");
    AddOutput(board, Bytes({8, 'L'}), 0, "test/f2");
    AddOutput(board, Bytes({9, 'N'}), 2, "test/f2");
    // Port LED 3, and LED numbers outside the two ports, which set no bit.
    for (int pin : {3, 0, 17, -100}) AddOutput(board, Bytes({pin, 'l'}), 0, "test/f2");
    xphost::SetDataref("test/f1", "90");
    EXPECT_EQ(Pass(),
              Messages{Bytes({0x7B, 22, 4, 'G', 0x00, 0x02, 0xC4, 0x09, 6,   'P', 7,    7,
                              'D',  0,  0, 0,   0x40, 8,    0x28, 9,    'R', 2,   0x24, 0x03})});
    EXPECT_EQ(Pass(), Messages{Bytes({0x7B, 5, 0x1E, 'R', 2, 0, 0})});
    OutputAllOn[board].assign(9, true);
    OutputDue[board].assign(9, true);
    xphost::SetDataref("test/f1", "180");
    xphost::SetDataref("test/i1", "9");
    xphost::SetDataref("test/f2", "5");
    EXPECT_EQ(Pass(), Messages{Bytes({0x7B, 22, 4, 'G', 0x00, 0x02, 0xC4, 0x09, 6,   'P', 7, 7,
                                      'D',  0,  0, 0,   0x40, 8,    0x29, 9,    'R', 2,   0, 0})});
    EXPECT_EQ(Pass(), Messages{Bytes({0x7B, 5, 0x1E, 'R', 2, 0, 0x20})});
    EXPECT_EQ(Pass(), Messages{Bytes({0x7B, 0})});
    // "?" reads the datarefs again.
    OutputAllOn[board].assign(9, false);
    OutputDue[board].assign(9, true);
    EXPECT_EQ(Pass(),
              Messages{Bytes({0x7B, 22, 4, 'G',  0x00, 0x04, 0xC4, 0x09, 6,   'P', 9,    7,
                              'D',  0,  0, 0xA0, 0x40, 8,    0x28, 9,    'R', 2,   0x48, 0x03})});
    EXPECT_EQ(Pass(), Messages{Bytes({0x7B, 5, 0x1E, 'R', 2, 0, 0})});
    // A board configured anew has been sent nothing yet: its all-on records carry 0.
    sendall[board] = true;
    OutputAllOn[board].assign(9, true);
    EXPECT_EQ(Pass(), Messages{Bytes({0x7B, 22, 4, 'G', 0, 0, 0xC4, 0x09, 6,   'P', 0, 7,
                                      'D',  0,  0, 0,   0, 8, 0x29, 9,    'R', 2,   0, 0})});
}

// A board gets one element of an array, a panel the elements up to the element number (at most
// 1023); elements the dataref does not have are 0.
TEST_F(OutputPassTest, ArraysOnBothForms) {
    const int board = AddLanBoard(2);
    AddOutput(board, Bytes({1, 'D'}), 2, "test/fa", 3);
    AddOutput(board, Bytes({2, 'P'}), 0, "test/ia", 2);
    AddOutput(board, Bytes({3, 'P'}), 0, "test/ia", 9);
    AddOutput(board, Bytes({4, 'D'}), 0, "test/dmax");
    AddOutput(board, Bytes({4, 'D'}), 0, "test/f1");  // choices of a selection that are not active
    OutputActive[board].back() = false;
    const int panel = AddLanBoard(0);
    AddOutput(panel, "1D", 2, "test/fa", 3);
    AddOutput(panel, "2D", 0, "test/ia", 5);
    AddOutput(panel, "3D", 2, "test/f1", 3);  // a scalar prints its one value
    AddOutput(panel, "4D", 1, "test/d1");
    AddOutput(panel, "5D", 0, "test/i1");
    AddOutput(panel, "T", 3, "test/text");  // byte data: the whole text, up to the bytes asked for
    AddOutput(panel, "U", -1, "test/text");
    AddOutput(panel, "9D", 0, "test/big", 5000);  // the host loads the first element
    AddOutput(panel, "6D", 0, "test/dmin");
    AddOutput(panel, "6D", 0, "test/f1");
    OutputActive[panel].back() = false;
    AddOutput(panel, "7D", 1, "test/fa", 6);  // elements past the dataref's end read 0
    SendChangedOutputs();
    EXPECT_EQ(receivers_[0]->Take(),
              Messages{Bytes({0x7B, 18, 1,   'D', 0, 0,   0x60, 0x40, 2,    'P',
                              20,   3,  'P', 0,   4, 'D', 0xFF, 0xFF, 0x7F, 0x7F})});
    std::string big = ">9D<1";
    for (int k = 1; k < 1023; ++k) big += ",0";
    EXPECT_EQ(receivers_[1]->Take(),
              Messages{">1D<1.5,2.5,3.5>2D<10,20,30,0,0>3D<1>4D<0.1>5D<7>T<hel>U<" + big +
                       ">6D<-340282346638528859811704183484516925440>7D<1.5,2.5,3.5,4.5,0,0>"});
    Arraynum[panel][0] = 1;  // the same first reading, fewer elements: a new text
    EXPECT_EQ(Pass(1), Messages{">1D<1.5>"});
}

TEST_F(OutputPassTest, ByteDataIsCutToTheMessage) {
    const int board = AddLanBoard(2);
    for (int pin = 1; pin <= 8; ++pin) AddOutput(board, Bytes({pin, 'D'}), 2, "test/f1");
    const std::string text(150, 'x');
    xphost::SetDataref("test/text", text);
    AddOutput(board, Bytes({20, 'D'}), 1000, "test/text");
    // A text that does not fit behind other records begins the next message, cut to it; alone in
    // its pass it is cut at once.
    EXPECT_EQ(Pass().at(0).size(), 50u);
    EXPECT_EQ(Pass(), Messages{Bytes({0x7B, 62, 20, 'B', 59}) + std::string(59, 'x')});
    EXPECT_EQ(Pass(), Messages{Bytes({0x7B, 0})});  // the whole text counts as sent
    xphost::SetDataref("test/text", std::string(150, 'y'));
    EXPECT_EQ(Pass(), Messages{Bytes({0x7B, 62, 20, 'B', 59}) + std::string(59, 'y')});
    // A text that fills a message alone waits behind a due LED port block for the next one.
    xphost::SetDataref("test/text", std::string(59, 'z'));
    AddOutput(board, Bytes({21, 'D'}), 2, "test/f1");  // not reached before the last pass below
    LedPortData[board] = {0x80};
    LedPortSend[board] = true;
    EXPECT_EQ(Pass(), Messages{Bytes({0x7B, 4, 100, 'R', 1, 0x80})});
    EXPECT_EQ(Pass(), Messages{Bytes({0x7B, 62, 20, 'B', 59}) + std::string(59, 'z')});
    // So it does behind a pass that stopped at its length just before it.
    xphost::SetDataref("test/f1", "2");
    xphost::SetDataref("test/text", std::string(59, 'w'));
    EXPECT_EQ(Pass().at(0).size(), 56u);  // pins 21 and 1 to 8
    LedPortSend[board] = true;
    EXPECT_EQ(Pass(), Messages{Bytes({0x7B, 4, 100, 'R', 1, 0x80})});
    EXPECT_EQ(Pass(), Messages{Bytes({0x7B, 62, 20, 'B', 59}) + std::string(59, 'w')});
}

// A pass stops once its message is past 51 bytes; the next one begins with the output after the
// last one sent, before the outputs sent earlier.
TEST_F(OutputPassTest, StoppedPassGoesOnBehindTheLastOutputSent) {
    const int board = AddLanBoard(2);
    for (int pin = 1; pin <= 7; ++pin) AddOutput(board, Bytes({pin, 'D'}), 2, "test/f1");
    for (int pin : {11, 12}) AddOutput(board, Bytes({pin, 'L'}), 0, "test/f1");
    AddOutput(board, Bytes({8, 'P'}), 0, "test/f1");
    AddOutput(board, Bytes({9, 'D'}), 2, "test/f2");
    AddOutput(board, Bytes({10, 'D'}), 2, "test/f1");
    // 51 bytes after the P record (2 + 7 * 6 + 2 * 2 + 3) go on to one more record.
    EXPECT_EQ(Pass().at(0).size(), 57u);
    xphost::SetDataref("test/f2", "3");
    EXPECT_EQ(Pass(),
              Messages{Bytes({0x7B, 12, 10, 'D', 0, 0, 0x80, 0x3F, 9, 'D', 0, 0, 0x40, 0x40})});
}

// Each output under test shows its test's text; the others their datarefs' values.
TEST_F(OutputPassTest, EveryOutputUnderTestShowsItsText) {
    const int panel = AddLanBoard(0);
    for (const char* tag : {"1D", "2D", "3D"}) AddOutput(panel, tag, 0, "test/i1");
    ASSERT_TRUE(StartOutputTrial(panel, 2, "5", 9) && StartOutputTrial(panel, 1, "4", 9));
    EXPECT_EQ(Pass(), Messages{">1D<7>2D<4>3D<5>"});
    OutputTrials.clear();
}

float published = 0.0f;
float ReadPublished(void*) {
    return published;
}

TEST_F(OutputPassTest, UnreadableOutputsAreSkippedAndNotANumberIsSentAsZero) {
    // Another plug-in's dataref can hand out any float.
    XPLMRegisterDataAccessor("test/odd", xplmType_Float, 0, nullptr, nullptr, ReadPublished,
                             nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                             nullptr, nullptr, nullptr);
    const int board = AddLanBoard(2);
    AddOutput(board, Bytes({1, 'D'}), 2, "test/odd");
    AddOutput(board, Bytes({2, 'G'}), 0, "test/odd");
    AddOutput(board, Bytes({3, 'P'}), 0, "test/odd");
    AddOutput(board, Bytes({4, 'S'}), 0, "test/odd", 1, {0, 10}, {0, 100});
    AddOutput(board, Bytes({5, 'D'}), 2, "test/missing");
    AddOutput(board, Bytes({6}), 2, "test/f1");  // a tag without its type letter
    // Tables that lost entries are not read past their ends.
    AddOutput(board, Bytes({7, 'D'}), 2, "test/f1");
    Precision[board].pop_back();
    published = std::nanf("");
    EXPECT_EQ(Pass(), Messages{Bytes({0x7B, 21,   1, 'D', 0, 0, 0,   0, 2, 'G', 0, 0,
                                      0xC4, 0x09, 3, 'P', 0, 4, 'S', 0, 0, 0,   0})});
    // An infinite reading is no number either; through a table it is the table's last value.
    published = std::numeric_limits<float>::infinity();
    EXPECT_EQ(Pass(), Messages{Bytes({0x7B, 6, 4, 'S', 0, 0, 0xC8, 0x42})});
    published = -std::numeric_limits<float>::infinity();
    EXPECT_EQ(Pass(), Messages{Bytes({0x7B, 6, 4, 'S', 0, 0, 0, 0})});
}

// A USB panel gets the text form on its port. The panel keeps its tags as written: "12G" is a
// stepper although its second byte is a digit, "7G" is one as well, "12S" is a threshold.
TEST_F(OutputPassTest, UsbPanelGetsTheTextFormOnItsPort) {
    SerialPeer port;
    const int panel = AddSerialBoard(port, 0);
    AllowOutput[panel] = true;
    AddOutput(panel, "12G", 0, "test/f1", 1, {360}, {0, 2048});
    AddOutput(panel, "7G", 0, "test/f1", 1, {360}, {0, 2048});
    AddOutput(panel, "12S", 0, "test/f1", 1, {0.5f}, {100});
    AddOutput(panel, "5L", 0, "test/f1");
    xphost::SetDataref("test/f1", "450");
    SendChangedOutputs();
    EXPECT_EQ(port.Take(), ">12G<512>7G<512>12S<0>5L<450>");
    // A serial index without an open port sends nothing and breaks nothing.
    SerialIndex[panel] = 40;
    Previous[panel][0] = "?";
    SendChangedOutputs();
    EXPECT_EQ(port.Take(), "");
}

// A reading that did not change keeps its text, but the text is made again when what it depends
// on changes: the all-on state, and with the board's configuration read again the precision, the
// range lists (one taken away counts although the other keeps its values) and the letter (one
// item of each list is a threshold, for a stepper a turn).
TEST_F(OutputPassTest, UnchangedReadingIsFormattedAgainWhenItsEntryOrMarksChange) {
    const int panel = AddLanBoard(0);
    xphost::SetDataref("test/f1", "1.234");
    // Each entry: its tag, precision, range lists and the text it sends.
    const std::tuple<const char*, int, std::vector<float>, std::vector<float>, const char*>
        entries[] = {{"5D", 2, {}, {}, ">5D<1.23>"},
                     {"5D", 0, {}, {}, ">5D<1.>"},
                     {"5D", 0, {0, 10}, {0, 100}, ">5D<12.>"},
                     {"5D", 0, {0, 10}, {}, ">5D<1.>"},
                     {"5D", 0, {360}, {0, 2048}, ">5D<1>"},
                     {"5G", 0, {360}, {0, 2048}, ">5G<7.>"},
                     {"5D", 0, {0, 10}, {0, 1000}, ">5D<123.>"}};
    int j = 0;
    for (const auto& [tag, precision, range1, range2, sent] : entries) {
        ResetBoardRow(panel, 0);
        j = AddOutput(panel, tag, precision, "test/f1", 1, range1, range2);
        EXPECT_EQ(Pass(), Messages{sent});
        EXPECT_TRUE(Pass().empty()) << sent;
    }
    OutputAllOn[panel][j] = OutputDue[panel][j] = true;
    EXPECT_EQ(Pass(), Messages{">5D<*>"});
    EXPECT_TRUE(Pass().empty());
    OutputAllOn[panel][j] = false;
    OutputDue[panel][j] = true;
    EXPECT_EQ(Pass(), Messages{">5D<123.>"});
    // A new reading whose text is the same sends nothing.
    xphost::SetDataref("test/f1", "1.2345");
    EXPECT_TRUE(Pass().empty());
}

}  // namespace
}  // namespace corvane_inputs_test
