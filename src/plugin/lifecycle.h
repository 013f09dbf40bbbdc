// The deferred start-up, the full reset and the plug-in's folder.
#pragma once

#include <string>

#include "XPLMDataAccess.h"
#include "XPLMDefs.h"

extern int FirstLaunch;         // 1 until the deferred start-up has run once
extern XPLMPluginID plugin_id;  // the plug-in's own id
extern char cwd[2048];          // the plug-in's file path, or the working directory

// One-shot callback of the first flight loop: start-up, then the main callback.
float FlightLoopInit(float sinceLastCall, float sinceLastFlightLoop, int counter, void* refcon);
// The start-up sequence: status lines, folder and settings, socket, serial scan, code letters,
// data.cfg.
void InitializePlugin();
// Probes every known board, closes every transport, empties all state and starts up again.
void ResetPlugin();
// The user's aircraft has loaded: when the configuration file chosen for it is not the one in
// force, runs the full reset, which ends every held command and configures every board again from
// the new file, and returns true. False, with nothing done, when the file stays or the start-up
// has not run yet (it will choose the file itself).
bool SwitchConfigurationForAircraft();
// Closes every transport and empties all state: board tables, settings, registries, counters.
void ClearPluginState();
// Ends every held command and closes the socket and every serial port (disable and stop).
void CloseTransports();
