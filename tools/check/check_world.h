// The world corvane-check reads a data.cfg in: the headless host's datarefs and commands (the
// names a configuration may use), the plug-in's own corvane/ datarefs and commands, and empty
// board tables. No plug-in runs, no socket and no serial port is opened.
#pragma once

#include <string>

namespace corvane_check {

// Empties the host and the board tables, loads the dataref and command list at path and creates
// the plug-in's own datarefs and commands. False, with *error, when the list cannot be opened. A
// list with bad lines still loads its good ones; *warning then names the first bad line.
bool PrepareWorld(const std::string& datarefPath, std::string* error, std::string* warning);

// Gives the board tables, the status lines and the configuration reader their start-up state,
// so that the next board read gets board index 0. The host's names stay.
void ClearBoards();

// Silences the plug-in's diagnostic stream (std::cerr) while it lives; the reader writes its
// log lines there, which are no part of the checker's report.
class QuietLog {
  public:
    QuietLog();
    ~QuietLog();
    QuietLog(const QuietLog&) = delete;
    QuietLog& operator=(const QuietLog&) = delete;

  private:
    std::streambuf* saved_;
};

}  // namespace corvane_check
