// Shared helpers of the corvane-check tests: the program run as a subprocess, files of the source
// tree, and a world for the checker's library.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "check/config_check.h"
#include "check_world.h"
#include "support/plugin_harness.h"

namespace check_test {

inline std::string SourcePath(const std::string& relative) {
    return std::string(CORVANE_SOURCE_DIR) + "/" + relative;
}

struct CheckerRun {
    int status = -1;     // exit status
    std::string output;  // standard output
};

// Runs corvane-check with args (each quoted for the shell) in the folder dir (the current one
// when empty); standard error is dropped.
// program: another corvane-check than the one built (an installed one).
inline CheckerRun RunChecker(const std::vector<std::string>& args, const std::string& dir = "",
                             const std::string& program = CORVANE_CHECK) {
    std::string command = dir.empty() ? std::string() : "cd '" + dir + "' && ";
    command += "'" + program + "'";
    for (const std::string& arg : args) command += " '" + arg + "'";
    CheckerRun run;
    run.status = corvane_test::RunCommand(command + " 2>/dev/null", &run.output);
    return run;
}

// The checker's library in the host's default world of names, emptied after each test, and a
// folder of the test's own for the files it writes.
class CheckTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error, warning;
        ASSERT_TRUE(
            corvane_check::PrepareWorld(corvane_test::DefaultDatarefFile(), &error, &warning))
            << error;
        EXPECT_EQ(warning, "");
    }
    void TearDown() override {
        corvane_check::ClearBoards();
        corvane_test::RemoveFolder(folder_);
    }
    // Writes text to name (its folders made as needed) in the test's folder; returns its path.
    std::string Write(const std::string& name, const std::string& text) const {
        const std::string path = folder_ + "/" + name;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        corvane_test::WriteFile(path, text);
        return path;
    }

    const std::string folder_ = corvane_test::MakeTempFolder("corvane_check");
};

// One line of a data.cfg, and a part of the reason the checker must give for it ("" for none).
struct FaultLine {
    const char* text;
    const char* fault;
};

template <size_t N>
std::string FileText(const FaultLine (&lines)[N]) {
    std::string text;
    for (const FaultLine& line : lines) text += std::string(line.text) + "\n";
    return text;
}

// The --quiet output of a run over the lines (problems read "…name:LINE: kind: reason") names
// every line that has a fault, with a reason that contains it, and no other line.
template <size_t N>
void ExpectFaultsOnTheirLines(const CheckerRun& run, const std::string& name,
                              const FaultLine (&lines)[N]) {
    EXPECT_EQ(run.status, 1);
    std::map<size_t, std::string> reasons;
    std::istringstream in(run.output);
    for (std::string row; std::getline(in, row);) {
        const size_t at = row.find(name + ":");
        if (at == std::string::npos || row.compare(0, 4, "    ") == 0) continue;
        const size_t line = std::strtoul(row.c_str() + at + name.size() + 1, nullptr, 10);
        reasons[line] += row.substr(row.find(": ", at + name.size() + 1) + 2) + "\n";
    }
    for (size_t n = 1; n <= N; ++n) {
        const std::string fault = lines[n - 1].fault, reason = reasons[n];
        EXPECT_EQ(reason.empty(), fault.empty())
            << "line " << n << " (" << lines[n - 1].text << "): " << reason;
        EXPECT_NE(reason.find(fault), std::string::npos)
            << "line " << n << " lacks '" << fault << "': " << reason;
    }
}

}  // namespace check_test
