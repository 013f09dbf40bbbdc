// Inputs end to end: the plug-in runs in the headless host, its data.cfg is read by the real
// configuration reader, and emulated boards send their inputs over loopback UDP.
#include <gtest/gtest.h>

#include "inputs_fixture.h"
#include "support/plugin_harness.h"

namespace corvane_inputs_test {
namespace {

using Strings = std::vector<std::string>;

TEST(InputsEndToEnd, HeldStarterMemoryAcrossAResetPingsAndTheRequestForAllInputs) {
    const char* const section =
        "[I]\nD7+ sim/starters/engage_starter_1\nM12 sim/test/nav1 3\nP12 sim/test/nav1\n";
    corvane_test::PluginOptions o;
    o.dataCfg = std::string("*3\n") + section + "*4\n[I]\n";
    o.extraDatarefs = kHostDatarefs;
    corvane_test::PluginRun run(o);
    boardsim::Options open = run.LanBoardOptions(25, 3);
    open.autoGate = true;
    boardsim::Board& board = run.AddBoard(open);
    boardsim::Board& closed = run.AddLanBoard(26, 4);
    ASSERT_TRUE(run.ConnectAll(400));
    ASSERT_TRUE(run.CallUntil([&] { return board.gateLetter() != 0; }, 50));
    run.Call(2);
    const auto commands = [] {
        Strings events;
        for (const auto& e : xphost::TakeCommandTrace())
            if (e.cause == "plugin" && e.phase != xplm_CommandContinue)
                events.push_back(e.name + ":" + xphost::PhaseName(e.phase));
        return events;
    };
    const std::string starter = "sim/starters/engage_starter_1";
    commands();
    board.Press("D7");
    run.Call(5);
    EXPECT_EQ(commands(), Strings{starter + ":begin"});
    board.Press("D7");  // held already: no second begin of the hold
    run.Call();
    EXPECT_EQ(commands(), (Strings{starter + ":begin", starter + ":end"}));
    EXPECT_TRUE(xphost::IsCommandActive(starter));
    board.Release("D7");
    run.Call();
    EXPECT_EQ(commands(), Strings{starter + ":end"});
    EXPECT_FALSE(xphost::IsCommandActive(starter));

    for (const char* v : {"118.25", "121.5", "124"}) {
        ASSERT_TRUE(xphost::SetDataref("sim/test/nav1", v));
        board.SendInput("M12");
        run.Call();
    }
    EXPECT_EQ(corvane_test::ReadFile(run.folder() + "/memory0.txt"), "12 124,121.5,118.25\r\n");
    board.Press("D7");
    run.Call();
    ASSERT_TRUE(xphost::ChooseMenu("Corvane/Reconnect"));  // ends the held starter
    EXPECT_FALSE(xphost::IsCommandActive(starter));
    ASSERT_TRUE(run.CallUntil([] { return BoardCount() == 2 && !Datatags[0].empty(); }, 400));
    ASSERT_TRUE(run.CallUntil([&] { return AllowOutput[0]; }, 100));
    std::vector<double> recalled;
    for (int k = 0; k < 4; ++k) {
        board.SendInput("P12");
        run.Call();
        recalled.push_back(xphost::GetNumber("sim/test/nav1"));
    }
    EXPECT_EQ(recalled, (std::vector<double>{124, 121.5, 118.25, 124}));

    // Pings every 102 calls, only to boards whose gate is open.
    std::vector<int> pingCalls;
    int seen = board.pingCount();
    for (int call = 1; call <= 400; ++call) {
        run.Call();
        if (board.pingCount() != seen) pingCalls.push_back(call);
        seen = board.pingCount();
    }
    ASSERT_GE(pingCalls.size(), 3u);
    for (size_t k = 1; k < pingCalls.size(); ++k) EXPECT_EQ(pingCalls[k] - pingCalls[k - 1], 102);
    EXPECT_EQ(closed.pingCount(), 0);

    // The request for all inputs: on an airport load in the first five seconds of flight only.
    const int before = board.requestAllCount();
    const struct {
        const char* flightTime;
        int message;
        int requests;
    } rows[] = {{"4.9", 103, 1}, {"4.9", 102, 1}, {"5.0", 103, 1}, {"0", 103, 2}};
    for (const auto& row : rows) {
        ASSERT_TRUE(xphost::SetDataref("sim/time/total_flight_time", row.flightTime));
        xphost::SendPluginMessage(row.message);
        run.PollBoards();
        EXPECT_EQ(board.requestAllCount() - before, row.requests) << row.flightTime;
    }
    EXPECT_EQ(closed.requestAllCount(), 0);
}

}  // namespace
}  // namespace corvane_inputs_test
