// USB serial ports: the device scan, the line settings, the port lists and the serial sender.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "transport/port_causes.h"

// Per-port lists, one entry per open port, in the order the ports were opened.
extern std::vector<int> comport;               // descriptor; -1 once closed
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
extern bool send_usb_request;  // probe the unbound serial ports on the next flight-loop call

// The other name of a macOS device entry (tty.X <-> cu.X), or an empty text.
std::string TwinPath(const std::string& path);
// Finds, opens and configures every candidate device (start-up, when USB is on); a macOS device
// once, under the first of its two names.
void ScanSerialDevices();
// Board index of the serial port being handled, registering it when add is true; -1 if none.
int SerialConnectionExists(bool add);
// Closes port p and removes it from every port list; boards on later ports follow theirs down.
void RemovePortEntry(size_t p);
// Closes and removes every port that no identified board claims, unless USB_FIX is set.
void ClearUSB();
// Adds path, and for names with a '.' both its tty. and cu. twins, to UsedUSB.
void AddUsedPaths(const std::string& path);
// Sends to port p when it is open; false when there is no such open port. What the line does not
// take at once waits, whole and in order, and goes out before anything else (a message that finds
// 4 KB waiting is dropped whole: bytes_sent -1); bytes_sent is the length of a message that goes.
bool SendToPort(unsigned int p, const char* data, int length);
// Writes what port p holds back of earlier messages as far as its line takes it: true when
// nothing waits any longer (and for a port that is not open).
bool PortTakesMore(unsigned int p);
// Throws away what descriptor fd holds back (its port is being closed).
void ForgetPortBacklog(int fd);
// Empties port p's receive buffer and discards what the port has received but not yet read.
void DiscardPortInput(unsigned int p);
// Closes every open port descriptor and marks it closed; the lists stay.
void CloseSerialDescriptors();
// Empties every port list (after ClearUSB has closed the ports).
void ClearSerialState();

// The platform's serial calls (serial_ports_posix.cpp, serial_ports_win.cpp).

// The folder scanned for serial devices: $CORVANE_DEVICE_DIR or the system's device folder.
std::string DeviceFolder();
// True when a device of that name can be a board: a USB serial device (serial_devices_linux.cpp,
// serial_devices_mac.cpp).
bool IsSerialCandidate(const std::string& name);
// Paths of the candidate devices (USB serial devices), in the order the system lists them.
std::vector<std::string> ListSerialDevices();
// Opens path read-write and non-blocking (on POSIX without becoming its controlling terminal) and
// holds it exclusively; -1 on failure. cause tells an entry that is no serial device (on POSIX a
// file, folder, FIFO or broken link is never opened, and what turns out no terminal once opened
// is closed at once), a port that may not be opened, or one that another program holds: nothing
// is then set or written on it. Other failures are logged with the port and the system's reason,
// their cause is None.
int open_port(const std::string& path, PortCause& cause);
// Line settings: raw 8-bit bytes both ways (no input or output processing, no software flow
// control), no parity, at Baudrate when it is 115200, 57600 or 38400 (else
// the speed stays); input already received is discarded.
void ConfigurePort(int fd);
// Reads at most size bytes that have arrived on fd, never waiting: the count, 0 when nothing is
// waiting, -1 when the port failed (its device went away).
long ReadPort(int fd, char* buffer, size_t size);
// Writes exactly length bytes to fd; bytes_sent gets the result.
void Send_USB(int fd, const char* data, int length);
// Discards what fd has received but not yet read.
void FlushPortInput(int fd);
// Closes fd without waiting: a close that may wait for the device runs off the simulator's thread
// (port_closer_posix.cpp), after a moment for the last bytes; what is still unsent is dropped.
void ClosePortDescriptor(int fd);
// Closes fd, held by another program, without waiting and without touching its output.
void CloseForeignPort(int fd);
// Waits until every descriptor handed over for closing is closed (the plug-in stops).
void FinishPortCloses();
// True when fd's device hung up or failed (its cable was pulled); never waits.
bool PortHungUp(int fd);
