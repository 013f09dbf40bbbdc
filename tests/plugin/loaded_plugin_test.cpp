// The built Corvane.xpl as the simulator sees it: its exported symbols, and a run through xphost,
// which loads it with dlopen.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>

#include "support/plugin_harness.h"

using ::testing::HasSubstr;

namespace {

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

TEST(LoadedPlugin, RunsInXphostThroughDlopen) {
    const std::string root = corvane_test::MakeTempFolder("corvane-xpl");
    const std::string folder = root + "/Resources/plugins/Corvane";
    std::filesystem::create_directories(folder + "/lin_x64");
    std::filesystem::copy_file(CORVANE_PLUGIN_XPL, folder + "/lin_x64/Corvane.xpl");
    corvane_test::WriteFile(
        folder + "/config.ini",
        "IP_ADDRESS = 127.0.0.1\nPORT = " + std::to_string(corvane_test::FreeUdpPort()) +
            "\nUSB_DEVICE_COUNT = 0\n");
    corvane_test::WriteFile(root + "/script.txt",
                            "run 2\nitems Corvane\nmenu Corvane/Status\nwindow\nquit\n");
    std::string output;
    const int status =
        RunCommand("'" CORVANE_XPHOST "' --plugin '" + folder + "/lin_x64/Corvane.xpl' --script '" +
                       root + "/script.txt' " + "</dev/null 2>'" + root + "/stderr.txt'",
                   &output);
    const std::string errors = corvane_test::ReadFile(root + "/stderr.txt");
    EXPECT_EQ(status, 0) << errors;
    EXPECT_THAT(errors, HasSubstr("Corvane Plugin initialized"));
    EXPECT_THAT(output, HasSubstr("Status\nReconnect\nReload Plugins\n"));
    EXPECT_THAT(output, HasSubstr("Corvane v1.22"));
    EXPECT_THAT(output, HasSubstr("   X-Plane IP: 127.0.0.1"));
    EXPECT_THAT(output, HasSubstr("Reconnect"));
    corvane_test::RemoveFolder(root);
}

}  // namespace
