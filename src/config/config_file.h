// Reading one board section of data.cfg into the board's rows of the board tables.
#pragma once

#include <string>
#include <vector>

#include "config/config_sections.h"

// Transport name ("USB" or "LAN") of the board row created last; emptied by the reset.
extern std::string DebugAddress;

// Creates or resets board's rows and fills them from one section's text; id 0 is the Helvan panel.
void ReadConfigFile(std::string text, int board, unsigned int id);
// Clears the reader's own state (the debug address list and its counters); used by the reset.
void ClearConfigReaderState();
