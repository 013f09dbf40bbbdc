// Scratch state shared by the parsers and the message handling.
#pragma once

#include <sstream>
#include <string>
#include <vector>

extern std::stringstream ss;  // number conversion; emptied and cleared before each use
extern std::string line;      // the text line being parsed
extern std::string st;        // the board message being handled
extern std::vector<std::string> splitpair;  // scratch for '=' splits
extern std::vector<std::string> tag;        // fields of the board message being handled

// Empties ss and clears its error state.
void ResetStream();
