// Internal inputs: entries whose name is neither a command nor a dataref. They change a mode,
// select one of several outputs with the same tag, or send their text back to the board.
#pragma once

#include <string>

// Mode change, output selection or text sent back, for a matched internal input.
void ApplyInternalInput(int board, int input);
// Marks the outputs that internal input `input` drives: "!" puts them into the all-on state (every
// LED and segment lit, "*" as text), "?" takes them out of it; both send them on the next pass.
void MarkInternalOutputs(int board, int input, const char* mark);

// The text an internal input sends back: the byte '}', one byte with the length of the text, then
// the text, cut to 255 bytes so that the length fits its byte.
// Outbound messages carry no framing beyond themselves: a board tells them apart by the first
// byte and, for variable lengths, by the length byte. No other message to a board begins with
// '}', and the length byte counts the bytes after the two header bytes, as byte 1 of the '{'
// frames does; so the same form serves both links (one write on USB, one datagram on the LAN).
// Braces around the text are not used: a message beginning with '{' is an output frame whose byte
// 1 is a length, and a text framed as '{' text '}' would be read as one.
std::string TextReplyMessage(const std::string& text);
