// The output pass over board rows built by hand, with the host's datarefs and the messages caught
// on real sockets: a UDP socket on loopback for LAN boards, a socket pair standing in for the
// serial port of a USB panel.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

#include "exchange/output_pass.h"
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
    "test/fa float[4] rw 1.5,2.5,3.5,4.5\n"
    "test/ia int[3] rw 10,20,30\n"
    "test/big float[2000] rw 1\n"
    "test/text byte[200] rw hello\n";

std::string Bytes(std::initializer_list<int> bytes) {
    std::string text;
    for (int b : bytes) text += static_cast<char>(b);
    return text;
}

class OutputPassTest : public InputsTest {
  protected:
    void SetUp() override {
        InputsTest::SetUp();
        ASSERT_TRUE(xphost::LoadDatarefText(kDatarefs, nullptr));
        OutputMemos.clear();
        savedFrametime_ = frametime;
        frametime = 0.025f;
    }
    void TearDown() override {
        OutputMemos.clear();
        frametime = savedFrametime_;
        InputsTest::TearDown();
    }
    // A LAN board whose messages arrive at a socket of its own; its outputs are allowed.
    int AddLanBoard(unsigned int id, int) {
        receivers_.push_back(std::make_unique<UdpPeer>());
        CreateBoardRow(id, receivers_.back()->address(), -1);
        AllowOutput[BoardCount() - 1] = true;
        return BoardCount() - 1;
    }
    // One output: the tag (two bytes on an Arduino board), its precision and dataref, and
    // further entry fields from field 3 on.
    int AddOutput(int b, const std::string& tag, int precision, const std::string& dataref,
                  int element = 1, std::vector<float> range1 = {}, std::vector<float> range2 = {},
                  std::vector<std::string> more = {}) {
        std::vector<std::string> fields = {tag, std::to_string(precision), dataref,
                                           std::to_string(element)};
        fields.insert(fields.end(), more.begin(), more.end());
        OutDrefs[b].push_back(fields);
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
    std::vector<std::string> Pass(size_t receiver = 0) {
        SendChangedOutputs();
        return receivers_.at(receiver)->Take();
    }
    std::vector<std::unique_ptr<UdpPeer>> receivers_;
    float savedFrametime_ = 30.0f;
};

TEST_F(OutputPassTest, AllOnStateAndBack) {
    const int board = AddLanBoard(2, 45);
    LedPortData[board] = {0, 0};
    LEDCommon[board] = 30;
    AddOutput(board, Bytes({4, 'G'}), 0, "test/f1", 1, {360}, {0, 2048});
    AddOutput(board, Bytes({6, 'P'}), 0, "test/i1");
    AddOutput(board, Bytes({7, 'D'}), 2, "test/f2");
    AddOutput(board, Bytes({8, 'L'}), 0, "test/f2");
    AddOutput(board, Bytes({9, 'N'}), 2, "test/f2", 1, {}, {}, {"2", "1"});
    AddOutput(board, Bytes({3, 'l'}), 0, "test/f2");
    xphost::SetDataref("test/f1", "90");
    Pass();
    Pass();  // the LED port block of the first pass
    // Every output is put into the all-on state; the values change meanwhile.
    OutputAllOn[board].assign(6, true);
    OutputDue[board].assign(6, true);
    xphost::SetDataref("test/f1", "180");
    xphost::SetDataref("test/i1", "9");
    xphost::SetDataref("test/f2", "5");
    std::vector<std::string> on = Pass();
    ASSERT_EQ(on.size(), 1u);
    // The stepper, 'P' and float records carry the values last sent.
    EXPECT_EQ(on[0], Bytes({0x7B, 22, 4, 'G', 0x00, 0x02, 0xC4, 0x09, 6,   'P', 7, 7,
                            'D',  0,  0, 0,   0x40, 8,    0x29, 9,    'R', 2,   0, 0}));
    for (const std::string& previous : Previous[board]) EXPECT_EQ(previous, "*");
    // The port LED is lit in the block of the next message; nothing else changes.
    EXPECT_EQ(Pass(), std::vector<std::string>{Bytes({0x7B, 5, 30, 'R', 2, 0, 0x20})});
    EXPECT_EQ(Pass(), std::vector<std::string>{Bytes({0x7B, 0})});
    // "?" reads the datarefs again.
    OutputAllOn[board].assign(6, false);
    OutputDue[board].assign(6, true);
    std::vector<std::string> back = Pass();
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0], Bytes({0x7B, 22, 4, 'G',  0x00, 0x04, 0xC4, 0x09, 6,   'P', 9,    7,
                              'D',  0,  0, 0xA0, 0x40, 8,    0x28, 9,    'R', 2,   0x48, 0x03}));
    EXPECT_EQ(Pass(), std::vector<std::string>{Bytes({0x7B, 5, 30, 'R', 2, 0, 0})});
}

