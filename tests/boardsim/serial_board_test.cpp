// A USB board on a real pseudo-terminal, reached through a device-like symlink, with a peer
// that opens the link the way the plug-in opens its serial ports.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <memory>

#include "boardsim/peers.h"

using boardsim::Board;
using boardsim::Options;
using boardsim_test::Bytes;
using boardsim_test::FloatBytes;
using boardsim_test::Frame;
using boardsim_test::GateReply;
using boardsim_test::PollUntil;
using boardsim_test::SerialPeer;
using boardsim_test::TempDir;
using boardsim_test::Upload;

namespace {

std::string LinkTarget(const std::string& path) {
    char buf[4096];
    ssize_t n = readlink(path.c_str(), buf, sizeof buf - 1);
    if (n < 0) return "";
    return std::string(buf, static_cast<size_t>(n));
}

class SerialBoardTest : public ::testing::Test {
  protected:
    void Start(Options o = Options()) {
        ASSERT_FALSE(dir_.path().empty());
        link_ = dir_.path() + "/tty.usbmodemSIM1";
        o.serialLink = link_;
        board_ = std::make_unique<Board>(o);
        ASSERT_TRUE(board_->ok()) << board_->error();
        peer_ = std::make_unique<SerialPeer>(link_);
        ASSERT_TRUE(peer_->ok());
    }
    std::string Read(size_t count) {
        std::string m;
        EXPECT_TRUE(peer_->Read(count, &m, board_.get())) << "got only " << boardsim::Escape(m);
        return m;
    }

