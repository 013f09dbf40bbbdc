// Reading one board section of data.cfg into the board's rows of the board tables.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "config/board_parse.h"
#include "config/config_sections.h"

// Transport name ("USB" or "LAN") of the board row created last; emptied by the reset.
extern std::string DebugAddress;

// Creates or resets board's rows and fills them from one section's text; id 0 is the Helvan panel.
void ReadConfigFile(std::string text, int board, unsigned int id);

// The same read in steps, so that a long text can be read over several flight-loop calls: the
// board's rows fill line by line, and are complete only after FinishConfigRead.
struct ConfigRead {
    std::string text;    // the section's text
    size_t next = 0;     // where its next line begins
    int lineNumber = 0;  // the non-empty lines read so far
    char section = '0';  // the letter of the last header
    bool anyHeader = false;
    std::set<char> seen;  // the known headers read
    BoardParse parse;
};
// Creates or resets board's rows and makes read ready to fill them from text; false (nothing is
// done) when board is neither a row nor the next one.
bool BeginConfigRead(ConfigRead& read, std::string text, int board, unsigned int id);
// Reads up to maxLines more lines into the board's rows; true once the whole text is read.
bool ContinueConfigRead(ConfigRead& read, size_t maxLines);
// Completes the rows: the option passes, the outputs' datarefs and the board's status line.
void FinishConfigRead(ConfigRead& read);
// Clears the reader's own state (the debug address list and its counters); used by the reset.
void ClearConfigReaderState();

// The reader's own state held apart: DebugAddress and the beginnings of the boards' status lines.
struct ConfigReaderState {
    std::string debugAddress;
    std::vector<std::string> lineHeads;
};
// Exchanges the reader's own state with state (for a read that must leave the live state as it is).
void ExchangeConfigReaderState(ConfigReaderState& state);
