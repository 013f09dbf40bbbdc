// Shared helpers of the corvane-check tests: the program run as a subprocess, files of the source
// tree, and a world for the checker's library.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <vector>

#include "check_world.h"
#include "config_check.h"
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
inline CheckerRun RunCheckerIn(const std::string& dir, const std::vector<std::string>& args) {
    std::string command = dir.empty() ? std::string() : "cd '" + dir + "' && ";
    command += std::string("'") + CORVANE_CHECK + "'";
    for (const std::string& arg : args) command += " '" + arg + "'";
    command += " 2>/dev/null";
    CheckerRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    size_t n = 0;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, n);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

inline CheckerRun RunChecker(const std::vector<std::string>& args) {
    return RunCheckerIn(std::string(), args);
}

// A temporary folder for the files a test writes, removed with the object.
class TempFolder {
  public:
    TempFolder() : path_(corvane_test::MakeTempFolder("corvane_check")) {}
    ~TempFolder() { corvane_test::RemoveFolder(path_); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    // Writes text to name in the folder; returns its path.
    std::string Write(const std::string& name, const std::string& text) const {
        const std::string path = path_ + "/" + name;
        corvane_test::WriteFile(path, text);
        return path;
    }

  private:
    std::string path_;
};

// The checker's library in the host's default world of names, emptied after each test.
class CheckTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error, warning;
        ASSERT_TRUE(
            corvane_check::PrepareWorld(corvane_test::DefaultDatarefFile(), &error, &warning))
            << error;
        EXPECT_EQ(warning, "");
    }
    void TearDown() override { corvane_check::ClearBoards(); }
};

// The problems of a report as "line: reason" texts, for failure messages.
inline std::string ProblemList(const corvane_check::CheckReport& report) {
    std::string text;
    for (const corvane_check::Finding& f : report.Problems())
        text += std::to_string(f.line) + ": " + f.reason + "\n";
    return text;
}

}  // namespace check_test
