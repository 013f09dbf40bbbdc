// The output gate, pings, mode messages, held inputs and internal inputs.
#pragma once

#include <string>

extern int PingTimeout;  // flight-loop calls since the last ping

// Held repeat: a class-2 held dataref is written again from the call in which its counter is
// above this (the 17th call, counting the call of the press as the first).
constexpr int kHeldRepeatDelay = 15;
// Calls between pings: the call that finds PingTimeout above this pings (every 102nd call).
constexpr int kPingInterval = 100;

// all 0: ping "XX" to LAN boards whose AllowPing is set; all 1: "XR" to every such board.
void PingInputs(unsigned int all);
// Shows value on LED mode entry `entry` of board; reference is the number after '=' of its field 1.
void SendMode(unsigned int board, unsigned int entry, unsigned int value, unsigned int reference);
// Counts the calls between pings and pings when due; once per flight-loop call.
void CountPingCalls();
// Output gate: '~' + gate letter opens, '~x' closes the board's outputs.
void HandleOutputGate(int board, char request);
// '~d': answers with the board's gate letter.
void AnswerGateRequest(int board);
// Press rule of an input of a held class; true when the input needs no further handling.
bool PressHeldInput(int board, int input, const std::string& field0);
// Release search for a one-field message of board.
void ReleaseHeldInput(int board, const std::string& field0);
// Mode changes, output selection and text sent back, for a matched internal input.
void ApplyInternalInput(int board, int input);
// Repeats held dataref inputs; once per flight-loop call.
void RepeatHeldInputs();
// Ends the held commands of board and forgets all its held inputs (for use before the board's
// rows are reset or re-read, when the held entries would name the wrong inputs).
void ReleaseBoardHeldInputs(int board);
// Ends every held command and empties both held lists (for the full reset and the shutdown, so
// that no command stays begun in the simulator once the plug-in has forgotten it).
void ReleaseAllHeldInputs();

// The text an internal input sends back (rule 3 of the internal inputs): the byte '}', one byte
// with the length of the text, then the text, cut to 255 bytes so that the length fits its byte.
// Outbound messages carry no framing beyond themselves: a board tells them apart by
// the first byte and, for variable lengths, by the length byte. No other message to a board
// begins with '}', and the length byte counts the bytes after the two header bytes, as byte 1 of
// the '{' frames does; so the same form serves both links (one write on USB, one datagram on the
// LAN). Braces around the text are not used: a message beginning with '{' is an output frame whose
// byte 1 is a length, and a text framed as '{' text '}' would be read as one.
std::string TextReplyMessage(const std::string& text);
