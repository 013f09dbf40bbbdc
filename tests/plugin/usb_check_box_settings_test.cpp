// The status window's USB check box when config.ini cannot be written, and when there is none.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>

#include "config/settings.h"
#include "config/status_text.h"
#include "support/plugin_harness.h"
#include "transport/serial_ports.h"
#include "xphost.h"

using ::testing::HasSubstr;
using ::testing::Not;

namespace {

void FailedRewriteThenMissingFile() {
    const std::string devices = corvane_test::MakeTempFolder("corvane-dev");
    setenv("CORVANE_DEVICE_DIR", devices.c_str(), 1);
    boardsim::Options serial;
    serial.serialLink = devices + "/ttyUSB0";
    serial.boardId = 4;
    boardsim::Board board(serial);
    ASSERT_TRUE(board.ok()) << board.error();
    corvane_test::PluginOptions options;
    options.usbOff = false;
    auto run = std::make_unique<corvane_test::PluginRun>(options);
    run->Watch(board);
    ASSERT_TRUE(run->ConnectAll(200));
    ASSERT_TRUE(xphost::ChooseMenu("Corvane/Status"));
    const std::string settingsPath = run->folder() + "/config.ini";
    const std::string settings = corvane_test::ReadFile(settingsPath);

    // A folder where the new file would be written first makes the rewrite fail.
    ASSERT_EQ(mkdir((settingsPath + ".tmp").c_str(), 0755), 0);
    const size_t logged = xphost::DebugLog().size();
    ASSERT_TRUE(xphost::SetCheckBox("Enable USB", 0));
    EXPECT_EQ(xphost::CheckBoxState("Enable USB"), 1);
    EXPECT_EQ(StatusLine(13),
              "   Last message received from device Corvane: config.ini could not be written, USB "
              "stays on");
    EXPECT_THAT(xphost::WindowText(), HasSubstr("could not be written"));
    const std::string log = xphost::DebugLog().substr(logged);
    EXPECT_THAT(log, HasSubstr("Corvane: Could not write " + settingsPath + "\n"));
    EXPECT_THAT(log, Not(HasSubstr("reconnecting")));
    EXPECT_EQ(corvane_test::ReadFile(settingsPath), settings);
    ASSERT_EQ(comport.size(), 1u);
    EXPECT_GE(comport[0], 0);

    // Without config.ini, clearing the box creates it with the one line and frees the port.
    rmdir((settingsPath + ".tmp").c_str());
    ASSERT_EQ(unlink(settingsPath.c_str()), 0);
    ASSERT_TRUE(xphost::SetCheckBox("Enable USB", 0));
    EXPECT_EQ(corvane_test::ReadFile(settingsPath), "USB_DEVICE_COUNT = 0\n");
    EXPECT_THAT(xphost::DebugLog().substr(logged), HasSubstr("reconnecting"));
    EXPECT_EQ(USBcountVar, 0);
    EXPECT_TRUE(comport.empty());
    EXPECT_EQ(xphost::CheckBoxState("Enable USB"), 0);

    run.reset();
    unsetenv("CORVANE_DEVICE_DIR");
    corvane_test::RemoveFolder(devices);
}

TEST(UsbCheckBoxSettings, FailedRewriteChangesNothingAndAMissingFileIsCreated) {
    const int result = corvane_test::InOwnNetwork("", FailedRewriteThenMissingFile);
    if (result == 77) GTEST_SKIP() << "no network namespace of its own";
    EXPECT_EQ(result, 0);
}

}  // namespace
