// What the simulator and the person at it see of the plug-in: the monitor window through the host,
// with a LAN board that sends inputs and gets outputs, and a sender that is no board; X-Plane's
// Log.txt, where every diagnostic arrives as whole lines of the plug-in's own; and the built
// Corvane.xpl: its exported symbols, and a run through xphost, which loads it with dlopen.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>

#include "exchange/monitor_text.h"
#include "support/host_process.h"
#include "support/plugin_harness.h"
#include "xphost.h"

using ::testing::HasSubstr;
using ::testing::Not;

namespace {

const char* const kSection =
    "[I]\n"
    "D5 sim/cockpit/electrical/beacon_lights_on 1\n"
    "D6 sim/cockpit/electrical/beacon_lights_on 0\n"
    "B7 sim/lights/taxi_lights_on\n"
    "D8 hi\n"
    "[O]\n"
    "13L 0 sim/cockpit/electrical/beacon_lights_on\n"
    "12L 0 sim/cockpit/electrical/beacon_lights_on\n"
    "11L 0 sim/cockpit/electrical/beacon_lights_on\n"
    "10L 0 sim/cockpit/electrical/beacon_lights_on\n";

size_t Bytes(const std::vector<std::string>& messages) {
    size_t n = 0;
    for (const std::string& m : messages) n += m.size();
    return n;
}

TEST(MonitorWindow, ShowsABoardsTrafficItsLastInputAndOutputAndTheDroppedDatagrams) {
    corvane_test::PluginRun run(std::string("*3\n") + kSection);
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
    corvane_test::SendFrom("127.0.0.40", run.port(), board.EncodeInput("D6"));
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
    // Four outputs on one dataref: the ring keeps the last three sent, newest first.
    EXPECT_THAT(shown, HasSubstr("      last outputs: 10L 1  |  11L 1  |  12L 1\n"));

    // The text follows once a second, on the fortieth call, not on every call.
    board.SendInput("D6");
    run.Call(39);
    EXPECT_EQ(xphost::WindowText(), shown);
    run.Call(1);
    EXPECT_THAT(xphost::WindowText(),
                HasSubstr("last inputs: D6 -> sim/cockpit/electrical/beacon_lights_on = 0  |  D5 "
                          "-> sim/cockpit/electrical/beacon_lights_on = 1\n"));
    // Each output holds one place, with the text it was last sent.
    EXPECT_THAT(xphost::WindowText(), HasSubstr("last outputs: 10L 0  |  11L 0  |  12L 0\n"));
    // A command runs; an internal input is named as such.
    for (const char* tag : {"B7", "D8"}) board.SendInput(tag);
    run.Call(40);
    EXPECT_THAT(
        xphost::WindowText(),
        HasSubstr("last inputs: D8 -> internal hi  |  B7 -> runs sim/lights/taxi_lights_on  |"
                  "  D6 -> "));
    // A board read again (here as board ID 4, without outputs) got nothing new yet.
    for (const char* tag : {"D5", "D6", "D5"}) {
        board.SendInput(tag);
        ASSERT_TRUE(run.CallUntil([&] { return board.leds()[13] == (tag[1] == '5'); }, 50));
    }
    board.SendRaw(std::string("|A") + static_cast<char>(124) + "4");
    run.Call(1);
    ASSERT_TRUE(xphost::ChooseMenu("Corvane/Monitor"));
    EXPECT_THAT(xphost::WindowText(), HasSubstr("last outputs: 10L 1  |  11L 1  |  12L 1\n"));
    // Five inputs were applied: the ring keeps the last three, newest first (shown by tag only,
    // as the board has no inputs now).
    EXPECT_THAT(xphost::WindowText(), HasSubstr("last inputs: D5  |  D6  |  D5\n"));
    ASSERT_TRUE(xphost::PressCloseBox());
    EXPECT_EQ(xphost::WindowText(), "");
}

// A name of the given length, distinct by its last character.
std::string NameOfLength(size_t length, char last) {
    return "addon/" + std::string(length - 7, 'n') + last;
}

// Long texts in the monitor's lines: a board's value is shown up to 24 characters, then cut with
// "...", a byte no terminal shows as '?'; the names not found yet fill their line up to 110
// characters, each cut at 55, and the rest are counted.
TEST(MonitorWindow, LongTextsAreCutWhereTheLineEnds) {
    const struct {
        std::vector<size_t> names;  // lengths of the missing names, in data.cfg order
        std::string shown;          // the names as the line shows them, after the heading
    } rows[] = {
        {{35, 35, 35},
         " " + NameOfLength(35, 'a') + ", " + NameOfLength(35, 'b') + ", " + NameOfLength(35, 'c')},
        {{35, 35, 35, 8},
         " " + NameOfLength(35, 'a') + ", " + NameOfLength(35, 'b') + ", " + NameOfLength(35, 'c') +
             " and 1 more"},
        {{35, 35, 36}, " " + NameOfLength(35, 'a') + ", " + NameOfLength(35, 'b') + " and 1 more"},
        {{56, 55}, " " + NameOfLength(56, 'a').substr(0, 55) + "... and 1 more"},
        {{55, 51}, " " + NameOfLength(55, 'a') + ", " + NameOfLength(51, 'b')},
    };
    for (const auto& row : rows) {
        corvane_test::PluginOptions options(std::string("*3\n") + kSection);
        for (size_t k = 0; k < row.names.size(); ++k)
            options.dataCfg += std::to_string(20 + k) + "L 0 " +
                               NameOfLength(row.names[k], static_cast<char>('a' + k)) + "\n";
        corvane_test::PluginRun run(options);
        boardsim::Board& board = run.AddLanBoard(25, 3);
        ASSERT_TRUE(run.ConnectAll(200));
        const std::string value23 = "1" + std::string(22, '0');
        using Texts = std::pair<std::string, std::string>;  // sent, shown
        for (const auto& [sent, shown] : {Texts{value23, value23},
                                          {value23 + "0", value23 + "0"},
                                          {value23 + "00", value23 + "0..."},
                                          {"\x1F!~\x7F", "?!~?"}}) {
            board.SendInput("D5", sent);
            run.Call(2);
            EXPECT_THAT(MonitorLines(),
                        ::testing::Contains(HasSubstr("last inputs: D5 " + shown + " -> ")));
        }
        EXPECT_THAT(MonitorLines(), ::testing::Contains("      not found yet:" + row.shown));
    }
}

// The standard error stream gets the same whole lines as Log.txt.
TEST(LogFile, DiagnosticsArriveAsWholeCorvaneLines) {
    corvane_test::PluginOptions options(
        "*3\n[A]\nL 21\n[I]\nD5 sim/lights/landing_lights_toggle\n");
    ::testing::internal::CaptureStderr();
    std::string log;
    {
        corvane_test::PluginRun run(options);
        run.AddLanBoard(25, 3);
        EXPECT_TRUE(run.ConnectAll(400));
        log = xphost::DebugLog();
    }
    EXPECT_EQ(::testing::internal::GetCapturedStderr().substr(0, log.size()), log);
    for (const char* line :
         {"Corvane: Corvane Plugin initialized\n", "Corvane: Reading config for board #3\n",
          "Corvane: LED Port pin: 21\n", "Corvane: Sending config\n",
          "Corvane: Config sent: 61 bytes\n"})
        EXPECT_NE(log.find(line), std::string::npos) << line;
    // Every line is finished and carries the prefix; the texts' leading line feeds leave no empty
    // lines behind.
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), '\n');
    std::istringstream lines(log);
    for (std::string text; std::getline(lines, text);)
        EXPECT_EQ(text.rfind("Corvane: ", 0), 0u) << text;
}

