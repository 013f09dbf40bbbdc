// The input option pass: what can be settled only once all entries of a board are read.
#pragma once

#include "config/board_parse.h"

// Completes the internal inputs (pin and comparison references) and the first byte of each
// analog channel of board. Does nothing for a board index without a row.
void SetInputOptions(int board);
// The same; parse, when not null, gives the entries' lines for notes.
void SetInputOptions(int board, const BoardParse* parse);
