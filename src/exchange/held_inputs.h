// Held inputs: commands begun on a press and ended on the release, and datarefs written again
// every call while their button is held.
#pragma once

#include <string>

// Held repeat: a class-2 held dataref is written again from the call in which its counter is
// above this (the 17th call, counting the call of the press as the first).
constexpr int kHeldRepeatDelay = 15;

// Press rule of an input of a held class, field0 the tag it matched (a group member's) and sent the
// tag as the board sent it; true when the input needs no further handling.
bool PressHeldInput(int board, int input, const std::string& field0, const std::string& sent);
// Release search for a one-field message of board.
void ReleaseHeldInput(int board, const std::string& field0);
// Repeats held dataref inputs; once per flight-loop call.
void RepeatHeldInputs();
// Ends the held commands of board and forgets all its held inputs (for use before the board's
// rows are reset or re-read, when the held entries would name the wrong inputs).
void ReleaseBoardHeldInputs(int board);
// Ends every held command and empties both held lists (for the full reset and the shutdown, so
// that no command stays begun in the simulator once the plug-in has forgotten it).
void ReleaseAllHeldInputs();
