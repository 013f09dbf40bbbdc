// A LAN board on its own loopback address, driven by a peer socket that plays the plug-in.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "boardsim/peers.h"

using boardsim::Board;
using boardsim::Options;
using boardsim_test::Bytes;
using boardsim_test::GateReply;
using boardsim_test::PollUntil;
using boardsim_test::UdpPeer;
using boardsim_test::Upload;

namespace {

class LanBoardTest : public ::testing::Test {
  protected:
    static constexpr const char* kAddress = "127.0.0.25";

    void Start(Options o = Options()) {
        o.lanAddress = kAddress;
        if (o.pluginPort == 0 && o.lanPort == 0 && !keepPortsUnset_) {
            o.pluginPort = plugin_.port();
            o.lanPort = 0;
        }
        board_ = std::make_unique<Board>(o);
        ASSERT_TRUE(board_->ok()) << board_->error();
    }
    bool ToBoard(const std::string& bytes) {
        return plugin_.SendTo(kAddress, board_->port(), bytes);
    }
    std::string FromBoard() {
        std::string m;
        EXPECT_TRUE(plugin_.Receive(&m, board_.get())) << "nothing from the board";
        return m;
    }
    void Configure(const std::string& codes, int number) {
        int before = board_->uploadCount();
        ASSERT_TRUE(ToBoard(Upload({}, codes, number)));
        ASSERT_TRUE(PollUntil(*board_, [&] { return board_->uploadCount() > before; }));
    }

