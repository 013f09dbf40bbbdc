// The board's side of the conversation with the plug-in: identification, the configuration
// upload and the blocks it asks for afterwards, the output gate, and the dispatch of every
// message from the plug-in.
#ifndef CORVANE_SESSION_H
#define CORVANE_SESSION_H

#include "corvane_limits.h"

namespace corvane {

// The board ID (0-9) the board identifies itself with.
extern uint8_t boardId;
// Set once the plug-in has switched the outputs on; cleared by every configuration upload.
extern bool outputsEnabled;

// Identifies the board as soon as there is room to send (at start and on every probe).
void announce();
// Handles one complete message from the plug-in: its first kept bytes and its whole length.
void handleMessage(const uint8_t* message, uint8_t kept, uint16_t length);
// Sends what the conversation owes: the identification, the block requests, the output gate.
void advanceSession();

}  // namespace corvane

#endif