using corvane_test::RunCommand;

TEST(LoadedPlugin, ExportsExactlyTheFiveEntryPoints) {
    std::string symbols;
    ASSERT_EQ(RunCommand("nm -D --defined-only '" CORVANE_PLUGIN_XPL "'", &symbols), 0);
    std::set<std::string> exported;
    std::istringstream lines(symbols);
    std::string address, kind, name;
    while (lines >> address >> kind >> name) exported.insert(name);
    EXPECT_EQ(exported, (std::set<std::string>{"XPluginStart", "XPluginStop", "XPluginEnable",
                                               "XPluginDisable", "XPluginReceiveMessage"}));

    std::string undefined;
    ASSERT_EQ(RunCommand("nm -D --undefined-only '" CORVANE_PLUGIN_XPL "'", &undefined), 0);
    EXPECT_THAT(undefined, HasSubstr("XPLMRegisterFlightLoopCallback"));
    EXPECT_THAT(undefined, HasSubstr("XPCreateWidget"));
}

// The built Corvane.xpl, freshly loaded by xphost: the status window opened before the deferred
// start-up shows its lines once they are written, the monitor's counters start at zero, and a
// board on the network is found, configured from the profile of the aircraft of the start, and
// read.
TEST(LoadedPlugin, RunsInXphostThroughDlopen) {
    corvane_test::HostProcess host(
        {{CORVANE_XPHOST}, CORVANE_PLUGIN_XPL, "lin_x64"},
        {"*3\n[I]\nD5 sim/lights/taxi_lights_toggle\n", "USB_DEVICE_COUNT = 0\n", "",
         "Aircraft/Boeing 737-800/b738.acf"});
    ASSERT_TRUE(host.running());
    std::filesystem::create_directories(host.folder() + "/profiles");
    corvane_test::WriteFile(host.folder() + "/profiles/B738.cfg",
                            "*3\n[I]\nD5 sim/lights/landing_lights_toggle\n");
    EXPECT_THAT(host.Ask("items Corvane"), HasSubstr("Status\nReconnect\nReload Plugins\n"));
    host.Ask("menu Corvane/Status");
    host.Ask("run 2");
    std::string window = host.Ask("window");
    EXPECT_THAT(window, HasSubstr("Corvane v1.22"));
    EXPECT_THAT(window, HasSubstr("   X-Plane IP: 127.0.0.1\n"));
    EXPECT_THAT(window, HasSubstr("   Connection status - Awaiting connection\n"));
    host.Ask("menu Corvane/Monitor");
    EXPECT_THAT(host.Ask("window"), HasSubstr(" from outside the network   Frames discarded: 0\n"));

    boardsim::Board& board = host.AddLanBoard(25, 3, {});
    ASSERT_TRUE(host.CallUntil([&] { return board.boardNumber() == 1; }));
    host.Ask("trace");
    board.SendInput("D5");
    host.Call(2);
    EXPECT_THAT(host.Ask("trace"), HasSubstr("sim/lights/landing_lights_toggle begin plugin"));
    EXPECT_THAT(host.Ask("log"),
                HasSubstr("Corvane: configuration profiles/B738.cfg for aircraft b738\n"));
    EXPECT_EQ(host.Ask("aircraft"), "aircraft Aircraft/Boeing 737-800/b738.acf\n");
    std::string log;
    EXPECT_EQ(host.Quit(&log), 0);
    EXPECT_THAT(log, HasSubstr("Corvane Plugin initialized"));
}