    UdpPeer plugin_;
    std::unique_ptr<Board> board_;
    bool keepPortsUnset_ = false;
};

TEST_F(LanBoardTest, BindsThePluginPortNumberOnItsOwnAddress) {
    Start();
    EXPECT_EQ(board_->port(), plugin_.port());
    EXPECT_EQ(board_->address(), std::string(kAddress) + ":" + std::to_string(plugin_.port()));
    EXPECT_FALSE(board_->isSerial());
}

TEST_F(LanBoardTest, ProbeIsAnsweredWithTheShortIdentification) {
    Options o;
    o.boardId = 3;
    o.libraryVersion = 124;
    Start(o);
    ASSERT_TRUE(ToBoard("XP"));
    std::string from;
    std::string m;
    ASSERT_TRUE(plugin_.Receive(&m, board_.get(), boardsim_test::kRounds, &from));
    ASSERT_EQ(m.size(), 4u);
    EXPECT_EQ(m[0], '|');
    EXPECT_EQ(static_cast<uint8_t>(m[2]), 124);
    EXPECT_EQ(m[3], '3');
    EXPECT_EQ(from, kAddress) << "the plug-in knows a LAN board by its own address";
    EXPECT_EQ(board_->probeCount(), 1);
    ASSERT_FALSE(board_->log().empty());
    EXPECT_EQ(board_->log().front(), "probe XP");
    EXPECT_EQ(board_->received().front(), "XP");
}

TEST_F(LanBoardTest, IdentificationPaddingStaysWithinTheShortForm) {
    Options o;
    o.boardId = 7;
    o.libraryVersion = 130;
    o.identPadding = "abcdefghij";
    Start(o);
    ASSERT_TRUE(board_->SendIdentification());
    std::string m = FromBoard();
    ASSERT_EQ(m.size(), 10u) << "more than 10 bytes would read as a panel's long form";
    EXPECT_EQ(m.substr(0, 1), "|");
    EXPECT_EQ(static_cast<uint8_t>(m[2]), 130);
    EXPECT_EQ(m[3], '7');
    EXPECT_EQ(m.substr(4), "abcdef");
}

TEST_F(LanBoardTest, ProbeIsIgnoredWhenAnsweringIsOff) {
    Options o;
    o.answerProbe = false;
    Start(o);
    ASSERT_TRUE(ToBoard("XP"));
    ASSERT_TRUE(PollUntil(*board_, [&] { return board_->probeCount() == 1; }));
    EXPECT_TRUE(plugin_.Quiet());
    EXPECT_TRUE(board_->sent().empty());
}

TEST_F(LanBoardTest, RepliesToTheLastSenderWhenNoPluginPortIsGiven) {
    keepPortsUnset_ = true;
    Start();
    EXPECT_FALSE(board_->SendIdentification()) << "nothing received yet: nowhere to send";
    ASSERT_TRUE(ToBoard("XP"));
    std::string m = FromBoard();
    EXPECT_EQ(m.substr(0, 1), "|");
}

TEST_F(LanBoardTest, UploadGivesPinModesCodeLettersAndBoardNumber) {
    Start();
    ASSERT_TRUE(ToBoard(Upload({{2, 1}, {5, 7}, {13, 7}, {22, 2}, {53, 13}}, "GHIJK", 2)));
    ASSERT_TRUE(PollUntil(*board_, [&] { return board_->uploadCount() == 1; }));
    std::vector<int> pins = board_->pinModes();
    ASSERT_EQ(pins.size(), 54u);
    EXPECT_EQ(pins[2], 1);
    EXPECT_EQ(pins[5], 7);
    EXPECT_EQ(pins[13], 7);
    EXPECT_EQ(pins[22], 2);
    EXPECT_EQ(pins[53], 13);
    EXPECT_EQ(std::count(pins.begin(), pins.end(), 0), 49);
    EXPECT_EQ(board_->codeLetters(), "GHIJK");
    EXPECT_EQ(board_->boardNumber(), 2);
    EXPECT_EQ(board_->log().back(), "upload board=2 codes=GHIJK pins=2:1,5:7,13:7,22:2,53:13");

    // A board that restarts is configured again: the last upload counts.
    ASSERT_TRUE(ToBoard(Upload({}, "ABCDE", 1)));
    ASSERT_TRUE(PollUntil(*board_, [&] { return board_->uploadCount() == 2; }));
    EXPECT_EQ(board_->boardNumber(), 1);
    EXPECT_EQ(board_->codeLetters(), "ABCDE");
    EXPECT_EQ(board_->pinModes()[2], 0);
}

TEST_F(LanBoardTest, InputsCarryBoardNumberAndCodeLetters) {
    Start();
    Configure("MNQPR", 2);  // E->M D->N A->Q B->P C->R
    EXPECT_TRUE(board_->SendInput("D5"));
    EXPECT_EQ(FromBoard(), Bytes({2, 'N', '5'}));
    EXPECT_TRUE(board_->Press("B7"));
    EXPECT_EQ(FromBoard(), Bytes({2, 'P', '7', '+'}));
    EXPECT_TRUE(board_->Release("B7"));
    EXPECT_EQ(FromBoard(), Bytes({2, 'P', '7', '-'}));
    EXPECT_TRUE(board_->MoveAxis("A3", 512));
    EXPECT_EQ(FromBoard(), Bytes({2, 'Q', '3', ' ', '5', '1', '2'}));
    EXPECT_TRUE(board_->SendInput("C1", "7"));
    EXPECT_EQ(FromBoard(), Bytes({2, 'R', '1', ' ', '7'}));
    EXPECT_TRUE(board_->TurnEncoder("E4+", 3));
    EXPECT_EQ(FromBoard(), Bytes({2, 'M', '4', '+', ' ', 3}));
    EXPECT_TRUE(board_->TurnEncoder("E4-", 300));
    EXPECT_EQ(FromBoard(), Bytes({2, 'M', '4', '-', ' ', 255})) << "one raw byte at most";
    EXPECT_TRUE(board_->SendInput("X9"));
    EXPECT_EQ(FromBoard(), Bytes({2, 'X', '9'})) << "other tag letters go unchanged";
}

TEST_F(LanBoardTest, CodeLettersAreUsedByPosition) {
    Start();
    Configure("DEFGH", 4);  // the letters may repeat a type letter at another position
    EXPECT_EQ(board_->EncodeInput("E1"), Bytes({4, 'D', '1'}));
    EXPECT_EQ(board_->EncodeInput("D1"), Bytes({4, 'E', '1'}));
    EXPECT_EQ(board_->EncodeInput("C1"), Bytes({4, 'H', '1'}));
    EXPECT_EQ(board_->EncodeInput(""), "");
}

TEST_F(LanBoardTest, InputsBeforeTheUploadHaveNoCodeLettersYet) {
    Start();
    EXPECT_EQ(board_->EncodeInput("D5"), Bytes({0, 'D', '5'}));
}

TEST_F(LanBoardTest, GateLetterIsAskedForAndUsed) {
    Start();
    Configure("MNQPR", 1);
    EXPECT_FALSE(board_->OpenGate()) << "no gate letter yet";
    ASSERT_TRUE(board_->RequestGate());
    EXPECT_EQ(FromBoard(), "~d");
    ASSERT_TRUE(ToBoard(GateReply('K')));
    ASSERT_TRUE(PollUntil(*board_, [&] { return board_->gateLetter() == 'K'; }));
    EXPECT_EQ(board_->log().back(), "gate-reply letter=K");
    ASSERT_TRUE(board_->OpenGate());
    EXPECT_EQ(FromBoard(), "~K");
    ASSERT_TRUE(board_->CloseGate());
    EXPECT_EQ(FromBoard(), "~x");
    ASSERT_TRUE(board_->SendControl('a'));
    EXPECT_EQ(FromBoard(), "~a");
}

TEST_F(LanBoardTest, AfterTheUploadItCanAskForBlocksAndOpenTheGateByItself) {
    Options o;
    o.requestBlocks = true;
    o.autoGate = true;
    Start(o);
    ASSERT_TRUE(ToBoard(Upload({}, "MNQPR", 1)));
    EXPECT_EQ(FromBoard(), "~a");
    EXPECT_EQ(FromBoard(), "~n");
    EXPECT_EQ(FromBoard(), "~s");
    EXPECT_EQ(FromBoard(), "~d");
    ASSERT_TRUE(ToBoard(GateReply('Q')));
    EXPECT_EQ(FromBoard(), "~Q");
    // A later gate reply alone opens nothing.
    ASSERT_TRUE(ToBoard(GateReply('R')));
    ASSERT_TRUE(PollUntil(*board_, [&] { return board_->gateLetter() == 'R'; }));
    EXPECT_TRUE(plugin_.Quiet());
}

TEST_F(LanBoardTest, ConfigurationBlocksAreKept) {
    Start();
    std::string analog(1, 'A');
    for (int ch = 0; ch < 16; ++ch) analog += Bytes({ch == 5 ? 102 : 0, ch == 5 ? 3 : 0, 100});
    ASSERT_TRUE(ToBoard(analog));
    ASSERT_TRUE(ToBoard(Bytes({'N', 2, 2, 9})));
    ASSERT_TRUE(ToBoard(Bytes({'S', 3, 4, 144, 1})));
    ASSERT_TRUE(PollUntil(*board_, [&] { return board_->messageCount("stepper-config") == 1; }));
    ASSERT_EQ(board_->analogConfig().size(), 48u);
    EXPECT_EQ(board_->analogConfig()[15], 102);
    EXPECT_EQ(board_->analogConfig()[16], 3);
    EXPECT_EQ(board_->analogConfig()[17], 100);
    EXPECT_EQ(board_->sevenSegConfig(), (std::vector<uint8_t>{2, 9}));
    EXPECT_EQ(board_->stepperConfig(), (std::vector<uint8_t>{4, 144, 1}));
    EXPECT_EQ(board_->log()[1], "7seg-config n=2 [02 09]");
    EXPECT_EQ(board_->log()[2], "stepper-config n=3 4:400");
}

TEST_F(LanBoardTest, PingsAndRequestsForAllInputsAreCounted) {
    Start();
    ASSERT_TRUE(ToBoard("XX"));
    ASSERT_TRUE(ToBoard("XX"));
    ASSERT_TRUE(ToBoard("XR"));
    ASSERT_TRUE(PollUntil(*board_, [&] { return board_->received().size() == 3; }));
    EXPECT_EQ(board_->pingCount(), 2);
    EXPECT_EQ(board_->requestAllCount(), 1);
    EXPECT_EQ(board_->log()[2], "request-all XR");
    EXPECT_TRUE(plugin_.Quiet()) << "pings get no answer";
    board_->clearReceived();
    EXPECT_TRUE(board_->received().empty());
    EXPECT_TRUE(board_->log().empty());
    EXPECT_EQ(board_->pingCount(), 2);
}

TEST_F(LanBoardTest, UnknownMessagesAreLoggedReadably) {
    Start();
    ASSERT_TRUE(ToBoard(Bytes({'}', 4, 'a', 'b', 0x01, '\\'})));
    ASSERT_TRUE(PollUntil(*board_, [&] { return board_->messageCount("unknown") == 1; }));
    EXPECT_EQ(board_->log().back(), "unknown }\\x04ab\\x01\\\\");
}

TEST(LanBoardOptions, OnlyLoopbackAddressesAreAccepted) {
    Options o;
    o.lanAddress = "10.0.0.5";
    Board outside(o);
    EXPECT_FALSE(outside.ok());
    EXPECT_NE(outside.error().find("127.0.0.0/8"), std::string::npos) << outside.error();
    EXPECT_EQ(outside.fd(), -1) << "no socket for a refused address";

    o.lanAddress = "127.0.0.26";
    o.pluginAddress = "192.168.1.2";
    Board towardsOutside(o);
    EXPECT_FALSE(towardsOutside.ok());

    o.pluginAddress = "not an address";
    EXPECT_FALSE(Board(o).ok());
}

TEST(LanBoardOptions, ABoardHasExactlyOneLink) {
    Options o;
    EXPECT_FALSE(Board(o).ok());
    o.lanAddress = "127.0.0.26";
    o.serialLink = "/tmp/nowhere/tty.usbX";
    EXPECT_FALSE(Board(o).ok());
    o.serialLink.clear();
    o.boardId = 10;
    EXPECT_FALSE(Board(o).ok()) << "board IDs are one digit";
    o.boardId = 1;
    o.libraryVersion = 0;
    EXPECT_FALSE(Board(o).ok()) << "a zero byte never reaches the plug-in";
}

TEST(LanBoardOptions, IsLoopbackReadsDottedAddresses) {
    EXPECT_TRUE(boardsim::IsLoopback("127.0.0.1"));
    EXPECT_TRUE(boardsim::IsLoopback("127.255.3.9"));
    EXPECT_FALSE(boardsim::IsLoopback("128.0.0.1"));
    EXPECT_FALSE(boardsim::IsLoopback("0.0.0.0"));
    EXPECT_FALSE(boardsim::IsLoopback("localhost"));
    EXPECT_FALSE(boardsim::IsLoopback(""));
}

}  // namespace
