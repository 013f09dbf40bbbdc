// The serial devices of macOS that can be a board: the USB serial adapters' and USB modems'
// entries under both their names (tty.usbserial-A50285BI, cu.usbmodem14101, ...) and those of the
// CH340 driver (tty.wchusbserial1420, cu.wchusbserial1420). The system's names hold letters,
// digits, '-' and '_' after the first dot; Bluetooth ports and every other name, a builder's
// cu.usbmodem-notes.txt included, are left alone.
#include <cctype>
#include <string>

#include "transport/port_causes.h"
#include "transport/serial_ports.h"

bool IsSerialCandidate(const std::string& name) {
    static const std::string prefixes[] = {"tty.usb", "tty.wchusb", "cu.usb", "cu.wchusb"};
    for (const std::string& prefix : prefixes) {
        if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) continue;
        for (size_t k = prefix.size(); k < name.size(); ++k) {
            const unsigned char c = static_cast<unsigned char>(name[k]);
            if (!std::isalnum(c) && c != '-' && c != '_') return false;
        }
        return true;
    }
    return false;
}

std::string PermissionAdvice() {
    return std::string();
}
