// Applying one input event of a board to the simulator.
#pragma once

// Largest number of times one event runs a command or multiplies a step (a repeat count is one
// byte on the wire).
constexpr unsigned int kMaxRepeatCount = 255;

// Applies input `input` of `board` to its command or dataref: runs the command count times, writes
// the value of a value message (mapped for analog tags), steps, stores into or recalls from the
// dataref memory, or writes the entry's set value. Reads the message fields from `tag`. Does
// nothing for an input that does not exist, a negative arrayIndex, or a value that does not parse.
void WriteToXPlane(int board, int input, int arrayIndex, unsigned int count);
