// Inputs end to end: the plug-in runs in the headless host, its data.cfg is read by the real
// configuration reader, and emulated boards send their inputs over loopback UDP.
#include <gtest/gtest.h>

#include "inputs_fixture.h"
#include "support/plugin_harness.h"

namespace corvane_inputs_test {
namespace {

using Strings = std::vector<std::string>;
constexpr const char* kStarter = "sim/starters/engage_starter_1";

const char* const kSection =
    "[A]\n"
    "R D9+\n"
    "Q A3\n"
    "[I]\n"
    "D5 sim/lights/landing_lights_toggle\n"
    "D7+ sim/starters/engage_starter_1\n"
    "E1+ sim/test/heading 1+,0,360\n"
    "E1- sim/test/heading 1-,0,360\n"
    "E2+ sim/test/selector 1+,1,12\n"
    "E2- sim/test/selector 1-,1,12\n"
    "E4+ sim/test/float 0.5+,10\n"
    "A2 sim/test/float 0,100\n"
    "A3 sim/test/double 0,100\n"
    "D9+ sim/test/nav1 0.5+\n"
    "D10 sim/test/int_array 7 3\n"
    "D11 sim/test/int_float 2.5\n"
    "M12 sim/test/nav1 3\n"
    "P12 sim/test/nav1\n"
    "E3/1+ sim/test/float 1\n"
    "E3/2+ sim/test/float 2\n"
    "E3/3+ sim/test/float 3\n"
    "D20 E3>\n"
    "D21 hello\n"
    "[O]\n"
    "5L E3=1\n"
    "6L E3=2\n"
    "7L E3=3\n";

class EndToEnd : public ::testing::Test {
  protected:
    EndToEnd() : run_(Options()) {}
    static corvane_test::PluginOptions Options() {
        corvane_test::PluginOptions options;
        options.dataCfg = std::string("*3\n") + kSection;
        options.extraDatarefs = kHostDatarefs;
        return options;
    }
    void SetUp() override {
        xphost::SetDebugEcho(false);
        boardsim::Options options = run_.LanBoardOptions(25, 3);
        options.configSection = kSection;
        options.autoGate = true;
        board_ = &run_.AddBoard(options);
        ASSERT_TRUE(run_.ConnectAll(400));
        ASSERT_TRUE(run_.CallUntil([this] { return board_->gateLetter() != 0; }, 50));
        run_.Call(2);
        xphost::TakeCommandTrace();
    }
    // The board sends text (tag, and value after a blank) and the plug-in takes it in one call.
    void Send(const std::string& t, const std::string& value = "") {
        board_->SendInput(t, value);
        run_.Call();
    }
    static std::vector<std::string> Commands() {
        std::vector<std::string> events;
        for (const auto& e : xphost::TakeCommandTrace())
            if (e.cause == "plugin" && e.phase != xplm_CommandContinue)
                events.push_back(e.name + ":" + xphost::PhaseName(e.phase));
        return events;
    }
    static double Value(const std::string& name) { return xphost::GetNumber(name); }
    static void Set(const std::string& name, const std::string& v) {
        ASSERT_TRUE(xphost::SetDataref(name, v));
    }
    corvane_test::PluginRun run_;
    boardsim::Board* board_ = nullptr;
};

TEST_F(EndToEnd, StarterBeginsOnPressAndEndsOnRelease) {
    board_->Press("D7");
    run_.Call(5);
    EXPECT_EQ(Commands(), Strings{std::string(kStarter) + ":begin"});
    EXPECT_TRUE(xphost::IsCommandActive(kStarter));
    board_->Press("D7");  // held already: no second begin of the hold
    run_.Call();
    EXPECT_EQ(Commands(),
              (Strings{std::string(kStarter) + ":begin", std::string(kStarter) + ":end"}));
    EXPECT_TRUE(xphost::IsCommandActive(kStarter));
    board_->Release("D7");
    run_.Call();
    EXPECT_EQ(Commands(), Strings{std::string(kStarter) + ":end"});
    EXPECT_FALSE(xphost::IsCommandActive(kStarter));
}

TEST_F(EndToEnd, MemoryStoresAndRecallsAcrossARestart) {
    for (const char* v : {"118.25", "121.5", "124"}) {
        Set("sim/test/nav1", v);
        Send("M12");
    }
    EXPECT_EQ(corvane_test::ReadFile(run_.folder() + "/memory0.txt"), "12 124,121.5,118.25\r\n");
    ASSERT_TRUE(xphost::ChooseMenu("Corvane/Reconnect"));
    ASSERT_TRUE(run_.CallUntil([] { return BoardCount() == 1 && !Datatags[0].empty(); }, 400));
    run_.Call(2);
    std::vector<double> recalled;
    for (int k = 0; k < 4; ++k) {
        Send("P12");
        recalled.push_back(Value("sim/test/nav1"));
    }
    EXPECT_EQ(recalled, (std::vector<double>{124, 121.5, 118.25, 124}));
}

class EndToEndPings : public ::testing::Test {};

TEST_F(EndToEndPings, PingsGoOnlyToLanBoardsWithTheirGateOpenEvery102Calls) {
    corvane_test::PluginOptions o;
    o.dataCfg = "*3\n[I]\nD5 sim/lights/landing_lights_toggle\n*4\n[I]\n";
    corvane_test::PluginRun run(o);
    xphost::SetDebugEcho(false);
    boardsim::Options open = run.LanBoardOptions(25, 3);
    open.autoGate = true;
    boardsim::Board& gated = run.AddBoard(open);
    boardsim::Board& closed = run.AddLanBoard(26, 4);
    ASSERT_TRUE(run.ConnectAll(400));
    ASSERT_TRUE(run.CallUntil([&] { return gated.gateLetter() != 0; }, 50));
    std::vector<int> pingCalls;
    int seen = gated.pingCount();
    for (int call = 1; call <= 400; ++call) {
        run.Call();
        if (gated.pingCount() != seen) {
            seen = gated.pingCount();
            pingCalls.push_back(call);
        }
    }
    ASSERT_GE(pingCalls.size(), 3u);
    for (size_t k = 1; k < pingCalls.size(); ++k) EXPECT_EQ(pingCalls[k] - pingCalls[k - 1], 102);
    EXPECT_EQ(closed.pingCount(), 0);
}

TEST_F(EndToEndPings, RequestForAllInputsOnAirportLoadInTheFirstFiveSeconds) {
    corvane_test::PluginOptions o;
    o.dataCfg = "*3\n[I]\nD5 sim/lights/landing_lights_toggle\n";
    corvane_test::PluginRun run(o);
    xphost::SetDebugEcho(false);
    boardsim::Options open = run.LanBoardOptions(25, 3);
    open.autoGate = true;
    boardsim::Board& board = run.AddBoard(open);
    ASSERT_TRUE(run.ConnectAll(400));
    ASSERT_TRUE(run.CallUntil([&] { return board.gateLetter() != 0; }, 50));
    run.Call(2);  // the plug-in takes the board's "~" + letter: the gate is open
    const char* const kFlightTime = "sim/time/total_flight_time";
    ASSERT_TRUE(xphost::SetDataref(kFlightTime, "4.9"));
    xphost::SendPluginMessage(103);  // XPLM_MSG_AIRPORT_LOADED
    run.PollBoards();
    EXPECT_EQ(board.requestAllCount(), 1);
    ASSERT_TRUE(xphost::SetDataref(kFlightTime, "4.9"));
    xphost::SendPluginMessage(102);  // XPLM_MSG_PLANE_LOADED: no request
    run.PollBoards();
    EXPECT_EQ(board.requestAllCount(), 1);
    ASSERT_TRUE(xphost::SetDataref(kFlightTime, "5.0"));
    xphost::SendPluginMessage(103);
    run.PollBoards();
    EXPECT_EQ(board.requestAllCount(), 1);
}

}  // namespace
}  // namespace corvane_inputs_test
