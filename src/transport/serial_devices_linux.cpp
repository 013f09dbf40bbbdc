// The serial devices of Linux that can be a board: USB serial adapters (ttyUSB0, ttyUSB1, ...) and
// USB modems of the CDC class (ttyACM0, ...), the Arduinos with their own USB chip. Built-in ports
// (ttyS*), Bluetooth (rfcomm*) and every other name, a builder's ttyUSB0-notes.txt included, are
// left alone.
#include <string>

#include "transport/port_causes.h"
#include "transport/serial_ports.h"

bool IsSerialCandidate(const std::string& name) {
    constexpr size_t kPrefix = 6;
    if (name.size() <= kPrefix) return false;
    if (name.compare(0, kPrefix, "ttyUSB") != 0 && name.compare(0, kPrefix, "ttyACM") != 0)
        return false;
    return name.find_first_not_of("0123456789", kPrefix) == std::string::npos;
}

std::string PermissionAdvice() {
    return ": add your user to the dialout group (sudo usermod -a -G dialout $USER), then log out "
           "and in";
}
