// Tokenising shared by every parser: settings, data.cfg, board messages and memory files.
#pragma once

#include <string>
#include <vector>

// A copy of text without leading and trailing blanks, tabs, line feeds and carriage returns.
std::string Trim(std::string text);
// The non-empty fields of text between delimiters; with the blank delimiter a tab also cuts.
std::vector<std::string> SplitBy(std::string text, std::string delimiter);
