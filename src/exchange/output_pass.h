// The output pass: every board's changed output values, encoded and sent once per flight-loop call.
#pragma once

// The byte message buffer holds this many bytes.
constexpr int kOutputMessageSize = 64;
// A board's byte message takes no more records once it is longer than this.
constexpr int kOutputStopLength = 51;

extern char omsg[kOutputMessageSize];  // byte message being built (output values, mode messages)
extern int oln;                        // its length in bytes

// Reads every output's dataref and sends each board the outputs whose value changed.
void SendChangedOutputs();
