// Scripts for the boardsim program: one command a line, run against one Board.
//
//   wait SECONDS                  keep answering for SECONDS
//   until-configured [TIMEOUT]    until the upload (or the panel's reply) has arrived
//   until KIND COUNT [TIMEOUT]    until COUNT messages of KIND have arrived in all
//                                 (the kinds of Board::messageCount())
//   ident                         send the identification
//   gate [TIMEOUT]                ask for the output gate letter, then open the gate
//   close-gate                    "~x"
//   blocks                        ask for the analog, 7-segment and stepper blocks
//   control C                     "~" + C
//   press TAG / release TAG       TAG + "+" / TAG + "-"
//   input TAG [VALUE]             an input message (VALUE may use escapes)
//   encoder TAG COUNT             an encoder message with a raw repeat count 1..255
//   axis TAG VALUE                an analog reading
//   raw TEXT                      TEXT as one message; escapes \xNN \n \r \t \s and a doubled
//   backslash state                         print the decoded state print TEXT print TEXT quit stop
//   here
// '#' starts a comment line. TIMEOUT defaults to 10 seconds; a timeout ends the script with
// status 3.
#pragma once

#include <csignal>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "boardsim.h"

namespace boardsim {

struct ScriptLine {
    int number = 0;                 // 1-based line number in the script
    std::string command;            // first word
    std::vector<std::string> args;  // the other words
    std::string rest;               // everything after the command word, trimmed
};

// Parses a whole script; false with `error` naming the line when a command or its arguments
// are wrong.
bool ParseScript(const std::string& text, std::vector<ScriptLine>* lines, std::string* error);

// Polls the board until done() holds, `seconds` have passed or *stop is set; waits on the
// board's descriptor in between. Returns whether done() held.
bool PollFor(Board& board, double seconds, const std::function<bool()>& done,
             const volatile std::sig_atomic_t* stop);

// Runs the lines; `out` gets the output of "state" and "print". Returns the exit status:
// 0 when the script ran to its end or "quit", 3 after a timeout, 4 when a send failed,
// 130 when stopped by *stop.
int RunScript(Board& board, const std::vector<ScriptLine>& lines, std::ostream& out,
              const volatile std::sig_atomic_t* stop);

}  // namespace boardsim
