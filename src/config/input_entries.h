// The I section of a board section of data.cfg: one entry per input.
#pragma once

#include <string>

#include "config/board_parse.h"

// Parses one I line into a new input of board parse.board, appended after its existing inputs
// (so a repeated [I] header adds to them). Lines with fewer than two fields or the name
// "not_selected" add nothing. False when nothing was added.
bool ParseInputEntry(BoardParse& parse, std::string text);
