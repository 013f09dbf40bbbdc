// The command line of corvane-check.
#pragma once

#include <string>

namespace corvane_check {

constexpr int kExitClean = 0;     // the file has no problem
constexpr int kExitProblems = 1;  // it has at least one
constexpr int kExitUsage = 2;     // bad command line, or a file that cannot be read

struct CheckOptions {
    std::string datarefs;    // the dataref and command list; default: the one xphost loads
    std::string xplane;      // an X-Plane folder whose DataRefs.txt and Commands.txt are read
    bool listGiven = false;  // --datarefs or --xplane was given (else the lists may be found)
    bool quiet = false;      // print the problems only
    bool panel = false;      // the file is a Helvan panel's configuration text, not a data.cfg
    bool help = false;
    std::string file;  // the file to check; "" for data.cfg and the profiles of the current folder
};

extern const char kCheckUsage[];
extern const char kCheckHelp[];

// Reads argv into options; false with error for an unknown option or a missing value.
bool ParseCheckOptions(int argc, const char* const* argv, CheckOptions& options,
                       std::string& error);

}  // namespace corvane_check
