// The project's example files pass the checker without a problem, and the guide in docs/ shows
// its examples and the checker's output exactly as the files and the program give them.
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>

#include "check_support.h"

namespace check_test {
namespace {

// Every .cfg file of the guide passes (a panel's text form checked as one) and so do the
// project's install and demo files; the guide's faulty examples have problems.
TEST(CheckExamples, EveryGuideExamplePassesTheChecker) {
    std::map<std::string, int> status = {{SourcePath("examples/install/data.cfg"), 0},
                                         {SourcePath("examples/install/profiles/B738.cfg"), 0}};
    for (const char* demo : {"examples/demo/data.cfg", "examples/demo/panel.cfg"})
        if (std::ifstream(SourcePath(demo))) status[SourcePath(demo)] = 0;
    int guide = 0, faulty = 0;
    for (const auto& entry :
         std::filesystem::recursive_directory_iterator(SourcePath("docs/examples"))) {
        if (entry.path().extension() != ".cfg") continue;
        const bool bad = entry.path().parent_path().filename() == "faulty";
        status[entry.path().string()] = bad ? 1 : 0;
        ++(bad ? faulty : guide);
    }
    EXPECT_GE(guide, 10);
    EXPECT_GE(faulty, 1);
    for (const auto& [path, want] : status) {
        std::vector<std::string> args = {"--quiet", path};
        if (std::filesystem::path(path).filename().string().rfind("panel", 0) == 0)
            args.insert(args.begin(), "--panel");
        const CheckerRun run = RunChecker(args);
        EXPECT_EQ(run.status, want) << path << ":\n" << run.output;
        EXPECT_TRUE(want != 0 || run.output.empty()) << path;
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
