// Output messages from the plug-in, sent over loopback UDP and decoded into the board's state:
// every record kind of the byte form, mode messages, and the panel's text form.
#include <gtest/gtest.h>

#include <memory>

#include "boardsim/peers.h"

using boardsim::Board;
using boardsim::Options;
using boardsim_test::Bytes;
using boardsim_test::FloatBytes;
using boardsim_test::Frame;
using boardsim_test::PollUntil;
using boardsim_test::UdpPeer;

namespace {

class OutputFramesTest : public ::testing::Test {
  protected:
    static constexpr const char* kAddress = "127.0.0.31";

    void Start(const std::string& configSection = "", int ledPortPin = -1) {
        Options o;
        o.lanAddress = kAddress;
        o.pluginPort = plugin_.port();
        o.configSection = configSection;
        o.ledPortPin = ledPortPin;
        board_ = std::make_unique<Board>(o);
        ASSERT_TRUE(board_->ok()) << board_->error();
    }
    // Sends one message and waits until the board has handled it.
    void Deliver(const std::string& bytes) {
        int before = board_->frameCount();
        ASSERT_TRUE(plugin_.SendTo(kAddress, board_->port(), bytes));
        ASSERT_TRUE(PollUntil(*board_, [&] { return board_->frameCount() > before; }));
    }

