// config.ini: the plug-in's settings, read at every start-up and rewritten by the USB check box.
#pragma once

#include <string>

extern std::string SpecifiedIP;  // IP_ADDRESS: own address to use; short texts mean automatic
extern int UDP_PORT;             // PORT: UDP port bound and probed
extern unsigned int Baudrate;    // USB_BAUD: serial speed; kept across resets
extern int USBcountVar;          // USB_DEVICE_COUNT: expected USB boards; 0 or less: USB off
extern int ScanTimeout;          // SCANNING_TIMEOUT: search length in flight-loop calls
extern bool USB_FIX;             // USB_FIX: never close serial ports for lack of a board
extern int STUDIO_PORT;          // STUDIO_PORT: the Studio's TCP port on 127.0.0.1; 0: no Studio
extern bool RESET_EVENTS;        // RESET_EVENTS: ask boards for all inputs after a scenery load

// Reads the settings from an open file's text, line by line; a byte-order mark at its start is
// skipped.
void ReadSettings(std::istream& file);
// Gives every setting but Baudrate its reset value.
void ResetSettings();
// Rewrites foldername/config.ini with the USB line for the check box state (a missing file is
// created holding only that line); false, with a log line, when the file cannot be read or
// written, which leaves it as it was.
bool RewriteUsbSetting(long newState);
