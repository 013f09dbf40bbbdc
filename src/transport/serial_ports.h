// USB serial ports: the device scan, the line settings, the port lists and the serial sender.
#pragma once

#include <termios.h>

#include <string>
#include <vector>

// Per-port lists, one entry per open port, in the order the ports were opened.
extern std::vector<int> comport;               // descriptor; -1 once closed
extern std::vector<termios> options;           // terminal settings applied to the port
extern std::vector<std::string> ComPortName;   // device path
extern std::vector<int> SerialIndices;         // board index on the port; -1 until one identifies
extern std::vector<std::string> SerialBuffer;  // received bytes not yet framed

extern std::vector<std::string> UsedUSB;  // device paths that belong to identified boards
extern int USBLength;                     // USB boards registered since the start-up
extern int max_cycles;                    // 1 + open ports: passes of the reception loop
extern int cycle;                         // remaining passes of the current reception loop
extern unsigned int SerialCurrent;        // port of the message being handled
extern int MessageIsSerial;               // 1 while handling a serial message, 0 for the LAN
extern int bytes_sent;                    // result of the last send, serial or LAN

// The folder scanned for serial devices: $CORVANE_DEVICE_DIR or "/dev/", ending in '/'.
std::string DeviceFolder();
// True when a device of that name looks like a USB serial adapter of a board.
bool IsSerialCandidate(const std::string& name);
// Finds, opens and configures every candidate device (start-up, when USB is on).
void ScanSerialDevices();
// Opens path read-write, non-blocking, without becoming its controlling terminal; -1 on failure.
int open_port(std::string path);
// Writes exactly length bytes to fd; bytes_sent gets the result.
void Send_USB(int fd, const char* data, int length);
// Board index of the serial port being handled, registering it when add is true; -1 if none.
int SerialConnectionExists(bool add);
// Closes and removes every port that no identified board claims, unless USB_FIX is set.
void ClearUSB();
// Sends to port p when it is open; false when there is no such open port.
bool SendToPort(unsigned int p, const char* data, int length);
// Empties port p's receive buffer and discards what the port has received but not yet read.
void DiscardPortInput(unsigned int p);
// Closes every open port descriptor and marks it closed; the lists stay.
void CloseSerialDescriptors();
// Empties every port list (after ClearUSB has closed the ports).
void ClearSerialState();
