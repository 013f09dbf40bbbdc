// Input messages: a board's button, switch, encoder or axis matched to its configured inputs.
#pragma once

#include <string>
#include <vector>

// Handles an input message (board number byte, type byte, rest of the tag, optional value).
void HandleInputMessage(const std::string& message);
// Repeat count of an 'E' message from the first byte of its value field, read as unsigned.
unsigned int RepeatCountOf(const std::string& field0, const std::vector<std::string>& fields);
