// Input messages: a board's button, switch, encoder or axis matched to its configured inputs.
#pragma once

#include <string>
#include <vector>

extern std::vector<int> MatchedInputs;  // the input entries the last input message drove

// Handles an input message (board number byte, type byte, rest of the tag, optional value).
void HandleInputMessage(const std::string& message);
// The fields of an input message's text (type letter mapped back): split at blanks, except that an
// 'E' message's count is the one raw byte after the tag's blank, whatever byte it is (9 and 32
// included).
std::vector<std::string> InputFieldsOf(const std::string& text);
// Repeat count of an 'E' message from the first byte of its value field, read as unsigned.
unsigned int RepeatCountOf(const std::string& field0, const std::vector<std::string>& fields);
