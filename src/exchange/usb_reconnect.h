// USB boards that come and go while flying: a board whose cable is pulled is shown disconnected,
// and when it identifies again on a new port it takes back its own board index.
#pragma once

#include <vector>

extern std::vector<bool> UsbBoardAway;  // per board index: its USB device went away

// True when board b is a USB board whose device went away (shown disconnected until it is back).
bool UsbBoardIsAway(int b);

// One step per flight-loop call, before the reception: closes the ports whose device went away,
// looks at the device folder again every two seconds, and probes and reads the ports opened
// since until a board identifies on them. Does nothing while USB is switched off.
void WatchUsbBoards();
// Closes the ports opened since the start-up and stops watching until the next start-up (the
// plug-in is disabled or stopped).
void StopWatchingUsbBoards();
// Closes the ports opened since the start-up and forgets the boards that went away (the full
// reset).
void ClearUsbReconnectState();
