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

}  // namespace
}  // namespace corvane_inputs_test
