// The checker's report as text, written from its verdict: the whole reading of a file, or only
// its problems.
#pragma once

#include <ostream>
#include <string>

#include "check/verdict.h"

namespace corvane_check {

// text with every byte that a terminal would not show as a character written as \xNN: control
// bytes (line feeds and tabs aside), DEL, bytes of no well-formed UTF-8 character, and those of
// the invisible characters U+0080 to U+009F and U+FEFF (a byte order mark).
std::string ShownText(const std::string& text);

// For each board section: every line with what the plug-in made of it, the inputs, outputs and
// LED mode entries of the board row, and the blocks the board receives; then the problems.
void WriteReport(std::ostream& out, const Verdict& verdict, const std::string& path);

// One problem per entry, "path:line: skipped|suspect: reason", with the line's text below it.
void WriteProblems(std::ostream& out, const Verdict& verdict, const std::string& path);

}  // namespace corvane_check
