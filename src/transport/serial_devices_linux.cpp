// The serial devices of Linux that can be a board: USB serial adapters (ttyUSB*) and USB modems
// of the CDC class (ttyACM*), the Arduinos with their own USB chip. Built-in ports (ttyS*),
// Bluetooth (rfcomm*) and everything else are left alone.
#include <string>

#include "transport/port_causes.h"
#include "transport/serial_ports.h"

bool IsSerialCandidate(const std::string& name) {
    if (name.size() <= 5) return false;
    return name.rfind("ttyUSB", 0) == 0 || name.rfind("ttyACM", 0) == 0;
}

std::string PermissionAdvice() {
    return ": add your user to the dialout group (sudo usermod -a -G dialout $USER), then log out "
           "and in";
}
