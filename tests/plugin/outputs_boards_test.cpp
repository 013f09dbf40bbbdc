// The output pass end to end: the plug-in in the host, emulated boards on loopback reading what
// it sends, and the outputs configured in data.cfg.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/board_tables.h"
#include "support/plugin_harness.h"
#include "xphost.h"

namespace {

const char* const kSources =
    "sim/cockpit2/controls/flap_ratio float rw 0\n"
    "sim/flightmodel2/controls/flap_handle_deploy_ratio float rw 0\n"
    "sim/cockpit2/autopilot/altitude_hold_status int rw 0\n"
    "test/value float rw 1\n"
    "test/other float rw 0.5\n";

// An Arduino board at 127.0.0.host that opens its output gate after the upload.
boardsim::Board& AddGatedBoard(corvane_test::PluginRun& run, int host, int id,
                               const std::string& section) {
    boardsim::Options options = run.LanBoardOptions(host, id);
    options.configSection = section;
    options.autoGate = true;
    options.recordEmptyFrames = true;
    return run.AddBoard(options);
}

// The options of a run whose data.cfg is the one board section, with the test datarefs.
corvane_test::PluginOptions SectionRun(const std::string& section) {
    corvane_test::PluginOptions options;
    options.dataCfg = section;
    options.extraDatarefs = kSources;
    return options;
}

// Frames received since `from`, non-empty ones only.
std::vector<std::string> FramesSince(const boardsim::Board& board, size_t from) {
    std::vector<std::string> frames;
    const std::vector<std::string> all = board.received();
    for (size_t k = from; k < all.size(); ++k)
        if (all[k].size() > 2 && all[k][0] == '{') frames.push_back(all[k]);
    return frames;
}

TEST(OutputBoards, ArduinoBoardGetsEmptyFramesPanelNothing) {
    const std::string section = "*3\n[O]\n5L 0 test/value\n";
    corvane_test::PluginRun run(SectionRun(section));
    boardsim::Board& board = AddGatedBoard(run, 61, 3, section);
    boardsim::Board& panel = run.AddPanel(62, "123L 2 test/other\n");
    ASSERT_TRUE(run.ConnectAll(400));
    ASSERT_TRUE(run.CallUntil([&] { return board.leds().count(5) == 1; }, 100));
    ASSERT_TRUE(run.CallUntil([&] { return panel.panelValues().count("123L") == 1; }, 100));
    EXPECT_TRUE(board.leds()[5]);
    EXPECT_EQ(panel.panelValues()["123L"], "0.5");

    const int empty = board.emptyFrameCount();
    const int panelMessages = panel.messageCount("panel");
    run.Call(10);
    EXPECT_EQ(board.emptyFrameCount(), empty + 10);
    EXPECT_EQ(panel.messageCount("panel"), panelMessages);

    xphost::SetDataref("test/value", "2");
    xphost::SetDataref("test/other", "0.75");
    run.Call(2);
    EXPECT_FALSE(board.leds()[5]);  // only exactly 1.0 lights an LED
    EXPECT_EQ(panel.panelValues()["123L"], "0.75");
    EXPECT_EQ(panel.messageCount("panel"), panelMessages + 1);
}

TEST(OutputBoards, TwelveChangedRecordsGoOutAsNineThenThree) {
    std::string section = "*4\n[O]\n";
    for (int pin = 20; pin < 32; ++pin) section += std::to_string(pin) + " 2 test/value\n";
    corvane_test::PluginRun run(SectionRun(section));
    boardsim::Board& board = AddGatedBoard(run, 63, 4, section);
    ASSERT_TRUE(run.ConnectAll(400));
    ASSERT_TRUE(run.CallUntil([&] { return board.floats().size() == 12; }, 100));
    const std::vector<std::string> frames = FramesSince(board, 0);
    ASSERT_GE(frames.size(), 2u);
    EXPECT_EQ(frames[0].size(), 56u);
    EXPECT_EQ(frames[1].size(), 20u);
    EXPECT_EQ(frames[0][2], 20);
    EXPECT_EQ(frames[1][2], 29);

    // Twelve changes in one call: nine in it, three in the next.
    const size_t seen = board.received().size();
    xphost::SetDataref("test/value", "3");
    run.Call(3);
    const std::vector<std::string> later = FramesSince(board, seen);
    ASSERT_EQ(later.size(), 2u);
    EXPECT_EQ(later[0].size(), 56u);
    EXPECT_EQ(later[1].size(), 20u);
    for (const auto& [pin, value] : board.floats()) EXPECT_EQ(value, 3.0f) << pin;
}

TEST(OutputBoards, ReidentifiedBoardGetsEveryOutputAgain) {
    const std::string section = "*3\n[O]\n5L 0 test/value\n6 1 test/other\n";
    corvane_test::PluginRun run(SectionRun(section));
    boardsim::Board& board = AddGatedBoard(run, 64, 3, section);
    ASSERT_TRUE(run.ConnectAll(400));
    ASSERT_TRUE(run.CallUntil([&] { return board.floats().count(6) == 1; }, 100));
    run.Call(5);
    const size_t seen = board.received().size();
    ASSERT_TRUE(FramesSince(board, seen).empty());

    // The board restarts: identification, upload, gate, and then all its outputs once more.
    board.SendIdentification();
    ASSERT_TRUE(run.CallUntil([&] { return !FramesSince(board, seen).empty(); }, 100));
    const std::vector<std::string> frames = FramesSince(board, seen);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0], std::string("{\x08\x05)\x06"
                                     "D\x00\x00\x00\x3F",
                                     10));
}

