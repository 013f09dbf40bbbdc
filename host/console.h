// The xphost program's console, the platform's way (console_posix.cpp, console_win.cpp): stop
// requests (SIGINT and SIGTERM; on Windows Ctrl+C, Ctrl+Break and closing the console) and
// standard input read between frames without holding them up.
#pragma once

#include <chrono>
#include <string>

namespace xphost::console {

// Arms the stop requests; called once, before the plug-in is loaded.
void Install();
// True once a stop was requested (a flag: costs nothing).
bool StopRequested();
// Looks for a stop request that has arrived but not yet been noticed; true when there is one.
bool CheckStop();
// Waits until deadline (or without limit when forever) for input on standard input (only when
// watchInput) or a stop request. What arrived is appended to *input; *open turns false once the
// input has ended.
void Wait(std::chrono::steady_clock::time_point deadline, bool forever, bool watchInput,
          std::string* input, bool* open);

}  // namespace xphost::console
