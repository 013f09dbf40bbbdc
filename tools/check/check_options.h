// The command line of corvane-check.
#pragma once

#include <string>

namespace corvane_check {

constexpr int kExitClean = 0;     // the file has no problem
constexpr int kExitProblems = 1;  // it has at least one
constexpr int kExitUsage = 2;     // bad command line, or a file that cannot be read

struct CheckOptions {
    std::string datarefs;  // the dataref and command list; default: the one xphost loads
    bool quiet = false;    // print the problems only
    bool panel = false;    // the file is a Helvan panel's configuration text, not a data.cfg
    bool help = false;
    std::string file;  // the file to check
};

extern const char kCheckUsage[];
extern const char kCheckHelp[];

// Reads argv into options; false with error for an unknown option, a missing value or file.
bool ParseCheckOptions(int argc, const char* const* argv, CheckOptions& options,
                       std::string& error);

}  // namespace corvane_check
