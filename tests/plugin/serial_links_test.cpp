// Serial links: probes until a board answers, large panel configurations and bursts of frames,
// on real pseudo-terminals linked into a device folder of the test.
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <memory>

#include "config/board_tables.h"
#include "support/plugin_harness.h"
#include "transport/serial_ports.h"
#include "xphost.h"

namespace {

class SerialLinks : public ::testing::Test {
  protected:
    void SetUp() override {
        devices_ = corvane_test::MakeTempFolder("corvane-dev");
        setenv("CORVANE_DEVICE_DIR", devices_.c_str(), 1);
    }
    void TearDown() override {
        run_.reset();
        board_.reset();
        unsetenv("CORVANE_DEVICE_DIR");
        corvane_test::RemoveFolder(devices_);
    }

    // One board on a pseudo-terminal, then the plug-in started with it.
    corvane_test::PluginRun& Start(boardsim::Options board, const std::string& dataCfg = "") {
        board.serialLink = devices_ + "/ttyACM0";
        board_ = std::make_unique<boardsim::Board>(board);
        EXPECT_TRUE(board_->ok()) << board_->error();
        corvane_test::PluginOptions options;
        options.usbOff = false;
        options.dataCfg = dataCfg;
        run_ = std::make_unique<corvane_test::PluginRun>(options);
        run_->Watch(*board_);
        return *run_;
    }

    // Waits until the plug-in's port holds at least `bytes` (a pty passes them on a moment later).
    static void AwaitPortBytes(int bytes) {
        for (int k = 0; k < 2000 && !comport.empty(); ++k) {
            int waiting = 0;
            if (ioctl(comport[0], FIONREAD, &waiting) == 0 && waiting >= bytes) return;
            usleep(1000);
        }
    }

    std::string devices_;
    std::unique_ptr<boardsim::Board> board_;
    std::unique_ptr<corvane_test::PluginRun> run_;
};

TEST_F(SerialLinks, BoardThatMissesTheFirstProbesIsFound) {
    boardsim::Options options;
    options.boardId = 3;
    options.answerProbe = false;
    corvane_test::PluginRun& run = Start(options);
    boardsim::Board& board = *board_;
    // Silent for 1.5 s after its port opened, as an Arduino that resets then.
    const auto wakes = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
    while (std::chrono::steady_clock::now() < wakes) {
        run.Call();
        usleep(20000);
    }
    const int missed = board.probeCount();
    bool answered = false;
    EXPECT_TRUE(run.CallUntil(
        [&] {
            usleep(20000);
            if (!answered && board.probeCount() > missed) answered = board.SendIdentification();
            return board.boardNumber() == 1;
        },
        200));
}

TEST_F(SerialLinks, LargePanelConfigurationIsRead) {
    boardsim::Options options;
    options.boardId = 0;
    for (int k = 1; k <= 140; ++k)
        options.panelConfig +=
            "A" + std::to_string(k) + " 0 sim/cockpit2/controls/gear_handle_down\n";
    ASSERT_GT(options.panelConfig.size(), 6000u);
    corvane_test::PluginRun& run = Start(options);
    ASSERT_TRUE(run.ConnectAll(200));
    ASSERT_EQ(BoardCount(), 1);
    EXPECT_EQ(OutDevice[0], 0u);
    EXPECT_EQ(OutDrefs[0].size(), 140u);
}

TEST_F(SerialLinks, BurstOfFramesIsHandledWithinThreeCalls) {
    boardsim::Options options;
    options.boardId = 3;
    corvane_test::PluginRun& run =
        Start(options, "*3\n[I]\nE7+ sim/cockpit2/autopilot/altitude_dial_ft 1+,100000\n");
    ASSERT_TRUE(run.ConnectAll(200));
    // 25 frames of 82 bytes: a count byte of 1, then padding to the frame's length.
    const std::string frame = "{" + board_->EncodeInput("E7+", "\x01" + std::string(74, 'x')) + "}";
    ASSERT_EQ(frame.size(), 82u);
    std::string burst;
    for (int k = 0; k < 25; ++k) burst += frame;
    board_->SendUnframed(burst);
    AwaitPortBytes(static_cast<int>(burst.size()));
    run.Call(3);
    EXPECT_EQ(xphost::GetNumber("sim/cockpit2/autopilot/altitude_dial_ft"), 5025);
}

}  // namespace
