// data.cfg as a whole: its board sections, filed under their board IDs at every start-up.
#pragma once

#include <istream>
#include <string>
#include <vector>

// Board ID of a section whose '*' line has no digit after the '*': such a section stores nothing.
constexpr unsigned int kNoBoardId = 0xFFFFFFFFu;

// One board section of data.cfg as LoadConfig files it.
struct ConfigSection {
    unsigned int id = 0;         // the digit after '*'; kNoBoardId when there is none
    std::string text;            // the stored lines, trimmed, each followed by '\n'
    std::vector<int> fileLines;  // data.cfg line number (1-based) of each stored line, in order
    int line = 0;                // data.cfg line number of the section's '*' line
};

// A hint for a header letter that is most likely mistyped ('0' for 'O', small letters); empty for
// any other letter.
std::string HeaderLetterHint(char letter);
// True for the characters that make a line of a board section a comment when they stand first.
bool IsCommentStart(char c);
// Files the text of every board section of the configuration file chosen for the user's aircraft
// (data.cfg or its profile) under its board ID.
void LoadConfig();
// The sectioning of LoadConfig over any text: the sections in file order with their stored lines
// (lines before the first '*', of sections with ID 0 and after an @info marker are not stored).
// Reports each line through the config diagnostics when they are on (config_diagnostics.h).
std::vector<ConfigSection> SplitConfigSections(std::istream& file);
