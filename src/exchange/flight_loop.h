// The main flight-loop callback: the board search, the reception and dispatch of every waiting
// message, and the once-per-call work.
#pragma once

#include <cstddef>
#include <string>

extern int Next;     // host number of the next LAN address to probe
extern int doit;     // 1 when the address Next is free to probe
extern int recsize;  // length of the last reception

// Called every 25 ms; returns the interval until the next call.
float MyFlightLoopCallback(float elapsedSinceLastCall, float elapsedTimeSinceLastFlightLoop,
                           int counter, void* refcon);
// Handles one received message from the current link.
void DispatchMessage(const std::string& message);
// Gives the search and reception state its reset values.
void ResetFlightLoopState();
