// the output gate, mode messages, mode-changing and output-selecting internal inputs
// and the text an internal input sends back.
#include <gtest/gtest.h>

#include <cstring>

#include "exchange/flight_loop.h"
#include "exchange/input_dispatch.h"
#include "exchange/internal_inputs.h"
#include "exchange/mode_messages.h"
#include "exchange/output_gate.h"
#include "inputs_fixture.h"

namespace corvane_inputs_test {
namespace {

using Strings = std::vector<std::string>;

// A mode message for an 'L' LED mode entry on pin p: '{', 2, p, ')' lit or '(' dark.
std::string LedMode(int pin, bool lit) {
    return std::string{'{', 2, static_cast<char>(pin), lit ? ')' : '('};
}

// A mode message with a float: '{', 6, p, kind, value as 32-bit float little-endian.
std::string FloatMode(int pin, char kind, float value) {
    std::string m{'{', 6, static_cast<char>(pin), kind};
    uint32_t bits = 0;
    std::memcpy(&bits, &value, 4);
    for (int k = 0; k < 4; ++k) m += static_cast<char>((bits >> (8 * k)) & 0xFF);
    return m;
}

class Modes : public InputsTest {
  protected:
    void SetUp() override {
        InputsTest::SetUp();
        b_ = AddLanBoard(peer_);
        FromLan(peer_);
    }
    void Send(const std::string& text) { HandleInputMessage(Message(b_, text)); }
    UdpPeer peer_;
    int b_ = 0;
};

TEST_F(Modes, GateRequestTwiceGivesTheSameLetter) {
    AnswerGateRequest(b_);
    AnswerGateRequest(b_);
    const Strings replies = peer_.Take();
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_EQ(replies[0], replies[1]);
    ASSERT_EQ(replies[0].size(), 13u);
    const char letter = allow_output[b_];
    EXPECT_GE(letter, 'A');
    EXPECT_LE(letter, 'X');
    EXPECT_EQ(replies[0],
              (std::string{'D', '{', '*', 'P', 'R', 'D', 'S', 'G', 4, letter, '0', 15, 5}));
}

TEST_F(Modes, GateOpensWithItsLetterAndClosesWithX) {
    AnswerGateRequest(b_);
    const char letter = allow_output[b_];
    const char other = letter == 'A' ? 'B' : 'A';
    HandleOutputGate(b_, other);
    EXPECT_FALSE(AllowOutput[b_]);
    HandleOutputGate(b_, letter);
    EXPECT_TRUE(AllowOutput[b_]);
    EXPECT_TRUE(AllowPing[b_]);
    HandleOutputGate(b_, 'x');
    EXPECT_FALSE(AllowOutput[b_]);
    EXPECT_FALSE(AllowPing[b_]);
    HandleOutputGate(-1, letter);
    HandleOutputGate(9, letter);
}

TEST_F(Modes, OpeningTheGateLightsTheModeOneLeds) {
    OutputModeLed[b_].push_back({std::string{5, 'L'}, "E3=1"});
    OutputModeLed[b_].push_back({std::string{6, 'L'}, "E3=2"});
    OutputModeLed[b_].push_back({std::string{7, 'S'}, "E3"});
    peer_.Take();
    HandleOutputGate(b_, allow_output[b_]);
    EXPECT_EQ(peer_.Take(),
              (Strings{LedMode(5, true), LedMode(6, false), FloatMode(7, 'S', 1.0f)}));
    sendall[b_] = false;  // only while every output is due
    HandleOutputGate(b_, allow_output[b_]);
    EXPECT_TRUE(peer_.Take().empty());
}

TEST_F(Modes, PortLedModesSetTheirBitAndSendNothing) {
    LedPortData[b_] = {0, 0};
    OutputModeLed[b_].push_back({std::string{1, 'l'}, "E3=1"});
    OutputModeLed[b_].push_back({std::string{10, 'l'}, "E3=2"});
    OutputModeLed[b_].push_back({std::string{17, 'l'}, "E3=2"});  // beyond the two port bytes
    OutputModeLed[b_].push_back({std::string{0, 'l'}, "E3=2"});   // no LED 0
    OutputModeLed[b_].push_back({std::string{9}, "E3=2"});        // no kind byte
    SendMode(b_, 0, 1, 1);
    SendMode(b_, 1, 2, 2);
    EXPECT_TRUE(LedPortSend[b_]);
    EXPECT_EQ(LedPortData[b_], (std::vector<uint8_t>{0x01, 0x02}));
    SendMode(b_, 1, 1, 2);
    EXPECT_EQ(LedPortData[b_], (std::vector<uint8_t>{0x01, 0x00}));
    SendMode(b_, 2, 2, 2);
    SendMode(b_, 3, 2, 2);
    SendMode(b_, 4, 2, 2);
    SendMode(b_, 9, 2, 2);
    SendMode(7, 0, 2, 2);
    EXPECT_EQ(LedPortData[b_], (std::vector<uint8_t>{0x01, 0x00}));
    EXPECT_TRUE(peer_.Take().empty());
}

TEST_F(Modes, ModeChangeRunsOneTwoThreeOneWithModeMessages) {
    Entry leader;
    leader.tag = "E3/1+";
    leader.dataref = "sim/test/float";
    leader.mode = 1;
    AddInput(b_, leader);
    for (const char* t : {"E3/2+", "E3/3+"}) {
        Entry member = leader;
        member.tag = t;
        member.mode = 0;
        AddInput(b_, member);
    }
    Entry change;
    change.tag = "D20";
    change.fields = {"D20", "E3>1"};
    change.internal = true;
    change.mode = 0;       // the leader's input index
    change.direction = 3;  // three modes
    AddInput(b_, change);
    OutputModeLed[b_].push_back({std::string{5, 'L'}, "E3=1"});
    OutputModeLed[b_].push_back({std::string{6, 'L'}, "E3=2"});
    OutputModeLed[b_].push_back({std::string{7, 'L'}, "E3=3"});
    OutputModeLed[b_].push_back({std::string{8, 'L'}, "E4=1"});
    std::vector<int> modes;
    for (int press = 0; press < 3; ++press) {
        Send("D20");
        modes.push_back(Mode[b_][0]);
        const int m = Mode[b_][0];
        EXPECT_EQ(peer_.Take(),
                  (Strings{LedMode(5, m == 1), LedMode(6, m == 2), LedMode(7, m == 3)}));
    }
    EXPECT_EQ(modes, (std::vector<int>{2, 3, 1}));
    // The encoder now goes to its member at the new position.
    Send("E3+");
    EXPECT_EQ(Value("sim/test/float"), 1.0);
}

// An internal input changing the mode of the group led by input 0; returns its index.
int ModeInput(int b, const std::string& name, int modes, int leader = 0) {
    Entry e;
    e.tag = "D" + std::to_string(30 + static_cast<int>(Datatags[b].size()));
    e.fields = {e.tag, name};
    e.mode = leader;
    e.direction = modes;
    return AddInput(b, e);
}

int EncoderLeader(int b) {
    Entry leader;
    leader.tag = "E3/1+";
    leader.dataref = "sim/test/float";
    leader.mode = 1;
    return AddInput(b, leader);
}

TEST_F(Modes, ModeChangeOperatorsWrapBetweenOneAndTheModeCount) {
    EncoderLeader(b_);
    const int down = ModeInput(b_, "E3<1", 3);
    const int set2 = ModeInput(b_, "E3=2", 3);
    const int upFar = ModeInput(b_, "E3>8", 3);
    const int downFar = ModeInput(b_, "E3<7", 3);
    const int odd = ModeInput(b_, "E3?1", 3);
    ApplyInternalInput(b_, down);
    EXPECT_EQ(Mode[b_][0], 3);
    ApplyInternalInput(b_, set2);
    EXPECT_EQ(Mode[b_][0], 2);
    ApplyInternalInput(b_, upFar);  // 2 + 8 = 10 -> 1 (wrapping as often as needed)
    EXPECT_EQ(Mode[b_][0], 1);
    ApplyInternalInput(b_, downFar);  // 1 - 7 = -6 -> 3
    EXPECT_EQ(Mode[b_][0], 3);
    ApplyInternalInput(b_, odd);  // unknown operator: unchanged
    EXPECT_EQ(Mode[b_][0], 3);
}

TEST_F(Modes, ModeChangeWithoutItsGroupLeavesOtherInputsAlone) {
    Entry other;
    other.tag = "D1";
    other.dataref = "sim/test/float";
    other.mode = 31;  // input 0 leads a T group, not the E3 encoders
    AddInput(b_, other);
    const int change = ModeInput(b_, "E3>1", 3, 0);  // no leader found: Mode stays 0
    const int beyond = ModeInput(b_, "E3>1", 3, 57);
    const int shortName = ModeInput(b_, "E>", 3, 0);
    ApplyInternalInput(b_, change);
    ApplyInternalInput(b_, beyond);
    ApplyInternalInput(b_, shortName);
    EXPECT_EQ(Mode[b_][0], 31);
    ApplyInternalInput(b_, 99);
    ApplyInternalInput(-1, 0);
}

class OutputSelection : public Modes {
  protected:
    void SetUp() override {
        Modes::SetUp();
        for (int k = 0; k < 3; ++k) AddOutput(b_, "X5", k == 1);
        AddOutput(b_, "Y1");
    }
    int Selector(const std::string& name) {
        Entry e;
        e.tag = "D" + std::to_string(40 + static_cast<int>(Datatags[b_].size()));
        e.fields = {e.tag, name};
        return AddInput(b_, e);
    }
    std::vector<bool> Active() const {
        return {OutputActive[b_][0], OutputActive[b_][1], OutputActive[b_][2]};
    }
};

TEST_F(OutputSelection, NextMovesToTheFollowingOutputAndBackToTheFirst) {
    const int next = Selector("O_X5");
    ApplyInternalInput(b_, next);
    EXPECT_EQ(Active(), (std::vector<bool>{false, false, true}));
    EXPECT_TRUE(OutputDue[b_][2]);
    ApplyInternalInput(b_, next);
    EXPECT_EQ(Active(), (std::vector<bool>{true, false, false}));
    EXPECT_TRUE(OutputDue[b_][0]);
    EXPECT_TRUE(OutputActive[b_][3]);  // another tag: untouched
}

TEST_F(OutputSelection, PreviousAndNumberedSelection) {
    const int previous = Selector("O-_X5");
    ApplyInternalInput(b_, previous);
    EXPECT_EQ(Active(), (std::vector<bool>{true, false, false}));
    ApplyInternalInput(b_, previous);  // before the first: the last
    EXPECT_EQ(Active(), (std::vector<bool>{false, false, true}));
    Previous[b_][1] = "!";
    ApplyInternalInput(b_, Selector("O2_X5"));
    EXPECT_EQ(Active(), (std::vector<bool>{false, true, false}));
    EXPECT_EQ(Previous[b_][1], "!");            // the all-on mark stays
    ApplyInternalInput(b_, Selector("O7_X5"));  // fewer than 7: the next one
    EXPECT_EQ(Active(), (std::vector<bool>{false, false, true}));
}

TEST_F(OutputSelection, NamesWithoutUnderscoreOrOutputSelectNothing) {
    ApplyInternalInput(b_, Selector("OX5"));
    ApplyInternalInput(b_, Selector("O_Z9"));
    EXPECT_EQ(Active(), (std::vector<bool>{false, true, false}));
    EXPECT_EQ(Previous[b_][0], "0");
}

TEST_F(Modes, TextIsSentBackWithItsHeaderOnTheLan) {
    Entry e;
    e.tag = "D50";
    e.fields = {"D50", "D5=2"};
    AddInput(b_, e);
    Send("D50");
    EXPECT_EQ(peer_.Take(), Strings{std::string("}") + '\x04' + "D5=2"});
}

TEST_F(Modes, TextIsSentBackWithItsHeaderOnUsb) {
    SerialPeer port;
    const int b = AddSerialBoard(port);
    FromSerial(port);
    Entry e;
    e.tag = "D50";
    e.fields = {"D50", "hello"};
    AddInput(b, e);
    Entry held = e;  // a pin-referring (held class) internal input sends nothing
    held.tag = "D51";
    held.fields = {"D51", "Y"};
    held.contval = 1;
    AddInput(b, held);
    HandleInputMessage(Message(b, "D50"));
    HandleInputMessage(Message(b, "D51"));
    EXPECT_EQ(port.Take(), std::string("}") + '\x05' + "hello");
}

TEST(TextReply, HeaderIsTheClosingBraceAndTheLengthAndLongTextsAreCut) {
    EXPECT_EQ(TextReplyMessage(""), std::string("}") + '\0');
    const std::string reply = TextReplyMessage(std::string(300, 'a'));
    ASSERT_EQ(reply.size(), 257u);
    EXPECT_EQ(static_cast<unsigned char>(reply[1]), 255u);
}

// Press of a pin-referring internal input: its output goes all-on ("!"), the release makes it send
// again ("?").
TEST_F(Modes, HeldPinReferenceMarksItsOutput) {
    AddOutput(b_, std::string{13, 'L'});
    AddOutput(b_, std::string{14, 'L'});
    Entry e;
    e.tag = "D7+";
    e.fields = {"D7+", "13L"};
    e.contval = 1;
    e.direction = 1;  // on a panel: the output index
    AddInput(b_, e);
    Send("D7+");
    EXPECT_EQ(OutputAllOn[b_], (std::vector<bool>{false, true}));
    Send("D7-");
    EXPECT_EQ(OutputAllOn[b_], (std::vector<bool>{false, false}));
    EXPECT_TRUE(OutputDue[b_][1]);
    EXPECT_TRUE(Continuous.empty());
}

TEST_F(Modes, HeldConvertedPinReferenceMarksOutputsWithItsTag) {
    AddOutput(b_, std::string{13, 'L'});
    AddOutput(b_, std::string{14, 'L'});
    Entry e;
    e.tag = "D7+";
    e.fields = {"D7+", std::string{13, 'L'}};
    e.contval = 1;
    e.direction = 32767;
    AddInput(b_, e);
    Send("D7+");
    EXPECT_EQ(OutputAllOn[b_], (std::vector<bool>{true, false}));
    Send("D7-");
    EXPECT_EQ(OutputAllOn[b_], (std::vector<bool>{false, false}));
}

}  // namespace
}  // namespace corvane_inputs_test
