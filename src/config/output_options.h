// The output option pass: the 7-segment, stepper and LED-port blocks of a board.
#pragma once

#include "config/board_parse.h"

constexpr size_t kMaxLedPorts = 8;  // LED port sets of 8 LEDs: LEDs 1 to 64

// Builds SevenSegAdditional, StepperAdditional and LedPortData of board from its outputs and LED
// mode entries; id is the board ID (0: Helvan panel). Does nothing for an index without a row.
void SetOutputOptions(int board, unsigned int id);
// The same; parse, when not null, gives the entries' lines for notes.
void SetOutputOptions(int board, unsigned int id, const BoardParse* parse);
