// The output gate through which a board switches its outputs on and off, and the pings.
#pragma once

extern int PingTimeout;  // flight-loop calls since the last ping

// Calls between pings: the call that finds PingTimeout above this pings (every 102nd call).
constexpr int kPingInterval = 100;

// all 0: ping "XX" to LAN boards whose AllowPing is set; all 1: "XR" to every such board.
void PingInputs(unsigned int all);
// Counts the calls between pings and pings when due; once per flight-loop call.
void CountPingCalls();
// Output gate: '~' + gate letter opens, '~x' closes the board's outputs.
void HandleOutputGate(int board, char request);
// '~d': answers with the board's gate letter.
void AnswerGateRequest(int board);