TEST_F(OutputPassTest, PortLedsOutsideThePortsSetNoBit) {
    const int board = AddLanBoard(2, 46);
    LedPortData[board] = {0, 0};
    LEDCommon[board] = 0x112;  // low 8 bits on the wire
    AddOutput(board, Bytes({9, 'l'}), 0, "test/f1");
    AddOutput(board, Bytes({1, 'l'}), 0, "test/f1");
    AddOutput(board, Bytes({17, 'l'}), 0, "test/f1");
    AddOutput(board, Bytes({0, 'l'}), 0, "test/f1");
    AddOutput(board, Bytes({-100, 'l'}), 0, "test/f1");
    EXPECT_EQ(Pass(), std::vector<std::string>{Bytes({0x7B, 0})});
    EXPECT_EQ(LedPortData[board], (std::vector<uint8_t>{0x80, 0x80}));
    EXPECT_EQ(Pass(), std::vector<std::string>{Bytes({0x7B, 5, 0x12, 'R', 2, 0x80, 0x80})});
    EXPECT_EQ(Pass(), std::vector<std::string>{Bytes({0x7B, 0})});
}

TEST_F(OutputPassTest, ArraysOnBothForms) {
    const int board = AddLanBoard(2, 47);
    AddOutput(board, Bytes({1, 'D'}), 2, "test/fa", 3);
    AddOutput(board, Bytes({2, 'P'}), 0, "test/ia", 2);
    AddOutput(board, Bytes({3, 'P'}), 0, "test/ia", 9);  // beyond the array: 0
    const int panel = AddLanBoard(0, 48);
    AddOutput(panel, "1D", 2, "test/fa", 3);
    AddOutput(panel, "2D", 0, "test/ia", 5);  // beyond the array: 0
    AddOutput(panel, "3D", 2, "test/f1", 3);  // a scalar prints its one value
    AddOutput(panel, "4D", 1, "test/d1", 1);
    SendChangedOutputs();
    EXPECT_EQ(receivers_[0]->Take(),
              std::vector<std::string>{
                  Bytes({0x7B, 12, 1, 'D', 0, 0, 0x60, 0x40, 2, 'P', 20, 3, 'P', 0})});
    EXPECT_EQ(receivers_[1]->Take(),
              std::vector<std::string>{">1D<1.5,2.5,3.5>2D<10,20,30,0,0>3D<1>4D<0.1>"});
    Arraynum[panel][0] = 2;  // the same first reading, fewer elements: a new text
    EXPECT_EQ(Pass(1), std::vector<std::string>{">1D<1.5,2.5>"});
}

TEST_F(OutputPassTest, LongArraysStopAt1023Elements) {
    const int panel = AddLanBoard(0, 49);
    AddOutput(panel, "9D", 0, "test/big", 5000);
    std::vector<std::string> messages = Pass();
    ASSERT_EQ(messages.size(), 1u);
    // The host loads the first element; the others are 0.
    std::string expected = ">9D<1";
    for (int k = 1; k < 1023; ++k) expected += ",0";
    EXPECT_EQ(messages[0], expected + ">");
}

TEST_F(OutputPassTest, ByteDataIsCutToTheMessage) {
    const int board = AddLanBoard(2, 50);
    for (int pin = 1; pin <= 8; ++pin) AddOutput(board, Bytes({pin, 'D'}), 2, "test/f1");
    const std::string text(150, 'x');
    xphost::SetDataref("test/text", text);
    AddOutput(board, Bytes({20, 'D'}), 1000, "test/text");
    EXPECT_EQ(Pass().at(0).size(), 50u);
    std::vector<std::string> messages = Pass();
    ASSERT_EQ(messages.size(), 1u);
    ASSERT_EQ(messages[0].size(), 64u);
    EXPECT_EQ(messages[0].substr(2, 3), Bytes({20, 'B', 59}));
    EXPECT_EQ(messages[0].substr(5), std::string(59, 'x'));
    EXPECT_EQ(Previous[board].back(), text);
    // The panel gets the whole text, up to the bytes asked for.
    const int panel = AddLanBoard(0, 51);
    AddOutput(panel, "T", 5, "test/text");
    AddOutput(panel, "U", -1, "test/text");
    SendChangedOutputs();
    EXPECT_EQ(receivers_[1]->Take(), std::vector<std::string>{">T<xxxxx>U<>"});
}

TEST_F(OutputPassTest, UnreadableOutputsAreSkipped) {
    const int board = AddLanBoard(2, 52);
    AddOutput(board, Bytes({1, 'D'}), 2, "test/missing");
    AddOutput(board, Bytes({2}), 2, "test/f1");  // a tag without its type letter
    EXPECT_EQ(Pass(), std::vector<std::string>{Bytes({0x7B, 0})});
    EXPECT_EQ(Previous[board][0], "0");
    EXPECT_EQ(Previous[board][1], "0");
    // Tables that lost entries are not read past their ends.
    AddOutput(board, Bytes({3, 'D'}), 2, "test/f1");
    Precision[board].pop_back();
    EXPECT_EQ(Pass(), std::vector<std::string>{Bytes({0x7B, 0})});
}

