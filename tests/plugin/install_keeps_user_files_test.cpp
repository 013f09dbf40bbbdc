// `cmake --install` into X-Plane's plug-ins folder: the plug-in in X-Plane 11's layout, stripped,
// and a second install that keeps the builder's data.cfg and config.ini.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "support/plugin_harness.h"

using ::testing::HasSubstr;

namespace {

namespace fs = std::filesystem;

// Installs the build tree that holds the built plug-in (…/build/Corvane/lin_x64/Corvane.xpl)
// into prefix; the install's output, or "" when it failed.
std::string Install(const std::string& prefix) {
    const fs::path build = fs::path(CORVANE_PLUGIN_XPL).parent_path().parent_path().parent_path();
    const std::string command =
        "cmake --install '" + build.string() + "' --prefix '" + prefix + "' 2>&1";
    std::string output;
    return corvane_test::RunCommand(command, &output) == 0 ? output : "";
}

TEST(InstallKeepsUserFiles, SecondInstallKeepsEditedFilesAndLaysTheExamplesBeside) {
    const std::string prefix = corvane_test::MakeTempFolder("corvane-install");
    const std::string folder = prefix + "/Corvane";
    const std::string examples = std::string(CORVANE_SOURCE_DIR) + "/examples/install/";
    ASSERT_NE(Install(prefix), "");
    const std::string plugin = corvane_test::ReadFile(folder + "/lin_x64/Corvane.xpl");
    ASSERT_FALSE(plugin.empty());
    EXPECT_EQ(plugin.find(".debug_info"), std::string::npos);  // stripped
    EXPECT_EQ(plugin.find(".symtab"), std::string::npos);

    const char* const names[] = {"config.ini", "data.cfg"};
    for (const char* name : names) {
        EXPECT_EQ(corvane_test::ReadFile(folder + "/" + name),
                  corvane_test::ReadFile(examples + name));
        EXPECT_FALSE(fs::exists(folder + "/" + name + ".example"));
        corvane_test::WriteFile(folder + "/" + name, std::string("# mine\r\n\xEF\xBB\xBF") + name);
    }
    corvane_test::WriteFile(folder + "/memory0.txt", "12 118.25\r\n");

    for (int round = 0; round < 2; ++round) {
        const std::string output = Install(prefix);
        ASSERT_NE(output, "");
        for (const char* name : names) {
            EXPECT_EQ(corvane_test::ReadFile(folder + "/" + name),
                      std::string("# mine\r\n\xEF\xBB\xBF") + name);
            EXPECT_EQ(corvane_test::ReadFile(folder + "/" + name + ".example"),
                      corvane_test::ReadFile(examples + name));
            EXPECT_THAT(output, HasSubstr(std::string("Keeping your ") + folder + "/" + name));
        }
    }
    EXPECT_EQ(corvane_test::ReadFile(folder + "/memory0.txt"), "12 118.25\r\n");
    EXPECT_TRUE(fs::exists(folder + "/lin_x64/Corvane.xpl"));
    corvane_test::RemoveFolder(prefix);
}

}  // namespace
