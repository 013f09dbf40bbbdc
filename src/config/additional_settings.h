// The A section of a board section: matrix, stepper, LED-port and 7-segment pins, and the T, R, S
// and Q lists that the input entries after it consult.
#pragma once

#include <string>

#include "config/board_parse.h"

// Reads one entry of the A section into the board's row and the run's lists.
void ParseAdditionalEntry(BoardParse& parse, const std::string& text);