float published = 0.0f;
float ReadPublished(void*) {
    return published;
}

TEST_F(OutputPassTest, NotANumberIsSentAsZero) {
    // Another plug-in's dataref can hand out any float.
    XPLMRegisterDataAccessor("test/odd", xplmType_Float, 0, nullptr, nullptr, ReadPublished,
                             nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                             nullptr, nullptr, nullptr);
    const int board = AddLanBoard(2, 53);
    AddOutput(board, Bytes({1, 'D'}), 2, "test/odd");
    AddOutput(board, Bytes({2, 'G'}), 0, "test/odd");
    AddOutput(board, Bytes({3, 'P'}), 0, "test/odd");
    AddOutput(board, Bytes({4, 'S'}), 0, "test/odd", 1, {0, 10}, {0, 100});
    published = std::nanf("");
    EXPECT_EQ(Pass(),
              std::vector<std::string>{Bytes({0x7B, 21,   1, 'D', 0, 0, 0,   0, 2, 'G', 0, 0,
                                              0xC4, 0x09, 3, 'P', 0, 4, 'S', 0, 0, 0,   0})});
    for (const std::string& previous : Previous[board]) EXPECT_EQ(previous, "0");
    published = std::numeric_limits<float>::infinity();
    // An infinite reading is no number either; through a table it is the table's last value.
    EXPECT_EQ(Pass(), std::vector<std::string>{Bytes({0x7B, 6, 4, 'S', 0, 0, 0xC8, 0x42})});
    published = -std::numeric_limits<float>::infinity();
    EXPECT_EQ(Pass(), std::vector<std::string>{Bytes({0x7B, 6, 4, 'S', 0, 0, 0, 0})});
}

TEST_F(OutputPassTest, PanelTagsAreMappedByTheirTypeLetter) {
    // The panel keeps its tags as written: "12G" is a stepper although its second byte is a
    // digit, "7G" is one as well, "12S" is a threshold.
    const int panel = AddLanBoard(0, 55);
    AddOutput(panel, "12G", 0, "test/f1", 1, {360}, {0, 2048});
    AddOutput(panel, "7G", 0, "test/f1", 1, {360}, {0, 2048});
    AddOutput(panel, "12S", 0, "test/f1", 1, {0.5f}, {100});
    xphost::SetDataref("test/f1", "450");
    EXPECT_EQ(Pass(), std::vector<std::string>{">12G<512>7G<512>12S<0>"});
}

TEST_F(OutputPassTest, UsbPanelGetsTheTextFormOnItsPort) {
    SerialPeer port;
    const int panel = AddSerialBoard(port, 0);
    AllowOutput[panel] = true;
    AddOutput(panel, "5L", 0, "test/f1");
    SendChangedOutputs();
    EXPECT_EQ(port.Take(), ">5L<1>");
    // A serial index without an open port sends nothing and breaks nothing.
    SerialIndex[panel] = 40;
    Previous[panel][0] = "?";
    SendChangedOutputs();
    EXPECT_EQ(port.Take(), "");
}

// A reading that did not change keeps its text, but the text is made again when what it depends
// on changes: the precision, the range lists, the all-on state.
TEST_F(OutputPassTest, UnchangedReadingIsFormattedAgainWhenPrecisionRangesOrMarksChange) {
    const int panel = AddLanBoard(0, 44);
    const int j = AddOutput(panel, "5D", 2, "test/f1");
    xphost::SetDataref("test/f1", "1.234");
    EXPECT_EQ(Pass(), std::vector<std::string>{">5D<1.23>"});
    EXPECT_TRUE(Pass().empty());
    Precision[panel][j] = 0;
    EXPECT_EQ(Pass(), std::vector<std::string>{">5D<1.>"});
    OutRange1[panel][j] = {0, 10};
    OutRange2[panel][j] = {0, 100};
    EXPECT_EQ(Pass(), std::vector<std::string>{">5D<12.>"});
    OutRange2[panel][j] = {0, 1000};
    EXPECT_EQ(Pass(), std::vector<std::string>{">5D<123.>"});
    EXPECT_TRUE(Pass().empty());
    OutputAllOn[panel][j] = OutputDue[panel][j] = true;
    EXPECT_EQ(Pass(), std::vector<std::string>{">5D<*>"});
    EXPECT_TRUE(Pass().empty());
    OutputAllOn[panel][j] = false;
    OutputDue[panel][j] = true;
    EXPECT_EQ(Pass(), std::vector<std::string>{">5D<123.>"});
    // A new reading whose text is the same sends nothing.
    xphost::SetDataref("test/f1", "1.2345");
    EXPECT_TRUE(Pass().empty());
}

}  // namespace
}  // namespace corvane_inputs_test
