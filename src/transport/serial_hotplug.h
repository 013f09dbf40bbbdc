// USB serial devices that come and go while flying: devices that appear after the start-up scan
// are opened and wait here until a board identifies on them; ports whose device hung up are
// closed. Everything here runs between two receptions of the flight loop, never inside one.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// A device opened after the start-up scan that carries no board yet.
struct NewSerialPort {
    int fd = -1;
    std::string path;
    std::string buffer;  // received bytes not yet framed
    int calls = 0;       // flight-loop calls since it was opened
};

extern std::vector<NewSerialPort> NewSerialPorts;  // opened after the start-up, no board yet

// Takes the ports of the start-up scan as already tried, so that a later look at the device
// folder leaves them to the search.
void RememberScannedPorts();
// Reads the device folder and opens each candidate that is new: not open, not already tried
// without a board while it stayed in the folder, and not the twin name of an open port.
void OpenNewSerialDevices();
// Closes every port whose device hung up: a port of the lists stays in them, closed (-1); a new
// port is dropped.
void CloseHungUpPorts();
// Removes the closed ports that carry no board from the port lists; boards on later ports follow
// theirs.
void RemoveClosedUnboundPorts();
// Closes new port k and drops it; when tried is true its path is not opened again while it stays
// in the device folder.
void DropNewPort(size_t k, bool tried);
// Moves new port k into port p of the lists, whose device went away; its path joins UsedUSB.
void MoveNewPortTo(size_t k, unsigned int p);
// Appends new port k to the port lists without a board; returns its port index (the length of
// the lists when there is no port k).
unsigned int AppendNewPort(size_t k);
// Lets the next look at the device folder open path (and its twin name) again.
void ForgetTriedPath(const std::string& path);
// Closes every new port and drops it.
void CloseNewSerialPorts();
// Closes the new ports and forgets every tried path (the full reset).
void ClearSerialHotplugState();
