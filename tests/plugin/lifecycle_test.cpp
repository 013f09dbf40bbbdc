// The plug-in's spine: folder derivation, the deferred start-up, enable/disable and the reset;
// the menu and the status window, as a person at the screen uses them.
#include "plugin/lifecycle.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "XPLMPlugin.h"
#include "config/board_tables.h"
#include "config/plugin_folder.h"
#include "config/settings.h"
#include "config/status_text.h"
#include "exchange/monitor_text.h"
#include "plugin/status_window.h"
#include "support/plugin_harness.h"
#include "transport/lan_socket.h"
#include "xphost.h"

using ::testing::HasSubstr;
using ::testing::Not;

namespace {

using corvane_test::CountOf;

TEST(OwnAddress, ConfiguredAddressCountsOnlyWithSevenCharactersAndThreeDots) {
    EXPECT_EQ(ChooseOwnAddress("1.2.3.4", "127.0.0.1"), "1.2.3.4");
    for (const char* other : {"192.168.1", "auto", "1..2.3"})  // two dots, short, six characters
        EXPECT_EQ(ChooseOwnAddress(other, "127.0.0.1"), "127.0.0.1");
    EXPECT_EQ(ChooseOwnAddress("a.b.c.d", ""), "a.b.c.d");  // no other check is made
    EXPECT_EQ(HostNumberOf("192.168.1.205"), 205);
    EXPECT_EQ(HostNumberOf("10.0.0.x"), -1);
    EXPECT_EQ(HostNumberOf("10.0.0.99999999"), -1);
}

// The first enable leaves the start-up to the first flight loop, which finds the settings in the
// plug-in's folder and writes the status lines; a second start builds no menu and no start-up.
TEST(Lifecycle, OneStartUpFromThePluginFolderAndNoneOnASecondStart) {
    ::testing::internal::CaptureStderr();
    corvane_test::PluginRun run({});
    run.Call(3);
    const std::string log = ::testing::internal::GetCapturedStderr();
    EXPECT_THAT(log, Not(HasSubstr("reconnecting")));
    EXPECT_EQ(CountOf(log, "Corvane Plugin initialized"), 1);
    EXPECT_EQ(foldername, run.folder());
    EXPECT_EQ(UDP_PORT, run.port());
    EXPECT_EQ(StatusLine(0), "   X-Plane IP: 127.0.0.1");
    EXPECT_EQ(Base_IP, "127.0.0.");
    EXPECT_EQ(UsedAddr, std::vector<int>{1});  // the own host number
    EXPECT_THAT(xphost::MenuItems("Corvane"),
                ::testing::ElementsAre("Status", "Reconnect", "Reload Plugins", "Monitor",
                                       "Write dataref list", "Open Studio"));

    ASSERT_EQ(FirstLaunch, 0);
    const auto itemsBefore = xphost::MenuItems("");
    char name[256], signature[256], description[256];
    EXPECT_EQ(XPluginStart(name, signature, description), 1);
    EXPECT_STREQ(name, "Corvane");
    EXPECT_STREQ(signature, "Tamsworth.Corvane");
    EXPECT_EQ(std::string(description).size(), 172u);
    ::testing::internal::CaptureStderr();
    run.Call(50);  // no second deferred start-up was registered
    EXPECT_THAT(::testing::internal::GetCapturedStderr(), Not(HasSubstr("initialized")));
    EXPECT_EQ(xphost::MenuItems(""), itemsBefore);
}

TEST(Lifecycle, WithoutSettingsTheWorkingDirectoryFolderIsUsed) {
    const std::string work = corvane_test::MakeTempFolder("corvane-cwd");
    const std::string fallback = work + "/Resources/plugins/Corvane";
    std::filesystem::create_directories(fallback);
    // The fallback folder's own settings keep the network on loopback.
    corvane_test::WriteFile(
        fallback + "/config.ini",
        "IP_ADDRESS = 127.0.0.1\nPORT = " + std::to_string(corvane_test::FreeUdpPort()) +
            "\nUSB_DEVICE_COUNT = 0\n");
    corvane_test::WriteFile(fallback + "/data.cfg", "*3\n[I]\nD5 sim/none\n");
    char previous[4096];
    ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(chdir(work.c_str()), 0);
    {
        corvane_test::PluginOptions options;
        options.writeSettings = false;
        corvane_test::PluginRun run(options);
        EXPECT_EQ(foldername, fallback);
        EXPECT_EQ(StatusLine(0), "   X-Plane IP: 127.0.0.1");
        ASSERT_EQ(ArduinoID.size(), 1u);
        EXPECT_EQ(ArduinoID[0], 3u);
    }
    ASSERT_EQ(chdir(previous), 0);
    corvane_test::RemoveFolder(work);
}

// Enable after disable runs one full reset, logged in order; a reset gives the settings their
// reset values (from config.ini as it is now) but keeps the baud rate.
TEST(Lifecycle, EnableAfterDisableRunsOneFullResetInItsLogOrder) {
    corvane_test::PluginRun run({"", "USB_BAUD = 57600\nSCANNING_TIMEOUT = 90\n"});
    EXPECT_EQ(Baudrate, 57600u);
    EXPECT_EQ(ScanTimeout, 90);  // the countdown waits for the first board
    corvane_test::WriteFile(run.folder() + "/config.ini",
                            "IP_ADDRESS = 127.0.0.1\nPORT = " + std::to_string(run.port()) +
                                "\nUSB_DEVICE_COUNT = 0\n");
    ::testing::internal::CaptureStderr();
    xphost::EnablePlugin();  // already enabled: the host ignores it
    xphost::DisablePlugin();
    xphost::EnablePlugin();
    const std::string log = ::testing::internal::GetCapturedStderr();
    const size_t reconnect = log.find("Corvane: Corvane reconnecting...\n");
    ASSERT_NE(reconnect, std::string::npos) << log;
    EXPECT_LT(reconnect, log.find("Corvane: Corvane Plugin initialized\n")) << log;
    EXPECT_EQ(log.find("Corvane reconnecting", reconnect + 20), std::string::npos);
    EXPECT_EQ(StatusLine(0), "   X-Plane IP: 127.0.0.1");
    EXPECT_EQ(Baudrate, 57600u);
    EXPECT_EQ(ScanTimeout, 512);
    EXPECT_EQ(USBcountVar, 0);
    EXPECT_TRUE(RESET_EVENTS);
}

// An add-on aircraft's names, written in data.cfg before its plug-in adds them: the dataref an
// input sets, the command an input runs and the dataref an output shows. While missing they are
// logged with their board and line and listed in the monitor; each works within 2 s of its
// registration: after the plane-loaded message, after X-Plane 12's notice of new datarefs, and
// with no message at all. A dataref taken away reads 0 until it is registered again.
TEST(AddOnNames, WorkWithin2sOfTheirRegistrationWithOrWithoutAMessage) {
    struct Row {
        const char* how;
        int simulator;
        int message;  // sent after the registration; 0 none
        int frames;   // frames until everything works (40 a second)
    };
    const Row rows[] = {{"plane loaded", 11, XPLM_MSG_PLANE_LOADED, 1},
                        {"datarefs added", 12, 0, 1},
                        {"no message", 11, 0, 80}};
    // The switch's two positions are a group of one button (press after press).
    const std::string section =
        "[A]\nT D5+\n[I]\nD5+ addon/switch 1\nD5+ addon/switch 2\nB6 addon/horn\n[O]\n"
        "7L 0 addon/lamp\n8L 0 addon/beacon\n";
    for (const Row& row : rows) {
        SCOPED_TRACE(row.how);
        corvane_test::PluginRun run("# the aircraft's own names\n*3\n" + section);
        xphost::SetSimulatorVersion(row.simulator);
        boardsim::Options boardOptions = run.LanBoardOptions(25, 3);
        boardOptions.configSection = section;
        boardOptions.autoGate = true;
        boardsim::Board& board = run.AddBoard(boardOptions);
        ASSERT_TRUE(run.ConnectAll(400));
        ASSERT_TRUE(run.CallUntil([&] { return board.gateLetter() != 0; }, 50));
        run.Call(30);
        for (const char* line :
             {"addon/switch (board 1, data.cfg line 6)", "addon/switch (board 1, data.cfg line 7)",
              "addon/horn (board 1, data.cfg line 8)", "addon/lamp (board 1, data.cfg line 10)"})
            EXPECT_EQ(
                CountOf(xphost::DebugLog(), std::string("Corvane: not found yet: ") + line + "\n"),
                1);
        EXPECT_THAT(MonitorLines(), ::testing::Contains("      not found yet: addon/switch, "
                                                        "addon/horn, addon/lamp, addon/beacon"));
        // The beacon comes first; the others just after it is found, the longest wait. It is sent
        // once found, though its value is the 0 it was taken for.
        ASSERT_EQ(xphost::ExecuteLine("register addon/beacon int rw 0"), "ok");
        ASSERT_TRUE(run.CallUntil(
            [] { return CountOf(xphost::DebugLog(), "found now: addon/beacon") == 1; }, 80));
        EXPECT_TRUE(run.CallUntil([&] { return board.leds().count(8) == 1; }, 5));
        for (const char* line : {"register addon/switch int rw 0", "register command addon/horn",
                                 "register addon/lamp int rw 1"})
            ASSERT_EQ(xphost::ExecuteLine(line), "ok");
        if (row.message) xphost::SendPluginMessage(row.message);
        const int early = row.frames > 1 ? 70 : 0;  // no lookup before 2 s have passed
        run.Call(early);
        EXPECT_EQ(CountOf(xphost::DebugLog(), "found now: addon/lamp"), 0);
        run.Call(row.frames - early);
        EXPECT_TRUE(board.leds()[7]);
        xphost::TakeCommandTrace();
        board.SendInput("D5+");
        board.SendInput("B6");
        run.Call(2);
        EXPECT_EQ(xphost::GetNumber("addon/switch"), 1);
        EXPECT_EQ(xphost::TakeCommandTrace().size(), 2u);  // the horn's begin and end
        board.SendInput("D5+");
        run.Call(2);
        EXPECT_EQ(xphost::GetNumber("addon/switch"), 2);
        EXPECT_THAT(xphost::DebugLog(),
                    HasSubstr("Corvane: found now: addon/lamp (board 1, data.cfg line 10)\n"));
        EXPECT_THAT(MonitorLines(), Not(::testing::Contains(HasSubstr("not found yet"))));

        ASSERT_EQ(xphost::ExecuteLine("unregister addon/lamp"), "ok");
        run.Call(2);
        EXPECT_FALSE(board.leds()[7]);
        ASSERT_EQ(xphost::ExecuteLine("register addon/lamp int rw 1"), "ok");
        run.Call(2);
        EXPECT_TRUE(board.leds()[7]);
    }
}

// A lookup takes at most 64 missing names in one call; the rest wait for the calls after it.
TEST(AddOnNames, ManyMissingNamesAreLookedUpOverSeveralCalls) {
    corvane_test::PluginOptions options("*3\n[I]\n");
    for (int k = 1; k <= 66; ++k) options.dataCfg += "D" + std::to_string(k) + " addon/many 1\n";
    corvane_test::PluginRun run(options);
    xphost::SetSimulatorVersion(12);
    run.AddLanBoard(25, 3);
    ASSERT_TRUE(run.ConnectAll(400));
    run.Call(10);
    ASSERT_EQ(xphost::ExecuteLine("register addon/many int rw 0"), "ok");
    int found = 0;
    for (int call = 0; call < 10 && found < 66; ++call) {
        run.Call(1);
        const int now = CountOf(xphost::DebugLog(), "found now: addon/many");
        EXPECT_LE(now - found, 64);
        found = now;
    }
    EXPECT_EQ(found, 66);
}

// Status builds the window once and its close box hides it; Reconnect from the menu and from the
// button runs one reset each.
TEST(StatusWindow, StatusBuildsItOnceTheCloseBoxHidesItAndReconnectResetsOnce) {
    corvane_test::PluginRun run({});
    EXPECT_EQ(xphost::WindowText(), "");
    ASSERT_TRUE(xphost::ChooseMenu("Corvane/Status"));
    const std::string shown = xphost::WindowText();
    EXPECT_THAT(shown, HasSubstr("   X-Plane IP: 127.0.0.1\n"));
    EXPECT_THAT(shown, HasSubstr("   Last message received from device \n"));
    EXPECT_THAT(shown, HasSubstr("Enable USB"));
    EXPECT_EQ(xphost::RootWidgetCount(), 1);

    ASSERT_TRUE(xphost::PressCloseBox());
    EXPECT_EQ(xphost::WindowText(), "");
    ASSERT_TRUE(xphost::ChooseMenu("Corvane/Status"));
    EXPECT_EQ(xphost::WindowText(), shown);
    ASSERT_TRUE(xphost::ChooseMenu("Corvane/Status"));  // while visible: nothing
    EXPECT_EQ(xphost::RootWidgetCount(), 1);
    EXPECT_EQ(CountOf(xphost::WindowText(), "Corvane v1.22"), 1);
    // The window spans 400..810 across and 612..102 down; the captions run from 582 down to
    // 130, 20 apart; the check box sits on line 15 and the button right of lines 0 and 1.
    const std::string widgets = xphost::WidgetListText();
    for (const char* widget :
         {"window \"Corvane v1.22", "(400,612,810,102)", "(410,142,800,130)",
          "caption \"   X-Plane IP: 127.0.0.1\" (410,582,800,570)",
          "button \"Reconnect\" (700,584,790,564)", "Arduino)\" (420,278,430,266)"})
        EXPECT_THAT(widgets, HasSubstr(widget));
    // The captions follow the lines while the window is open: the search spinner turns.
    run.Call(3);
    EXPECT_NE(xphost::WindowText(), shown);
    EXPECT_THAT(xphost::WindowText(), HasSubstr(StatusLine(3) + "\n"));

    // Reconnect from the menu and from the button runs one reset each.
    boardsim::Board& board = run.AddLanBoard(25, 3);
    board.SendIdentification();
    run.Call(2);
    ASSERT_EQ(BoardCount(), 1);
    ASSERT_EQ(StatusLine(2), "   Connection status - Connected to:");
    ASSERT_TRUE(xphost::ChooseMenu("Corvane/Reconnect"));
    EXPECT_EQ(CountOf(xphost::DebugLog(), "Corvane reconnecting..."), 1);
    EXPECT_EQ(BoardCount(), 0);
    EXPECT_EQ(StatusLine(2), "   Connection status - Awaiting connection");
    ASSERT_TRUE(xphost::ClickButton("Reconnect"));
    EXPECT_EQ(CountOf(xphost::DebugLog(), "Corvane reconnecting..."), 2);
    EXPECT_THAT(xphost::WindowText(), HasSubstr("   X-Plane IP: 127.0.0.1\n"));
}

TEST(StatusWindow, ReloadPluginsGoesThroughStopAndComesBackWorking) {
    corvane_test::PluginRun run({});
    xphost::SetReloadHook(corvane_test::RestoreLoadState);
    ASSERT_TRUE(xphost::ChooseMenu("Corvane/Status"));
    ::testing::internal::CaptureStderr();
    ASSERT_TRUE(xphost::ChooseMenu("Corvane/Reload Plugins"));
    run.Call(1);  // the reload happens at the end of the frame
    EXPECT_EQ(gMenuItem, 0);
    xphost::RunSeconds(1.1);  // deferred start-up, then the main callback
    EXPECT_THAT(::testing::internal::GetCapturedStderr(), HasSubstr("Corvane Plugin initialized"));
    boardsim::Board& board = run.AddLanBoard(25, 3);
    board.SendIdentification();
    run.Call(2);
    EXPECT_EQ(board.boardNumber(), 1);
    EXPECT_EQ(xphost::MenuItems("Corvane").size(), 6u);
}

}  // namespace
