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

// The lines a to b (from 1) of text, each with its line feed.
std::string LinesOf(const std::string& text, int a, int b) {
    std::istringstream in(text);
    std::string line, part;
    for (int n = 1; std::getline(in, line); ++n)
        if (n >= a && n <= b) part += line + "\n";
    return part;
}

struct Block {
    std::string chapter;
    std::string marker;  // "example" or "output"
    std::string what;    // the path (and line range) or the checker's arguments
    std::string text;    // the block's text, each line with its line feed
};

// Every "<!-- example: ... -->" or "<!-- output: ... -->" comment of the guide and the fenced
// block right after it.
std::vector<Block> GuideBlocks() {
    std::vector<Block> blocks;
    const std::regex marker(R"(<!-- (example|output): (.+?) -->\n```text\n((?:.*\n)*?)```)");
    for (const std::string& chapter : FilesIn(SourcePath("docs"), ".md")) {
        const std::string text = corvane_test::ReadFile(SourcePath("docs/" + chapter));
        for (std::sregex_iterator it(text.begin(), text.end(), marker), end; it != end; ++it)
            blocks.push_back(Block{chapter, (*it)[1], (*it)[2], (*it)[3]});
    }
    return blocks;
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

TEST(CheckExamples, GuideBlocksAreTheFilesAndTheCheckersOutput) {
    const std::vector<Block> blocks = GuideBlocks();
    ASSERT_GE(blocks.size(), 15u);
    const std::regex range(R"((\S+) lines (\d+)-(\d+))");
    for (const Block& block : blocks) {
        if (block.marker == "example") {
            std::smatch m;
            std::string expected;
            if (std::regex_match(block.what, m, range))
                expected = LinesOf(corvane_test::ReadFile(SourcePath("docs/" + m[1].str())),
                                   std::stoi(m[2]), std::stoi(m[3]));
            else
                expected = corvane_test::ReadFile(SourcePath("docs/" + block.what));
            EXPECT_FALSE(expected.empty()) << block.chapter << ": " << block.what;
            EXPECT_EQ(block.text, expected) << block.chapter << ": " << block.what;
        } else {
            std::istringstream words(block.what);
            std::vector<std::string> args;
            for (std::string word; words >> word;) args.push_back(word);
            EXPECT_EQ(block.text, RunCheckerIn(SourcePath("docs"), args).output)
                << block.chapter << ": corvane-check " << block.what;
        }
    }
}

TEST(CheckExamples, EveryExampleFileIsShownInTheGuide) {
    std::string shown;
    for (const Block& block : GuideBlocks()) shown += block.what + "\n";
    for (const std::string& name : FilesIn(SourcePath("docs/examples"), ".cfg"))
        EXPECT_NE(shown.find("examples/" + name), std::string::npos) << name;
}

TEST(CheckExamples, GuideLinksPointAtChaptersThatExist) {
    const std::regex link(R"(\]\(([a-z0-9-]+\.md)(#[a-z0-9-]+)?\))");
    const std::regex heading(R"(\n#+ ([^\n]+))");
    for (const std::string& chapter : FilesIn(SourcePath("docs"), ".md")) {
        const std::string text = corvane_test::ReadFile(SourcePath("docs/" + chapter));
        for (std::sregex_iterator it(text.begin(), text.end(), link), end; it != end; ++it) {
            const std::string target = corvane_test::ReadFile(SourcePath("docs/" + (*it)[1].str()));
            ASSERT_FALSE(target.empty()) << chapter << " links to " << (*it)[1];
            if (!(*it)[2].matched) continue;
            // The anchor of a heading: lower case, blanks as '-', other punctuation dropped.
            bool found = false;
            for (std::sregex_iterator h(target.begin(), target.end(), heading); h != end; ++h) {
                std::string anchor = "#";
                for (char c : (*h)[1].str()) {
                    if (c == ' ')
                        anchor += '-';
                    else if (std::isalnum(static_cast<unsigned char>(c)) || c == '-')
                        anchor += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                }
                found = found || anchor == (*it)[2].str();
            }
            EXPECT_TRUE(found) << chapter << " links to " << (*it)[1] << (*it)[2];
        }
    }
}

TEST(CheckExamples, RunnableSettingsFilesStayOnLoopback) {
    // The installed example is for a real cockpit network: it takes the address automatically.
    const std::vector<std::string> files = {"docs/examples/config.ini", "examples/demo/config.ini"};
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
