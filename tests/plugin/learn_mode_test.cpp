// Learning controls through the plug-in in the headless host, with emulated boards on loopback:
// learning on gives each Arduino board an upload that adds a digital input on every pin nothing
// takes (never the serial line's, a part's neighbour pin or a network chip's pin) and an analog
// block that reads every channel; learning off, its 120 s and a reset bring the normal upload
// back; the panel is left alone.
#include "exchange/learn_mode.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "config/board_monitor.h"
#include "plugin/lifecycle.h"
#include "support/plugin_harness.h"
#include "xphost.h"

namespace {

const char* const kDatarefs =
    "test/value float rw 0\n"
    "test/lever float rw 0\n"
    "test/lamp int rw 0\n"
    "command test/button Button\n";

// A board ID 1 section: a button on 2, a value output on 3 (a pin the upload leaves at 0), an
// encoder on 5 (B contact on 6), a lever on channel 3 with its settings, a lamp on 12.
const char* const kUnoSection =
    "[I]\nD2+ test/button\nE5+ test/value 1+,0,100\nA3 test/lever 0,1 1 250 5 95\n"
    "[O]\n3D 0 test/value\n12L 0 test/lamp\n";

class LearnMode : public ::testing::Test {
  protected:
    void Start(const std::string& dataCfg) {
        xphost::SetDebugEcho(false);
        corvane_test::PluginOptions options(dataCfg);
        options.extraDatarefs = kDatarefs;
        run_ = std::make_unique<corvane_test::PluginRun>(options);
    }
    boardsim::Board& AddBoard(int host, int id, char chip, const std::string& section = "") {
        boardsim::Options options = run_->LanBoardOptions(host, id);
        options.chip = chip;
        options.configSection = section;
        options.requestBlocks = true;
        options.autoGate = true;
        return run_->AddBoard(options);
    }
    // Calls until board has taken `uploads` uploads and asked for its blocks again.
    bool UploadsReach(boardsim::Board& board, int uploads) {
        return run_->CallUntil([&] { return board.uploadCount() >= uploads; }, 400) &&
               (run_->Call(10), board.uploadCount() == uploads);
    }
    // A board ID 1 of the chip and section (the Uno of kUnoSection when none is given),
    // connected, with its normal upload and upload count kept.
    boardsim::Board& Connect(int host, char chip = 'U', const std::string& section = kUnoSection) {
        Start("*1\n" + section);
        boardsim::Board& board = AddBoard(host, 1, chip, section);
        EXPECT_TRUE(run_->ConnectAll(400));
        run_->Call(10);
        normal_ = board.pinModes();
        uploads_ = board.uploadCount();
        return board;
    }
    std::unique_ptr<corvane_test::PluginRun> run_;
    std::vector<int> normal_;
    int uploads_ = 0;
};

struct UploadCase {
    const char* name;
    char chip;
    std::string section;
    std::set<int> added;  // the pins that learning adds as digital inputs
};

class LearnUpload : public LearnMode, public ::testing::WithParamInterface<UploadCase> {};

// Learning on: every pin of the upload keeps its code but the free ones, which become digital
// inputs (code 1); learning off: the very upload of before.
TEST_P(LearnUpload, AddsAFreePinOnceAndRestoresTheUpload) {
    const UploadCase& c = GetParam();
    boardsim::Board& board = Connect(40, c.chip, c.section);
    ASSERT_EQ(normal_.size(), 54u);
    StartLearning();
    ASSERT_TRUE(UploadsReach(board, uploads_ + 1));
    const std::vector<int> learnt = board.pinModes();
    ASSERT_EQ(learnt.size(), 54u);
    std::set<int> added;
    for (int pin = 0; pin < 54; ++pin) {
        if (learnt[pin] == normal_[pin]) continue;
        EXPECT_EQ(normal_[pin], 0) << "pin " << pin << " in use changed";
        EXPECT_EQ(learnt[pin], 1) << "pin " << pin;
        added.insert(pin);
    }
    EXPECT_EQ(added, c.added);

    StopLearning();
    ASSERT_TRUE(UploadsReach(board, uploads_ + 2));
    EXPECT_EQ(board.pinModes(), normal_);
}

std::set<int> Range(int from, int to, const std::set<int>& without) {
    std::set<int> pins;
    for (int pin = from; pin <= to; ++pin)
        if (!without.count(pin)) pins.insert(pin);
    return pins;
}

INSTANTIATE_TEST_SUITE_P(
    Boards, LearnUpload,
    ::testing::Values(
        // An Uno on the network: pins 2 to 13 but its entries' (2, 3, 5 and the encoder's 6,
        // 12) and the network chip's (4, 10 to 13); 14 to 19 stay its analog channels.
        UploadCase{"UnoOnTheNetwork", 'U', kUnoSection, {7, 8, 9}},
        // A board without a section, whatever its chip letter, is taken for an Uno.
        UploadCase{"UnknownChipWithoutSection", 'A', "", {2, 3, 5, 6, 7, 8, 9}},
        // A Mega: an LED port on 20 (clock 21, latch 22), displays on 30 (clock 31, a display's
        // load on 33), steppers' direction on 34 and a stepper on 35, a matrix of rows 40-41,
        // columns 42-43 and its fifth pin 44, a half-step encoder on 46 (47), a lamp mode entry
        // on 48; the network chip's 4, 10 and 50 to 53.
        UploadCase{
            "MegaOnTheNetwork", 'M',
            "[A]\nL 20\nN 30\nG 34\nB 40 41 42 43 44\n[I]\ne46+ test/value 1+,0,9\n"
            "[O]\n33N 0 test/value 1 4 0\n35G 0 test/value\n48L test/lamp\n",
            Range(2, 49, {4, 10, 20, 21, 22, 30, 31, 33, 34, 35, 40, 41, 42, 43, 44, 46, 47, 48})}),
    [](const ::testing::TestParamInfo<UploadCase>& info) { return info.param.name; });

// Learning ends by itself 120 s (of the simulator's time) after it was switched on, and switching
// it on again starts the time anew.
TEST_F(LearnMode, EndsByItselfAfterItsTime) {
    boardsim::Board& board = Connect(43);
    xphost::SetFrameRate(4);
    StartLearning();
    ASSERT_TRUE(UploadsReach(board, uploads_ + 1));
    xphost::RunSeconds(60);
    StartLearning();  // again: 120 s from now, and no new upload
    xphost::RunSeconds(118);
    run_->PollBoards();
    EXPECT_TRUE(Learning());
    EXPECT_GE(LearningSecondsLeft(), 2);  // the simulator's clock is read as a float
    EXPECT_LE(LearningSecondsLeft(), 3);
    EXPECT_EQ(board.uploadCount(), uploads_ + 1);
    xphost::RunSeconds(3);
    EXPECT_FALSE(Learning());
    EXPECT_EQ(LearningSecondsLeft(), 0);
    ASSERT_TRUE(UploadsReach(board, uploads_ + 2));
    EXPECT_EQ(board.pinModes(), normal_);
}

// A reset (Reconnect, another aircraft's file) ends learning: the boards come back with their
// normal upload.
TEST_F(LearnMode, ResetEndsLearning) {
    boardsim::Board& board = Connect(44);
    StartLearning();
    ASSERT_TRUE(UploadsReach(board, uploads_ + 1));
    ASSERT_NE(board.pinModes(), normal_);
    ResetPlugin();
    EXPECT_FALSE(Learning());
    ASSERT_TRUE(UploadsReach(board, uploads_ + 2));
    EXPECT_EQ(board.pinModes(), normal_);
}

}  // namespace
