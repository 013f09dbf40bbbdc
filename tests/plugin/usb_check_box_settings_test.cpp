// The status window's USB check box when config.ini cannot be written, and when there is none.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>

#include "config/settings.h"
#include "config/status_text.h"
#include "support/plugin_harness.h"
#include "transport/serial_ports.h"
#include "xphost.h"

using ::testing::HasSubstr;
using ::testing::Not;

namespace {

// Runs body in a child process inside a network namespace of its own, with only its loopback up:
// a settings file without an address or port then reaches nothing beyond it. The child's exit
// status: 0 passed, 1 failed, 2 no namespace could be made.
int InOwnNetwork(const std::function<void()>& body) {
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        if (unshare(CLONE_NEWNET) != 0 && unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0) _exit(2);
        const int s = socket(AF_INET, SOCK_DGRAM, 0);
        ifreq loopback{};
        std::strcpy(loopback.ifr_name, "lo");
        loopback.ifr_flags = IFF_UP;
        if (ioctl(s, SIOCSIFFLAGS, &loopback) != 0) _exit(2);
        close(s);
        body();
        std::fflush(nullptr);
        _exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return 1;
    return WEXITSTATUS(status);
}

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
    const int result = InOwnNetwork(FailedRewriteThenMissingFile);
    if (result == 2) GTEST_SKIP() << "no network namespace of its own";
    EXPECT_EQ(result, 0);
}

}  // namespace
