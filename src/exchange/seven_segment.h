// 7-segment encoding of an 'N' output: one active-low segment byte per digit, bit 7 segment a
// down to bit 1 segment g, bit 0 the decimal point.
#pragma once

#include <string>
#include <vector>

// A display shows at most this many digits.
constexpr unsigned int kMaxSevenSegDigits = 8;

// Writes the segment bytes of text (the output's value text, "*" for all segments lit) into
// segments, which holds kMaxSevenSegDigits bytes; returns their count. digits and point are the
// entry's digit count and decimal position (0: none), both clamped to the display size; options
// holds the entry's option letters ("r" "d" "c" "z" "f" "e"); value is the mapped value.
unsigned int EncodeSevenSegment(const std::string& text, float value, unsigned int digits,
                                unsigned int point, const std::string& options,
                                unsigned char* segments);
// The same for an output entry's fields: digit count from field 4, decimal position from
// field 5, options from field 6. Returns -1 when the entry has no digit count or position.
int EncodeSevenSegmentEntry(const std::vector<std::string>& fields, const std::string& text,
                            float value, unsigned char* segments);