    TempDir dir_;
    std::string link_;
    std::unique_ptr<Board> board_;
    std::unique_ptr<SerialPeer> peer_;
};

TEST_F(SerialBoardTest, LinksPointAtThePtySlaveAndGoAwayWithTheBoard) {
    Options o;
    o.twin = true;
    Start(o);
    EXPECT_TRUE(board_->isSerial());
    EXPECT_EQ(board_->address(), link_);
    EXPECT_EQ(LinkTarget(link_), board_->slavePath());
    EXPECT_EQ(board_->twinPath(), dir_.path() + "/cu.usbmodemSIM1");
    EXPECT_EQ(LinkTarget(board_->twinPath()), board_->slavePath());
    std::string twin = board_->twinPath();
    peer_.reset();
    board_.reset();
    struct stat st {};
    EXPECT_NE(lstat(link_.c_str(), &st), 0);
    EXPECT_NE(lstat(twin.c_str(), &st), 0);
}

TEST_F(SerialBoardTest, TwinOfACuNameIsTheTtyName) {
    Options o;
    o.serialLink = dir_.path() + "/cu.wchusbserial7";
    o.twin = true;
    Board board(o);
    ASSERT_TRUE(board.ok()) << board.error();
    EXPECT_EQ(board.twinPath(), dir_.path() + "/tty.wchusbserial7");
}

TEST_F(SerialBoardTest, LinkRefusesToReplaceAFile) {
    std::string path = dir_.path() + "/tty.usbmodemTAKEN";
    std::ofstream(path) << "keep me";
    Options o;
    o.serialLink = path;
    Board board(o);
    EXPECT_FALSE(board.ok());
    EXPECT_NE(board.error().find("not a symlink"), std::string::npos) << board.error();
    std::ifstream in(path);
    std::string text;
    std::getline(in, text);
    EXPECT_EQ(text, "keep me");

    o.serialLink = dir_.path() + "/usbmodemNOPREFIX";
    o.twin = true;
    EXPECT_FALSE(Board(o).ok()) << "a twin needs a tty. or cu. name";
}

TEST_F(SerialBoardTest, ProbeIsAnsweredWithABracedIdentification) {
    Options o;
    o.boardId = 3;
    Start(o);
    ASSERT_TRUE(peer_->Write("XP"));
    EXPECT_EQ(Read(6), Bytes({'{', '|', 'A', 124, '3', '}'}));
    EXPECT_EQ(board_->probeCount(), 1);
}

TEST_F(SerialBoardTest, MessagesInOneWriteAreCutByTheirLengths) {
    Start();
    std::string upload = Upload({{7, 1}, {13, 7}}, "MNQPR", 1);
    ASSERT_TRUE(peer_->Write("XX" + std::string("XR") + upload + GateReply('H') +
                             Bytes({'N', 2, 4, 5}) + Frame(Bytes({13, 0x29})) +
                             Frame(Bytes({5, 'R', 2, 0x9F, 0x25}))));
    ASSERT_TRUE(PollUntil(*board_, [&] { return board_->received().size() == 7; }));
    EXPECT_EQ(board_->pingCount(), 1);
    EXPECT_EQ(board_->requestAllCount(), 1);
    EXPECT_EQ(board_->uploadCount(), 1);
    EXPECT_EQ(board_->pinModes()[7], 1);
    EXPECT_EQ(board_->gateLetter(), 'H');
    EXPECT_EQ(board_->sevenSegConfig(), (std::vector<uint8_t>{4, 5}));
    EXPECT_EQ(board_->displays().at(5), "12");
    EXPECT_EQ(board_->received()[2], upload);
}

TEST_F(SerialBoardTest, APartialMessageWaitsForTheRest) {
    Start();
    std::string upload = Upload({{40, 12}}, "ABCDE", 2);
    ASSERT_TRUE(peer_->Write(upload.substr(0, 30)));
    for (int i = 0; i < 20; ++i) {
        board_->Poll();
        usleep(1000);
    }
    EXPECT_EQ(board_->uploadCount(), 0);
    EXPECT_TRUE(board_->received().empty());
    ASSERT_TRUE(peer_->Write(upload.substr(30)));
    ASSERT_TRUE(PollUntil(*board_, [&] { return board_->uploadCount() == 1; }));
    EXPECT_EQ(board_->pinModes()[40], 12);
    EXPECT_EQ(board_->boardNumber(), 2);
    EXPECT_EQ(board_->received().size(), 1u);
}

TEST_F(SerialBoardTest, InputsAndControlsAreBraced) {
    Start();
    ASSERT_TRUE(peer_->Write(Upload({}, "MNQPR", 1)));
    ASSERT_TRUE(PollUntil(*board_, [&] { return board_->uploadCount() == 1; }));
    ASSERT_TRUE(board_->Press("B7"));
    EXPECT_EQ(Read(6), Bytes({'{', 1, 'P', '7', '+', '}'}));
    ASSERT_TRUE(board_->MoveAxis("A2", 1000));
    EXPECT_EQ(Read(10), Bytes({'{', 1, 'Q', '2', ' ', '1', '0', '0', '0', '}'}));
    ASSERT_TRUE(board_->RequestGate());
    EXPECT_EQ(Read(4), "{~d}");
    ASSERT_TRUE(peer_->Write(GateReply('C')));
    ASSERT_TRUE(PollUntil(*board_, [&] { return board_->gateLetter() == 'C'; }));
    ASSERT_TRUE(board_->OpenGate());
    EXPECT_EQ(Read(4), "{~C}");
    ASSERT_TRUE(board_->SendUnframed("xx{a}{b"));
    EXPECT_EQ(Read(7), "xx{a}{b");
}

TEST_F(SerialBoardTest, LineIsRawBothWays) {
    Start();
    // Bytes that a cooked line would translate, swallow or act on.
    std::string tricky = Bytes({0x0D, 0x0A, 0x03, 0x7F, 0x11, 0x13, 0x04, 0x1A, 0xFF});
    ASSERT_TRUE(board_->SendRaw(tricky));
    EXPECT_EQ(Read(tricky.size() + 2), "{" + tricky + "}");
    ASSERT_TRUE(peer_->Write(Frame(Bytes({7, 'D'}) + FloatBytes(0.5f) + Bytes({9, 'P', 0x0D}))));
    ASSERT_TRUE(PollUntil(*board_, [&] { return board_->frameCount() == 1; }));
    EXPECT_FLOAT_EQ(board_->floats().at(7), 0.5f);
    EXPECT_EQ(board_->pwm().at(9), 0x0D);
}

TEST_F(SerialBoardTest, BoardStaysReachableWhenThePortIsReopened) {
    Start();
    peer_.reset();
    peer_ = std::make_unique<SerialPeer>(link_);
    ASSERT_TRUE(peer_->ok());
    ASSERT_TRUE(peer_->Write("XP"));
    EXPECT_EQ(Read(6).substr(0, 2), "{|");
}

TEST_F(SerialBoardTest, PanelOnSerialTakesTheSevenByteReply) {
    Options o;
    o.panelConfig = "[I]\nB1 sim/x\n";
    Start(o);
    ASSERT_TRUE(peer_->Write(Bytes({'~', 'V', 'W', 'X', 'Y', 'Z', 1}) + "XX"));
    ASSERT_TRUE(PollUntil(*board_, [&] { return board_->pingCount() == 1; }));
    EXPECT_EQ(board_->codeLetters(), "VWXYZ");
    EXPECT_EQ(board_->boardNumber(), 1);
    ASSERT_TRUE(board_->SendIdentification());
    EXPECT_EQ(Read(16), "{|[I]\nB1 sim/x\n}");
}

}  // namespace
