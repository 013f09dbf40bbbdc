// The plug-in's spine: folder derivation, the deferred start-up, enable/disable and the reset.
#include "plugin/lifecycle.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "config/board_tables.h"
#include "config/plugin_folder.h"
#include "config/settings.h"
#include "config/status_text.h"
#include "simdata/sim_time.h"
#include "support/plugin_harness.h"
#include "transport/lan_socket.h"
#include "xphost.h"

using ::testing::HasSubstr;
using ::testing::Not;

namespace {

TEST(OwnAddress, ConfiguredAddressCountsOnlyWithSevenCharactersAndThreeDots) {
    EXPECT_EQ(ChooseOwnAddress("1.2.3.4", "127.0.0.1"), "1.2.3.4");
    EXPECT_EQ(ChooseOwnAddress("1.2.3", "127.0.0.1"), "127.0.0.1");
    EXPECT_EQ(ChooseOwnAddress("auto", "127.0.0.1"), "127.0.0.1");
    EXPECT_EQ(ChooseOwnAddress("", "127.0.0.1"), "127.0.0.1");
    EXPECT_EQ(ChooseOwnAddress("1..2.3", "127.0.0.1"), "127.0.0.1");  // six characters
    EXPECT_EQ(ChooseOwnAddress("a.b.c.d", ""), "a.b.c.d");            // no other check is made
    EXPECT_EQ(HostNumberOf("127.0.0.10"), 10);
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
    EXPECT_EQ(log.find("Corvane Plugin initialized"), log.rfind("Corvane Plugin initialized"));
    EXPECT_NE(log.find("Corvane Plugin initialized"), std::string::npos);
    EXPECT_EQ(foldername, run.folder());
    EXPECT_EQ(UDP_PORT, run.port());
    EXPECT_EQ(StatusLine(0), "   X-Plane IP: 127.0.0.1");
    EXPECT_EQ(InstructionsText.size(), 23u);
    EXPECT_EQ(Base_IP, "127.0.0.");
    ASSERT_FALSE(UsedAddr.empty());
    EXPECT_EQ(UsedAddr[0], 1);
    EXPECT_THAT(xphost::MenuItems("Corvane"),
                ::testing::ElementsAre("Status", "Reconnect", "Reload Plugins", "Monitor"));

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

TEST(Lifecycle, EnableAfterDisableRunsOneFullResetInItsLogOrder) {
    corvane_test::PluginRun run({});
    ::testing::internal::CaptureStderr();
    xphost::EnablePlugin();  // already enabled: the host ignores it
    xphost::DisablePlugin();
    xphost::EnablePlugin();
    const std::string log = ::testing::internal::GetCapturedStderr();
    const size_t reconnect = log.find("\n\nCorvane reconnecting...");
    const size_t initialized = log.find("\nCorvane Plugin initialized");
    ASSERT_NE(reconnect, std::string::npos) << log;
    ASSERT_NE(initialized, std::string::npos) << log;
    EXPECT_LT(reconnect, initialized);
    EXPECT_EQ(log.find("Corvane reconnecting", reconnect + 5), std::string::npos);
    EXPECT_EQ(StatusLine(0), "   X-Plane IP: 127.0.0.1");
}

TEST(Lifecycle, ResetGivesSettingsTheirResetValuesButKeepsBaudrate) {
    corvane_test::PluginOptions options;
    options.settings = "USB_BAUD = 57600\nSCANNING_TIMEOUT = 90\n";
    corvane_test::PluginRun run(options);
    EXPECT_EQ(Baudrate, 57600u);
    EXPECT_EQ(ScanTimeout, 90);  // the countdown waits for the first board
    corvane_test::WriteFile(run.folder() + "/config.ini",
                            "IP_ADDRESS = 127.0.0.1\nPORT = " + std::to_string(run.port()) +
                                "\nUSB_DEVICE_COUNT = 0\n");
    ResetPlugin();
    EXPECT_EQ(Baudrate, 57600u);
    EXPECT_EQ(ScanTimeout, 512);
    EXPECT_EQ(USBcountVar, 0);
    EXPECT_TRUE(RESET_EVENTS);
}

}  // namespace
