// Where the running program lies, so that an installed corvane-check finds X-Plane's lists from
// its own folder wherever it is started from. The platform's files: program_folder_posix.cpp,
// program_folder_win.cpp.
#pragma once

#include <string>

namespace corvane_check {

// The folder of the running program, or "" when it cannot be told; argv0 is the program's first
// argument, used where the system does not name the program's file.
std::string ProgramFolder(const char* argv0);

}  // namespace corvane_check
