// Number reading and tag conversion shared by the data.cfg entry parsers and option passes.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Reads an unsigned decimal number from the start of text (leading blanks and tabs and one '+'
// allowed). False, and value 0, when no digit follows; values beyond 32 bits become 4294967295.
bool ReadUnsigned(const std::string& text, unsigned int& value);
// The unsigned number at the start of text, or 0 when none reads.
unsigned int UnsignedOrZero(const std::string& text);
// atoi: the signed decimal number at the start of text, 0 when none reads; kept in int range.
int IntOf(const std::string& text);
// atof: the floating-point number at the start of text, 0 when none reads.
float FloatOf(const std::string& text);
// True when IntOf or FloatOf finds a number at the start of text (false: they give 0).
bool StartsWithNumber(const std::string& text);

// Pin or LED number and type letter of a written output tag such as "13L" or "7": the number at
// the start of the tag and its last character, or 'D' when that is a digit. False when the tag
// does not begin with a number of 0 to 255 (it cannot be carried in one byte).
bool SplitOutputTag(const std::string& written, unsigned int& pin, char& type);
// The two-character form of an Arduino output tag: the byte of the pin number, then the type
// letter ("13L" becomes 13, 'L'; "7" becomes 7, 'D'). False (converted unchanged) as above.
bool ConvertArduinoTag(const std::string& written, std::string& converted);
// A readable form of a stored output tag: the converted form of an Arduino board as the pin
// number and the letter ("13L"), a Helvan panel's tag as it is.
std::string ShowOutputTag(const std::string& tag, unsigned int id);

// The group part of an input tag: up to its first '/' (E3/2+ and E3/1- are both of group E3).
std::string GroupOf(const std::string& tag);
// The position of a group member's tag: the whole number after its first '/' (E5/11+ is 11),
// 0 when there is none.
int GroupPosition(const std::string& tag);
// The tag without its last character when that is a sign ('+' or '-').
std::string WithoutSign(const std::string& tag);
// A comma-separated list in field k of f written with a blank after or before a comma ("0, 200"):
// the blank ends the field, and the list runs on into the fields after it. The count of those
// fields (0 when field k is whole), and in meant the list as it was meant ("0,200").
size_t FieldsOfCutList(const std::vector<std::string>& f, size_t k, std::string& meant);