// The built Corvane.xpl freshly loaded, with a config.ini that names only the address and the
// port (every test's network safety): each other key takes its default. USB_DEVICE_COUNT 1024:
// the serial transport is on (its box checked, the device folder scanned); RESET_EVENTS on: an
// airport loaded in the first 5 s of flight asks the boards for all inputs; SCANNING_TIMEOUT 512:
// the search ends 512 calls after the first board line; USB_FIX off: then the ports without a
// board are closed.
TEST(LoadedPlugin, SettingsLeftOutTakeTheirDefaults) {
    const std::string devices = corvane_test::MakeTempFolder("corvane-dev");
    setenv("CORVANE_DEVICE_DIR", devices.c_str(), 1);
    {
        corvane_test::HostProcess host(
            {{CORVANE_XPHOST}, CORVANE_PLUGIN_XPL, "lin_x64"},
            {"*3\n[I]\nD5 sim/cockpit/electrical/beacon_lights_on 1\n", "", "", ""});
        ASSERT_TRUE(host.running());
        host.Ask("menu Corvane/Status");
        EXPECT_THAT(host.Ask("widgets"), HasSubstr("state 1"));
        boardsim::Options open;
        open.autoGate = true;
        boardsim::Board& board = host.AddLanBoard(25, 3, open);
        ASSERT_TRUE(host.CallUntil([&] { return board.gateLetter() != 0; }));
        host.Call(2);
        host.Ask("message 103");
        host.Call(2);
        EXPECT_EQ(board.requestAllCount(), 1);
        EXPECT_THAT(host.Ask("log"), HasSubstr("Corvane: Requesting all input values from LAN\n"));
        host.Ask("frames 480");
        EXPECT_THAT(host.Ask("log"), Not(HasSubstr("Scanning stopped")));
        host.Ask("frames 60");
        const std::string log = host.Ask("log");
        EXPECT_THAT(log, HasSubstr("Corvane: Scanning stopped."));
        EXPECT_THAT(log, HasSubstr("Corvane: Clearing unused serial ports\n"));
        EXPECT_THAT(log, Not(HasSubstr("USB_FIX")));
    }
    unsetenv("CORVANE_DEVICE_DIR");
    corvane_test::RemoveFolder(devices);
}

}  // namespace
