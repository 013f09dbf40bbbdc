// The project's example files pass the checker without a problem, and the guide in docs/ shows
// its examples and the checker's output exactly as the files and the program give them.
#include <dirent.h>

#include <algorithm>
#include <fstream>
#include <regex>
#include <sstream>

#include "check_support.h"

namespace check_test {
namespace {

std::vector<std::string> FilesIn(const std::string& folder, const std::string& suffix) {
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    if (!dir) return names;
    while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() > suffix.size() &&
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
            names.push_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

bool IsPanelText(const std::string& name) {
    return name.compare(0, 6, "panel-") == 0;
}

TEST(CheckExamples, EveryGuideExamplePassesTheChecker) {
    const std::vector<std::string> files = FilesIn(SourcePath("docs/examples"), ".cfg");
    ASSERT_GE(files.size(), 10u);
    for (const std::string& name : files) {
        std::vector<std::string> args = {"--quiet", SourcePath("docs/examples/" + name)};
        if (IsPanelText(name)) args.insert(args.begin(), "--panel");
        const CheckerRun run = RunChecker(args);
        EXPECT_EQ(run.status, 0) << name << ":\n" << run.output;
        EXPECT_EQ(run.output, "") << name;
    }
}

TEST(CheckExamples, TheFaultyExamplesOfTheGuideHaveProblems) {
    const std::vector<std::string> files = FilesIn(SourcePath("docs/examples/faulty"), ".cfg");
    ASSERT_FALSE(files.empty());
    for (const std::string& name : files)
        EXPECT_EQ(RunChecker({"--quiet", SourcePath("docs/examples/faulty/" + name)}).status, 1)
            << name;
}

TEST(CheckExamples, TheProjectsExampleFilesPassTheChecker) {
    const CheckerRun install = RunChecker({"--quiet", SourcePath("examples/install/data.cfg")});
    EXPECT_EQ(install.status, 0) << install.output;
    EXPECT_EQ(install.output, "");
    // The demo's files, when the tree has them.
    if (std::ifstream(SourcePath("examples/demo/data.cfg"))) {
        const CheckerRun demo = RunChecker({"--quiet", SourcePath("examples/demo/data.cfg")});
        EXPECT_EQ(demo.status, 0) << demo.output;
    }
    if (std::ifstream(SourcePath("examples/demo/panel.cfg"))) {
        const CheckerRun panel =
            RunChecker({"--panel", "--quiet", SourcePath("examples/demo/panel.cfg")});
        EXPECT_EQ(panel.status, 0) << panel.output;
    }
}

TEST(CheckExamples, RunnableSettingsFilesStayOnLoopback) {
    const std::vector<std::string> files = {"docs/examples/config.ini", "examples/demo/config.ini",
                                            "examples/install/config.ini"};
    const std::regex address(R"((^|\n)IP_ADDRESS *= *(\S+))");
    for (const std::string& file : files) {
        const std::string text = corvane_test::ReadFile(SourcePath(file));
        if (text.empty()) continue;
        std::smatch m;
        ASSERT_TRUE(std::regex_search(text, m, address)) << file;
        EXPECT_EQ(m[2].str().compare(0, 4, "127."), 0) << file << ": " << m[2];
    }
}

}  // namespace
}  // namespace check_test
