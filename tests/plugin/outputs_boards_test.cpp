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

// Frames received since `from`, non-empty ones only.
std::vector<std::string> FramesSince(const boardsim::Board& board, size_t from) {
    std::vector<std::string> frames;
    const std::vector<std::string> all = board.received();
    for (size_t k = from; k < all.size(); ++k)
        if (all[k].size() > 2 && all[k][0] == '{') frames.push_back(all[k]);
    return frames;
}

// Three Arduino boards and a panel in one flight: empty frames and the panel's silence, twelve
// changes as nine records then three, a restarted board getting everything again, the own
// datarefs, displays, steppers, PWM and port LEDs.
TEST(OutputBoards, OneFlightWithThreeBoardsAndAPanel) {
    const std::string three =
        "*3\n[O]\n5L 0 test/value\n6 1 test/other\n8L 0 corvane/flaps_in_transition\n"
        "7L 0 corvane/altitude_hold_status\n";
    std::string four = "*4\n[O]\n";
    for (int pin = 20; pin < 32; ++pin) four += std::to_string(pin) + " 2 test/twelve\n";
    const std::string five =
        "*5\n[A]\nL 40\n[O]\n3N 2 test/value 1 4 2\n4G 0 test/other 1 360 2048\n"
        "9P 0 test/value 1 0,10 0,255\n1l 0 test/value\n9l 0 test/value\n";
    corvane_test::PluginOptions options;
    options.dataCfg = three + four + five;
    options.extraDatarefs = std::string(kSources) + "test/twelve float rw 1\n";
    corvane_test::PluginRun run(options);
    boardsim::Board& board = AddGatedBoard(run, 61, 3, three);
    boardsim::Board& many = AddGatedBoard(run, 63, 4, four);
    boardsim::Board& shows = AddGatedBoard(run, 67, 5, five);
    boardsim::Board& panel = run.AddPanel(62, "123L 2 test/other\n");
    ASSERT_TRUE(run.ConnectAll(400));
    ASSERT_TRUE(run.CallUntil(
        [&] {
            return board.floats().count(6) && many.floats().size() == 12 &&
                   shows.portLeds().size() >= 2 && panel.panelValues().count("123L");
        },
        100));
    EXPECT_TRUE(board.leds()[5]);
    EXPECT_FALSE(board.leds()[8]);
    EXPECT_EQ(panel.panelValues()["123L"], "0.5");
    const std::vector<std::string> first = FramesSince(many, 0);
    ASSERT_GE(first.size(), 2u);
    EXPECT_EQ(first[0].size(), 56u);
    EXPECT_EQ(first[1].size(), 20u);
    EXPECT_EQ(first[0][2], 20);
    EXPECT_EQ(first[1][2], 29);
    EXPECT_EQ(shows.ledPorts(), (std::vector<int>{0x80, 0x80}));
    const int empty = board.emptyFrameCount();
    const int panelMessages = panel.messageCount("panel");
    run.Call(10);
    EXPECT_EQ(board.emptyFrameCount(), empty + 10);
    EXPECT_EQ(panel.messageCount("panel"), panelMessages);

    const size_t seen = many.received().size();
    xphost::SetDataref("test/twelve", "3");
    xphost::SetDataref("test/value", "1.5");
    xphost::SetDataref("test/other", "90");
    run.Call(3);
    const std::vector<std::string> later = FramesSince(many, seen);
    ASSERT_EQ(later.size(), 2u);
    EXPECT_EQ(later[0].size(), 56u);
    EXPECT_EQ(later[1].size(), 20u);
    for (const auto& [pin, value] : many.floats()) EXPECT_EQ(value, 3.0f) << pin;
    EXPECT_TRUE(board.leds()[5]);  // 1.5 without decimals is "1"
    EXPECT_EQ(panel.panelValues()["123L"], "90");
    EXPECT_EQ(panel.messageCount("panel"), panelMessages + 1);
    EXPECT_EQ(shows.displays()[3], " 1.50");
    EXPECT_EQ(shows.steppers()[4].first, 512);
    EXPECT_EQ(shows.pwm()[9], 38);
    // With no digits after the point the port LEDs' text stays "1": they stay lit.
    EXPECT_EQ(shows.ledPorts(), (std::vector<int>{0x80, 0x80}));
    xphost::SetDataref("test/value", "0.25");
    run.Call(3);
    EXPECT_FALSE(shows.portLeds()[1]);
    EXPECT_FALSE(shows.portLeds()[9]);
    EXPECT_EQ(shows.ledPorts(), (std::vector<int>{0, 0}));
    EXPECT_EQ(shows.displays()[3], " 0.25");
    xphost::SetDataref("test/value", "2");
    run.Call(2);
    EXPECT_FALSE(board.leds()[5]);  // only a text of exactly 1 lights an LED

    // A restarted board gets identification, upload, gate, and then all its outputs once more.
    xphost::SetDataref("test/value", "1");
    xphost::SetDataref("test/other", "0.5");
    run.Call(3);
    const size_t before = board.received().size();
    board.SendIdentification();
    ASSERT_TRUE(run.CallUntil([&] { return !FramesSince(board, before).empty(); }, 100));
    const std::vector<std::string> again = FramesSince(board, before);
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again[0], std::string("{\x0c\x05)\x06"
                                    "D\x00\x00\x00\x3F\x08(\x07(",
                                    14));

    // The flaps flag, and writes from the simulator's side that change nothing.
    xphost::SetDataref("sim/flightmodel2/controls/flap_handle_deploy_ratio", "0.5");
    xphost::SetDataref("sim/cockpit2/controls/flap_ratio", "0.3");
    run.Call(2);
    EXPECT_TRUE(board.leds()[8]);
    xphost::SetDataref("corvane/flaps_in_transition", "0");
    EXPECT_EQ(xphost::GetNumber("corvane/flaps_in_transition"), 1.0);
    xphost::SetDataref("sim/cockpit2/controls/flap_ratio", "0.5");
    run.Call(2);
    EXPECT_FALSE(board.leds()[8]);

    // The altitude hold: captured steady on; armed at 20 frames per second it changes every 8
    // passes (0.4 s).
    xphost::SetDataref("sim/cockpit2/autopilot/altitude_hold_status", "2");
    run.Call(2);
    EXPECT_TRUE(board.leds()[7]);
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
    xphost::SetDataref("sim/cockpit2/autopilot/altitude_hold_status", "0");
    run.Call(2);
    EXPECT_FALSE(board.leds()[7]);
}

}  // namespace