    UdpPeer plugin_;
    std::unique_ptr<Board> board_;
};

TEST_F(OutputFramesTest, LedRecordsSwitchLeds) {
    Start();
    Deliver(Frame(Bytes({13, 0x29, 14, 0x28, 15, 0x29})));
    EXPECT_EQ(board_->leds(), (std::map<int, bool>{{13, true}, {14, false}, {15, true}}));
    Deliver(Frame(Bytes({13, 0x28, 16, 0x29})));
    EXPECT_FALSE(board_->leds().at(13));
    EXPECT_TRUE(board_->leds().at(16));
    EXPECT_EQ(board_->log().back(), "frame L13=off L16=on");
}

TEST_F(OutputFramesTest, SevenSegmentBytesReadBackAsDigitsWithPoints) {
    Start();
    // 12.34 on four digits, the point on the second digit.
    Deliver(Frame(Bytes({5, 'R', 4, 0x9F, 0x24, 0x0D, 0x99})));
    EXPECT_EQ(board_->displays().at(5), "12.34");
    // 12 right-aligned behind two blanks.
    Deliver(Frame(Bytes({6, 'R', 4, 0xFF, 0xFF, 0x9F, 0x25})));
    EXPECT_EQ(board_->displays().at(6), "  12");
    // A lone point and 5.
    Deliver(Frame(Bytes({7, 'R', 2, 0xFE, 0x49})));
    EXPECT_EQ(board_->displays().at(7), " .5");
    // Dashes, and every digit of the table.
    Deliver(Frame(Bytes({8, 'R', 3, 0xFD, 0xFD, 0xFD})));
    EXPECT_EQ(board_->displays().at(8), "---");
    Deliver(Frame(Bytes({9, 'R', 10, 0x03, 0x9F, 0x25, 0x0D, 0x99, 0x49, 0x41, 0x1F, 0x01, 0x09})));
    EXPECT_EQ(board_->displays().at(9), "0123456789");
    // All segments and points lit.
    Deliver(Frame(Bytes({10, 'R', 3, 0x00, 0x00, 0x00})));
    EXPECT_EQ(board_->displays().at(10), "8.8.8.");
    // An unknown pattern shows as '?'.
    Deliver(Frame(Bytes({11, 'R', 2, 0x9F, 0x55})));
    EXPECT_EQ(board_->displays().at(11), "1?");
    EXPECT_EQ(board_->log().back(), "frame N11=\"1?\"");
}

TEST_F(OutputFramesTest, CommonAnodeBytesAreRecognisedWithoutConfiguration) {
    Start();
    Deliver(Frame(Bytes({5, 'R', 3, 0x9F ^ 0xFF, 0x24 ^ 0xFF, 0x0D ^ 0xFF})));
    EXPECT_EQ(board_->displays().at(5), "12.3");
}

TEST_F(OutputFramesTest, DisplayOptionsOfTheConfigurationAreUndone) {
    Start("[O]\n5N 2 sim/a 1 4 2 r\n6N 2 sim/b 1 4 2 rc\n7N 0 sim/c 1 2 1 c\n");
    // 12.34 sent reversed.
    Deliver(Frame(Bytes({5, 'R', 4, 0x99, 0x0D, 0x24, 0x9F})));
    EXPECT_EQ(board_->displays().at(5), "12.34");
    // Reversed and inverted.
    Deliver(Frame(Bytes({6, 'R', 4, 0x99 ^ 0xFF, 0x0D ^ 0xFF, 0x24 ^ 0xFF, 0x9F ^ 0xFF})));
    EXPECT_EQ(board_->displays().at(6), "12.34");
    // Inverted blanks read as blanks, not as lit segments.
    Deliver(Frame(Bytes({7, 'R', 2, 0x00, 0x49 ^ 0xFF})));
    EXPECT_EQ(board_->displays().at(7), " 5");
}

TEST_F(OutputFramesTest, StepperRecordsGiveTargetAndTime) {
    Start();
    Deliver(Frame(Bytes({4, 'G', 0x00, 0x02, 0xD0, 0x07})));
    EXPECT_EQ(board_->steppers().at(4), std::make_pair(512, 2000));
    Deliver(Frame(Bytes({4, 'G', 0x00, 0xF6, 0xF8, 0x7F})));
    EXPECT_EQ(board_->steppers().at(4), std::make_pair(-2560, 32760));
    EXPECT_EQ(board_->log().back(), "frame G4=(-2560,32760)");
}

TEST_F(OutputFramesTest, PwmFloatAndTextRecords) {
    Start();
    Deliver(Frame(Bytes({9, 'P', 0x2C}) + Bytes({7, 'D', 0x00, 0x00, 0x80, 0x3F}) +
                  Bytes({3, 'S'}) + FloatBytes(1500.0f) + Bytes({12, 'B', 3, 'a', 'b', 'c'})));
    EXPECT_EQ(board_->pwm().at(9), 44);
    EXPECT_FLOAT_EQ(board_->floats().at(7), 1.0f);
    EXPECT_FLOAT_EQ(board_->floats().at(3), 1500.0f);
    EXPECT_EQ(board_->texts().at(12), "abc");
    EXPECT_EQ(board_->log().back(), "frame P9=44 D7=1 S3=1500 B12=\"abc\"");
}

TEST_F(OutputFramesTest, LedPortBlockIsNumberedFromItsHighBit) {
    Start();
    // Two ports, last port first: port 1 has bit 7 (LED 9), port 0 has bit 0 (LED 8).
    Deliver(Frame(Bytes({100, 'R', 2, 0x80, 0x01})));
    std::map<int, bool> leds = board_->portLeds();
    ASSERT_EQ(leds.size(), 16u);
    EXPECT_TRUE(leds.at(9));
    EXPECT_TRUE(leds.at(8));
    EXPECT_FALSE(leds.at(1));
    EXPECT_FALSE(leds.at(16));
    EXPECT_EQ(board_->ledPorts(), (std::vector<int>{0x01, 0x80}));
    EXPECT_TRUE(board_->displays().empty()) << "the port block is no display";
    // LED 1 is bit 7 of port 0.
    Deliver(Frame(Bytes({100, 'R', 1, 0x80})));
    EXPECT_TRUE(board_->portLeds().at(1));
    EXPECT_FALSE(board_->portLeds().at(8));
}

TEST_F(OutputFramesTest, LedPortPinComesFromTheConfiguration) {
    Start("[A]\nL 40\n[O]\n3l 0 sim/x\n");
    Deliver(Frame(Bytes({40, 'R', 1, 0x40, 13, 0x29})));
    EXPECT_TRUE(board_->portLeds().at(2));
    EXPECT_TRUE(board_->displays().empty());
    EXPECT_TRUE(board_->leds().at(13));
    // A display record on the port pin anywhere but first is a display.
    Deliver(Frame(Bytes({13, 0x28, 40, 'R', 1, 0x9F})));
    EXPECT_EQ(board_->displays().at(40), "1");
}

TEST_F(OutputFramesTest, LedPortPinCanBeGivenDirectly) {
    Start("", 22);
    Deliver(Frame(Bytes({22, 'R', 1, 0x01})));
    EXPECT_TRUE(board_->portLeds().at(8));
    Deliver(Frame(Bytes({100, 'R', 1, 0x9F})));
    EXPECT_EQ(board_->displays().at(100), "1");
}

TEST_F(OutputFramesTest, OneFrameCarriesEveryRecordKind) {
    Start();
    Deliver(Frame(Bytes({100, 'R', 1, 0x80}) + Bytes({13, 0x29}) + Bytes({5, 'R', 2, 0x9F, 0x25}) +
                  Bytes({4, 'G', 0x00, 0x02, 0xD0, 0x07}) + Bytes({9, 'P', 200}) + Bytes({7, 'D'}) +
                  FloatBytes(-2.5f)));
    EXPECT_TRUE(board_->portLeds().at(1));
    EXPECT_TRUE(board_->leds().at(13));
    EXPECT_EQ(board_->displays().at(5), "12");
    EXPECT_EQ(board_->steppers().at(4), std::make_pair(512, 2000));
    EXPECT_EQ(board_->pwm().at(9), 200);
    EXPECT_FLOAT_EQ(board_->floats().at(7), -2.5f);
    EXPECT_EQ(board_->modes().size(), 0u) << "a frame of several records is no mode message";
    std::string state = board_->StateText();
    EXPECT_NE(state.find("leds: 13=on"), std::string::npos) << state;
    EXPECT_NE(state.find("displays: 5=\"12\""), std::string::npos) << state;
    EXPECT_NE(state.find("steppers: 4=(512,2000)"), std::string::npos) << state;
    EXPECT_NE(state.find("pwm: 9=200"), std::string::npos) << state;
    EXPECT_NE(state.find("floats: 7=-2.5"), std::string::npos) << state;
    EXPECT_NE(state.find("port-leds: 1=on 2=off"), std::string::npos) << state;
}

TEST_F(OutputFramesTest, TheLongestFrameIsDecodedWhole) {
    Start();
    // Nine 6-byte records take the message to 56 bytes.
    std::string body;
    for (int pin = 1; pin <= 9; ++pin) body += Bytes({pin, 'G', pin, 0, 0x10, 0x00});
    Deliver(Frame(body));
    ASSERT_EQ(board_->steppers().size(), 9u);
    EXPECT_EQ(board_->steppers().at(9), std::make_pair(9, 16));
    EXPECT_EQ(board_->received().back().size(), 56u);
}

TEST_F(OutputFramesTest, BrokenFramesAreReportedNotGuessed) {
    Start();
    Deliver(Bytes({'{', 5, 13, 0x29}));  // the length byte promises more
    EXPECT_NE(board_->log().back().find("bad frame"), std::string::npos) << board_->log().back();
    Deliver(Frame(Bytes({4, 'G', 0x00, 0x02})));  // a cut stepper record
    EXPECT_NE(board_->log().back().find("cut 'G' record"), std::string::npos);
    EXPECT_TRUE(board_->steppers().empty());
    Deliver(Frame(Bytes({13, 0x29, 7})));  // a stray byte
    EXPECT_TRUE(board_->leds().at(13)) << "the complete records still count";
    EXPECT_NE(board_->log().back().find("stray byte"), std::string::npos);
}

TEST_F(OutputFramesTest, EmptyFramesAreCountedButNotKept) {
    Start();
    Deliver(Bytes({'{', 0}));
    Deliver(Bytes({'{', 0}));
    EXPECT_EQ(board_->frameCount(), 2);
    EXPECT_EQ(board_->emptyFrameCount(), 2);
    EXPECT_TRUE(board_->received().empty());
    EXPECT_TRUE(board_->log().empty());

    Options o;
    o.lanAddress = "127.0.0.32";
    o.pluginPort = plugin_.port();
    o.recordEmptyFrames = true;
    Board keeping(o);
    ASSERT_TRUE(keeping.ok()) << keeping.error();
    ASSERT_TRUE(plugin_.SendTo("127.0.0.32", keeping.port(), Bytes({'{', 0})));
    ASSERT_TRUE(PollUntil(keeping, [&] { return keeping.frameCount() == 1; }));
    ASSERT_EQ(keeping.received().size(), 1u);
    EXPECT_EQ(keeping.received()[0], Bytes({'{', 0}));
    EXPECT_EQ(keeping.log()[0], "frame (empty)");
}

TEST_F(OutputFramesTest, ModeMessagesWithoutConfigurationAreReadBothWays) {
    Start();
    Deliver(Bytes({'{', 2, 13, ')'}));
    EXPECT_EQ(board_->modes().at(13), "on");
    EXPECT_TRUE(board_->leds().at(13));
    Deliver(Bytes({'{', 6, 14, 'M'}) + FloatBytes(2.0f));
    EXPECT_EQ(board_->modes().at(14), "M 2");
    EXPECT_FLOAT_EQ(board_->floats().at(14), 2.0f);
    EXPECT_EQ(board_->modeCount(), 2);
    EXPECT_EQ(board_->log().back(), "frame (or mode) M14=2");
}

TEST_F(OutputFramesTest, ModeMessagesAreToldApartWithTheConfiguration) {
    Start("[O]\n13L E3=1\n14M E3=2\n20L 0 sim/x\n");
    Deliver(Bytes({'{', 2, 13, '('}));
    EXPECT_EQ(board_->modes().at(13), "off");
    EXPECT_FALSE(board_->leds().at(13)) << "a mode LED is a real LED";
    EXPECT_EQ(board_->log().back(), "mode L13=off");
    Deliver(Bytes({'{', 6, 14, 'M'}) + FloatBytes(3.0f));
    EXPECT_EQ(board_->modes().at(14), "M 3");
    EXPECT_EQ(board_->floats().count(14), 0u) << "no output value on a mode pin";
    Deliver(Bytes({'{', 2, 20, ')'}));
    EXPECT_TRUE(board_->leds().at(20));
    EXPECT_EQ(board_->modes().count(20), 0u) << "an output LED, not a mode LED";
    EXPECT_EQ(board_->modeCount(), 2);
    EXPECT_EQ(board_->messageCount("mode"), 2);
}

TEST(SevenSegment, DecodesPlainInvertedAndReversedBytes) {
    using boardsim::DecodeSevenSegment;
    EXPECT_EQ(DecodeSevenSegment({0x9F, 0x24, 0x0D, 0x99}), "12.34");
    EXPECT_EQ(DecodeSevenSegment({0x60, 0xDB, 0xF2, 0x66}, true), "12.34");
    EXPECT_EQ(DecodeSevenSegment({0x99, 0x0D, 0x24, 0x9F}, false, true), "12.34");
    EXPECT_EQ(DecodeSevenSegment({0xFF, 0xFE}), "  .");
    EXPECT_EQ(DecodeSevenSegment({}), "");
}

class PanelTest : public ::testing::Test {
  protected:
    void Start(const std::string& config) {
        Options o;
        o.lanAddress = "127.0.0.33";
        o.pluginPort = plugin_.port();
        o.panelConfig = config;
        board_ = std::make_unique<Board>(o);
        ASSERT_TRUE(board_->ok()) << board_->error();
    }
    bool ToBoard(const std::string& bytes) {
        return plugin_.SendTo("127.0.0.33", board_->port(), bytes);
    }
    UdpPeer plugin_;
    std::unique_ptr<Board> board_;
};

TEST_F(PanelTest, ProbeIsAnsweredWithTheConfigurationText) {
    Start("[I]\nB1 sim/x\n[O]\n13L 0 sim/y\n");
    EXPECT_TRUE(board_->isPanel());
    ASSERT_TRUE(ToBoard("XP"));
    std::string m;
    ASSERT_TRUE(plugin_.Receive(&m, board_.get()));
    EXPECT_EQ(m, "|[I]\nB1 sim/x\n[O]\n13L 0 sim/y\n");
}

TEST_F(PanelTest, AShortConfigurationIsPaddedToTheLongForm) {
    Start("[O]");
    ASSERT_TRUE(board_->SendIdentification());
    std::string m;
    ASSERT_TRUE(plugin_.Receive(&m, board_.get()));
    ASSERT_EQ(m.size(), 11u);
    EXPECT_EQ(m.substr(0, 4), "|[O]");
    EXPECT_EQ(m.find_first_not_of('\n', 4), std::string::npos);
}

TEST_F(PanelTest, IdentificationReplyGivesCodeLettersAndBoardNumber) {
    Start("[I]\nB1 sim/x\n");
    ASSERT_TRUE(ToBoard(Bytes({'~', 'A', 'B', 'C', 'D', 'E', 3})));
    ASSERT_TRUE(PollUntil(*board_, [&] { return board_->uploadCount() == 1; }));
    EXPECT_EQ(board_->codeLetters(), "ABCDE");
    EXPECT_EQ(board_->boardNumber(), 3);
    EXPECT_EQ(board_->log().back(), "ident-reply board=3 codes=ABCDE");
    EXPECT_EQ(board_->EncodeInput("B1"), Bytes({3, 'D', '1'}));
}

TEST_F(PanelTest, TextFormSetsPanelValues) {
    Start("[O]\n13L 0 sim/y\n");
    ASSERT_TRUE(ToBoard(">13L<1>A5<12.3>7N<0.0,1.5>"));
    ASSERT_TRUE(PollUntil(*board_, [&] { return board_->messageCount("panel") == 1; }));
    std::map<std::string, std::string> v = board_->panelValues();
    EXPECT_EQ(v.at("13L"), "1");
    EXPECT_EQ(v.at("A5"), "12.3");
    EXPECT_EQ(v.at("7N"), "0.0,1.5");
    ASSERT_TRUE(ToBoard(">13L<*>"));
    ASSERT_TRUE(PollUntil(*board_, [&] { return board_->messageCount("panel") == 2; }));
    EXPECT_EQ(board_->panelValues().at("13L"), "*");
    EXPECT_EQ(board_->log().back(), "panel 13L=*");
}

}  // namespace
