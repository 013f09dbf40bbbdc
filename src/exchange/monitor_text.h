// The monitor window's text: per board its link, ID, state, counters, last inputs and outputs, and
// the messages dropped before any board saw them.
#pragma once

#include <string>
#include <vector>

constexpr int kMonitorBoardRoom = 6;  // boards with lines of their own; the rest are summed up

// The monitor's lines from the current counters and board tables (at most kMonitorLineCount).
std::vector<std::string> MonitorLines();
// While the window is open, once a second (counted in flight-loop calls) makes the monitor's lines
// afresh.
void RefreshMonitor();
// Makes the monitor's lines now (the window opens with current text).
void RefreshMonitorNow();
