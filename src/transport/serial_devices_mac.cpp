// The serial devices of macOS that can be a board: the USB serial adapters' and USB modems'
// entries under both their names (tty.usb*, cu.usb*) and those of the CH340 driver (tty.wchusb*,
// cu.wchusb*). Bluetooth ports and everything else are left alone.
#include <string>

#include "transport/port_causes.h"
#include "transport/serial_ports.h"

bool IsSerialCandidate(const std::string& name) {
    if (name.size() <= 5) return false;
    static const char* const prefixes[] = {"tty.usb", "tty.wchusb", "cu.usb", "cu.wchusb"};
    for (const char* prefix : prefixes)
        if (name.rfind(prefix, 0) == 0) return true;
    return false;
}

std::string PermissionAdvice() {
    return std::string();
}
