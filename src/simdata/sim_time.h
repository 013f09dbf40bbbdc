// The simulator's clock as the plug-in reads it: flight time and frame period.
#pragma once

#include "XPLMDataAccess.h"

extern XPLMDataRef FlightTimeDref;  // "sim/time/total_flight_time"
extern XPLMDataRef FrameTimeDref;   // "sim/operation/misc/frame_rate_period"
extern float frametime;             // the simulator's frame period, read once per call

// Finds the two time datarefs (plug-in start).
void FindTimeDatarefs();
// Reads the frame period into frametime (once per flight-loop call).
void ReadFrameTime();