TEST(OutputBoards, FlapsInTransitionLightsAnLed) {
    const std::string section = "*3\n[O]\n5L 0 corvane/flaps_in_transition\n";
    corvane_test::PluginRun run(SectionRun(section));
    boardsim::Board& board = AddGatedBoard(run, 65, 3, section);
    ASSERT_TRUE(run.ConnectAll(400));
    ASSERT_TRUE(run.CallUntil([&] { return board.leds().count(5) == 1; }, 100));
    EXPECT_FALSE(board.leds()[5]);

    xphost::SetDataref("sim/flightmodel2/controls/flap_handle_deploy_ratio", "0.5");
    xphost::SetDataref("sim/cockpit2/controls/flap_ratio", "0.3");
    run.Call(2);
    EXPECT_TRUE(board.leds()[5]);
    EXPECT_EQ(xphost::GetNumber("corvane/flaps_in_transition"), 1.0);
    // Writes from the simulator's side change nothing.
    xphost::SetDataref("corvane/flaps_in_transition", "0");
    EXPECT_EQ(xphost::GetNumber("corvane/flaps_in_transition"), 1.0);
    xphost::SetDataref("sim/cockpit2/controls/flap_ratio", "0.5");
    run.Call(2);
    EXPECT_FALSE(board.leds()[5]);
    EXPECT_EQ(xphost::GetNumber("corvane/flaps_in_transition"), 0.0);
}

TEST(OutputBoards, AltitudeHoldBlinksAtTheFramePeriod) {
    const std::string section = "*3\n[O]\n7L 0 corvane/altitude_hold_status\n";
    corvane_test::PluginRun run(SectionRun(section));
    boardsim::Board& board = AddGatedBoard(run, 66, 3, section);
    ASSERT_TRUE(run.ConnectAll(400));
    ASSERT_TRUE(run.CallUntil([&] { return board.leds().count(7) == 1; }, 100));
    xphost::SetDataref("sim/cockpit2/autopilot/altitude_hold_status", "2");
    run.Call(2);
    EXPECT_TRUE(board.leds()[7]);  // captured: steady on

    // Armed at 20 frames per second, one pass per frame: the LED changes every 8 passes (0.4 s).
    xphost::SetFrameRate(20.0);
    xphost::SetDataref("sim/cockpit2/autopilot/altitude_hold_status", "1");
    std::vector<int> changes;
    bool lit = board.leds()[7];
    for (int frame = 1; frame <= 60; ++frame) {
        run.Call();
        if (board.leds()[7] != lit) changes.push_back(frame);
        lit = board.leds()[7];
    }
    ASSERT_GE(changes.size(), 4u);
    for (size_t k = 2; k < changes.size(); ++k) EXPECT_EQ(changes[k] - changes[k - 1], 8);
    const double shown = xphost::GetNumber("corvane/altitude_hold_status");
    xphost::SetDataref("corvane/altitude_hold_status", shown == 0.0 ? "1" : "0");
    EXPECT_EQ(xphost::GetNumber("corvane/altitude_hold_status"), shown);

    xphost::SetDataref("sim/cockpit2/autopilot/altitude_hold_status", "0");
    run.Call(2);
    EXPECT_FALSE(board.leds()[7]);
}

TEST(OutputBoards, DisplaysSteppersAndPortLeds) {
    const std::string section =
        "*5\n[A]\nL 40\n[O]\n"
        "3N 2 test/value 1 4 2\n"
        "4G 0 test/other 1 360 2048\n"
        "9P 0 test/value 1 0,10 0,255\n"
        "1l 0 test/value\n"
        "9l 0 test/value\n";
    corvane_test::PluginRun run(SectionRun(section));
    boardsim::Board& board = AddGatedBoard(run, 67, 5, section);
    ASSERT_TRUE(run.ConnectAll(400));
    ASSERT_TRUE(run.CallUntil([&] { return board.portLeds().size() >= 2; }, 100));
    EXPECT_EQ(board.ledPorts(), (std::vector<int>{0x80, 0x80}));
    xphost::SetDataref("test/value", "1.5");
    xphost::SetDataref("test/other", "90");
    run.Call(3);
    EXPECT_EQ(board.displays()[3], " 1.50");
    EXPECT_EQ(board.steppers()[4].first, 512);
    EXPECT_EQ(board.pwm()[9], 38);
    // With no digits after the point the port LEDs' text stays "1": they stay lit.
    EXPECT_EQ(board.ledPorts(), (std::vector<int>{0x80, 0x80}));
    xphost::SetDataref("test/value", "0.25");
    run.Call(3);
    EXPECT_FALSE(board.portLeds()[1]);
    EXPECT_FALSE(board.portLeds()[9]);
    EXPECT_EQ(board.ledPorts(), (std::vector<int>{0, 0}));
    EXPECT_EQ(board.displays()[3], " 0.25");
}

}  // namespace
