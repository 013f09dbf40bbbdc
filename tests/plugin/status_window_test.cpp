// The menu and the status window, as a person at the screen uses them.
#include "plugin/status_window.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "config/board_tables.h"
#include "config/plugin_folder.h"
#include "config/settings.h"
#include "config/status_text.h"
#include "plugin/lifecycle.h"
#include "simdata/sim_time.h"
#include "support/plugin_harness.h"
#include "xphost.h"

using ::testing::HasSubstr;
using ::testing::Not;

namespace {

int CountOf(const std::string& text, const std::string& part) {
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

// Status builds the window once and its close box hides it; Reconnect from the menu and from the
// button runs one reset each.
TEST(StatusWindow, StatusBuildsItOnceTheCloseBoxHidesItAndReconnectResetsOnce) {
    corvane_test::PluginRun run({});
    EXPECT_EQ(xphost::WindowText(), "");
    ASSERT_TRUE(xphost::ChooseMenu("Corvane/Status"));
    const std::string shown = xphost::WindowText();
    EXPECT_THAT(shown, HasSubstr("Corvane v1.22"));
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
    EXPECT_THAT(widgets, HasSubstr("window \"Corvane v1.22"));
    EXPECT_THAT(widgets, HasSubstr("(400,612,810,102)"));
    EXPECT_THAT(widgets, HasSubstr("caption \"   X-Plane IP: 127.0.0.1\" (410,582,800,570)"));
    EXPECT_THAT(widgets, HasSubstr("(410,142,800,130)"));
    EXPECT_THAT(widgets, HasSubstr("button \"Reconnect\" (700,584,790,564)"));
    EXPECT_THAT(widgets, HasSubstr("Arduino)\" (420,278,430,266)"));
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
    ::testing::internal::CaptureStderr();
    ASSERT_TRUE(xphost::ChooseMenu("Corvane/Reconnect"));
    EXPECT_EQ(CountOf(::testing::internal::GetCapturedStderr(), "Corvane reconnecting..."), 1);
    EXPECT_EQ(BoardCount(), 0);
    EXPECT_EQ(StatusLine(2), "   Connection status - Awaiting connection");
    EXPECT_EQ(StatusLine(0), "   X-Plane IP: 127.0.0.1");
    ::testing::internal::CaptureStderr();
    ASSERT_TRUE(xphost::ClickButton("Reconnect"));
    EXPECT_EQ(CountOf(::testing::internal::GetCapturedStderr(), "Corvane reconnecting..."), 1);
    EXPECT_THAT(xphost::WindowText(), HasSubstr("   X-Plane IP: 127.0.0.1\n"));
}

TEST(StatusWindow, WindowOpenedBeforeTheStartUpShowsTheLinesOnceTheyAreWritten) {
    const std::string folder = corvane_test::MakeTempFolder("corvane-early");
    corvane_test::WriteFile(
        folder + "/config.ini",
        "IP_ADDRESS = 127.0.0.1\nPORT = " + std::to_string(corvane_test::FreeUdpPort()) +
            "\nUSB_DEVICE_COUNT = 0\n");
    xphost::Reset();
    corvane_test::RestoreLoadState();
    xphost::AttachPlugin(
        {XPluginStart, XPluginStop, XPluginEnable, XPluginDisable, XPluginReceiveMessage},
        folder + "/64/lin.xpl");
    xphost::StartPlugin();
    xphost::EnablePlugin();
    ASSERT_TRUE(xphost::ChooseMenu("Corvane/Status"));
    xphost::RunFrame();  // the deferred start-up writes the lines
    EXPECT_THAT(xphost::WindowText(), HasSubstr("   Connection status - Awaiting connection\n"));
    EXPECT_THAT(xphost::WindowText(), HasSubstr("   X-Plane IP: 127.0.0.1\n"));
    xphost::DisablePlugin();
    xphost::StopPlugin();
    xphost::Reset();
    corvane_test::RemoveFolder(folder);
}

TEST(StatusWindow, UsbCheckBoxRewritesTheSettingsAndResets) {
    corvane_test::PluginOptions options;
    options.usbOff = false;
    corvane_test::PluginRun run(options);
    const std::string settingsPath = run.folder() + "/config.ini";
    const std::string original = corvane_test::ReadFile(settingsPath);
    ASSERT_TRUE(xphost::ChooseMenu("Corvane/Status"));
    EXPECT_EQ(xphost::CheckBoxState("Enable USB"), 1);

    ::testing::internal::CaptureStderr();
    ASSERT_TRUE(xphost::SetCheckBox("Enable USB", 0));
    EXPECT_EQ(CountOf(::testing::internal::GetCapturedStderr(), "Corvane reconnecting..."), 1);
    EXPECT_EQ(corvane_test::ReadFile(settingsPath), original + "USB_DEVICE_COUNT = 0\n");
    EXPECT_EQ(USBcountVar, 0);
    EXPECT_EQ(xphost::CheckBoxState("Enable USB"), 0);

    ASSERT_TRUE(xphost::SetCheckBox("Enable USB", 1));
    EXPECT_EQ(corvane_test::ReadFile(settingsPath), original);
    EXPECT_EQ(USBcountVar, 1024);
    EXPECT_EQ(xphost::CheckBoxState("Enable USB"), 1);
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
    const std::string log = ::testing::internal::GetCapturedStderr();
    EXPECT_THAT(log, HasSubstr("Corvane Plugin initialized"));
    boardsim::Board& board = run.AddLanBoard(25, 3);
    board.SendIdentification();
    run.Call(2);
    EXPECT_EQ(board.boardNumber(), 1);
    EXPECT_EQ(xphost::MenuItems("Corvane").size(), 4u);
}

}  // namespace
