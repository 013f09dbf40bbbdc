// The live feed's events on their way from the simulator's thread to the server's: at most
// kLiveEventsPerCall inputs, outputs and log lines of a board per flight-loop call go on in full,
// the rest of that call are counted in one "dropped" event; the few state events all go on.
#pragma once

#include <string>
#include <vector>

#include "config/live_events.h"

constexpr int kLiveEventsPerCall = 10;    // per board, and for the events of no board
constexpr size_t kLiveEventLimit = 4096;  // events waiting for the server's thread

// The sink of the live feed (simulator's thread).
void TakeLiveEvent(LiveEvent&& event);
// End of a flight-loop call: counts the dropped events and hands the call's events over; true
// when the server's thread should be woken to send them.
bool HandOverLiveEvents();
// The events handed over, as JSON texts (server's thread).
std::vector<std::string> TakeLiveMessages();
// Forgets every event (the server stops).
void ClearLiveEvents();
