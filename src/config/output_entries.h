// The O section of a board section of data.cfg: one entry per output or LED mode entry.
#pragma once

#include <string>

#include "config/board_parse.h"
#include "config/missing_names.h"

constexpr int kMaxOutputElements = 1023;  // elements an output may print (the value list's size)
constexpr unsigned int kMaxSevenSegDigits = 8;  // digits of one 7-segment display
constexpr int kMaxByteDataLength = 1024;        // bytes read from a byte-data dataref

// Parses one O line into a new output (three or more fields) or LED mode entry (two fields) of
// board parse.board, appended after the existing ones (so a repeated [O] header adds to them).
// Rejected lines add nothing: one field only, "not_selected" as dataref, an Arduino tag that does
// not begin with a pin number of 0 to 255, and on Arduino boards 7-segment entries with fewer than
// six fields or without a digit count.
void ParseOutputEntry(BoardParse& parse, std::string text);

// The completion after the option passes: element, precision, dataref handle and type, the
// plug-in's own datarefs, and the active flags by the O list. parse.board's outputs, all of them.
void CompleteOutputs(const BoardParse& parse);

// Binds output j of board b, whose dataref the simulator did not know, to the dataref of that
// name when there is one now; the output is then due, so the next pass sends its value. Missing
// while the name is still unknown; Gone when the output is no such output, names nothing or is
// bound already.
NameLookup BindFoundOutputName(int b, int j);
