// Mode messages: the LEDs of LED mode entries (two-field O entries) show the mode of a board.
#pragma once

#include <string>

// Shows value on LED mode entry `entry` of board; reference is the number after '=' of its field 1.
// An 'L' LED gets a message over the current link; a port LED ('l') sets its bit for the output
// pass; any other kind gets the value as a float.
void SendMode(unsigned int board, unsigned int entry, unsigned int value, unsigned int reference);
// The reference of an LED mode entry's field 1 "name=n": n as a number, 0 when there is none.
unsigned int ModeReference(const std::string& field1);
// The part of an LED mode entry's field 1 before '='.
std::string ModeReferenceName(const std::string& field1);
