// The monitor window through the host, with a LAN board that sends inputs and gets outputs, and a
// sender that is no board.
#include <arpa/inet.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include "support/plugin_harness.h"
#include "xphost.h"

using ::testing::HasSubstr;
using corvane_test::SendFrom;

namespace {

const char* const kSection =
    "[I]\n"
    "D5 sim/cockpit/electrical/beacon_lights_on 1\n"
    "D6 sim/cockpit/electrical/beacon_lights_on 0\n"
    "[O]\n"
    "13L 0 sim/cockpit/electrical/beacon_lights_on\n";

size_t Bytes(const std::vector<std::string>& messages) {
    size_t n = 0;
    for (const std::string& m : messages) n += m.size();
    return n;
}

TEST(MonitorWindow, ShowsABoardsTrafficItsLastInputAndOutputAndTheDroppedDatagrams) {
    corvane_test::PluginOptions options;
    options.dataCfg = std::string("*3\n") + kSection;
    corvane_test::PluginRun run(options);
    boardsim::Options boardOptions = run.LanBoardOptions(25, 3);
    boardOptions.configSection = kSection;
    boardOptions.autoGate = true;
    boardOptions.recordEmptyFrames = true;
    boardsim::Board& board = run.AddBoard(boardOptions);
    ASSERT_TRUE(run.ConnectAll(400));
    ASSERT_TRUE(run.CallUntil([&] { return board.gateLetter() != 0; }, 50));
    board.SendInput("D5");
    ASSERT_TRUE(run.CallUntil([&] { return board.leds()[13]; }, 50));
    // A sender that is no board: its input is dropped, not applied to board 1.
    SendFrom("127.0.0.40", run.port(), board.EncodeInput("D6"));
    run.Call(2);
    EXPECT_EQ(xphost::GetNumber("sim/cockpit/electrical/beacon_lights_on"), 1);

    ASSERT_TRUE(xphost::ChooseMenu("Corvane/Monitor"));
    const std::string shown = xphost::WindowText();
    // Everything the plug-in sent the board but its probe, everything the board sent.
    const size_t out = board.received().size() - board.probeCount();
    const size_t outBytes = Bytes(board.received()) - 2 * board.probeCount();
    EXPECT_THAT(shown, HasSubstr("Corvane monitor"));
    EXPECT_THAT(shown, HasSubstr("   Datagrams dropped: 1 from unknown senders, 0 from outside the "
                                 "network   Frames discarded: 0\n"));
    EXPECT_THAT(shown, HasSubstr("   1. LAN 127.0.0.25   Arduino #3   connected\n"));
    EXPECT_THAT(shown, HasSubstr("      received " + std::to_string(board.sent().size()) +
                                 " messages (" + std::to_string(Bytes(board.sent())) +
                                 " bytes), sent " + std::to_string(out) + " (" +
                                 std::to_string(outBytes) + " bytes), inputs applied 1\n"));
    EXPECT_THAT(shown, HasSubstr("      last inputs: D5 -> sim/cockpit/electrical/beacon_lights_on"
                                 " = 1\n"));
    EXPECT_THAT(shown, HasSubstr("      last outputs: 13L 1\n"));

    // The text follows once a second, not on every call.
    board.SendInput("D6");
    run.Call(1);
    EXPECT_EQ(xphost::WindowText(), shown);
    run.Call(40);
    EXPECT_THAT(xphost::WindowText(),
                HasSubstr("last inputs: D6 -> sim/cockpit/electrical/beacon_lights_on = 0  |  D5 "
                          "-> sim/cockpit/electrical/beacon_lights_on = 1\n"));
    EXPECT_THAT(xphost::WindowText(), HasSubstr("last outputs: 13L 0\n"));
    ASSERT_TRUE(xphost::PressCloseBox());
    EXPECT_EQ(xphost::WindowText(), "");
}

}  // namespace
