// The I section of a board section of data.cfg: one entry per input.
#pragma once

#include <string>

#include "config/board_parse.h"
#include "config/missing_names.h"

// Parses one I line into a new input of board parse.board, appended after its existing inputs
// (so a repeated [I] header adds to them). Lines with fewer than two fields or the name
// "not_selected" add nothing.
void ParseInputEntry(BoardParse& parse, std::string text);

// Whether an input's name that is neither a command nor a dataref may become one later (an
// add-on's name, not one of the internal forms): such an input is looked up again in flight.
bool InputNameMayAppear(const std::string& name);
// Binds input i of board b, whose name the simulator did not know, to the command or dataref of
// that name when there is one now, as the entry parser would have: from then on it applies.
// Missing while the name is still unknown; Gone when the input is no such input, names nothing or
// is bound already.
NameLookup BindFoundInputName(int b, int i);
