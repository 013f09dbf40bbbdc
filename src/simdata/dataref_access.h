// Typed reads and writes of the dataref that one input entry is bound to, exchanged as a float.
#pragma once

constexpr int kReadBufferSize = 1024;

// Scratch value buffers shared with the output pass and the own-dataref refresh. After a call of
// ReadDataref or WriteDataref, element 0 of the buffer of the type used holds the value.
extern int ReadI[kReadBufferSize];
extern float ReadF[kReadBufferSize];
extern double ReadD[kReadBufferSize];

// The current value of input `input` of `board`; arrayIndex is the 1-based element for array
// datarefs and is ignored for scalars. Reads test int, float, float array, int array, double in
// that order. 0.0 when the type has none of these bits, the input does not exist, or the element
// lies outside the array.
float ReadDataref(unsigned int board, unsigned int input, unsigned int arrayIndex);
// Writes value into the input's dataref (float array, int array, float, int, double: the first
// bit found decides); integers get the value truncated toward zero. Nothing is written when the
// input does not exist, the type has none of these bits, or the element lies outside the array.
void WriteDataref(unsigned int board, unsigned int input, unsigned int arrayIndex, float value);
