#include "transport/serial_hotplug.h"

#include <algorithm>
#include <map>
#include <set>

#include "config/board_tables.h"
#include "config/plugin_log.h"
#include "transport/serial_ports.h"

std::vector<NewSerialPort> NewSerialPorts;

namespace {

// A device that cannot be opened is tried this many times while it stays in the folder (its
// permissions may be set a moment after it appears), then left alone.
constexpr int kOpenAttempts = 3;
// New ports waiting for a board at one time; a folder full of candidates cannot take every
// descriptor of the process.
constexpr size_t kMaxNewPorts = 16;

// Paths tried without a board (the start-up's ports included), forgotten once they leave the
// device folder, so that a device plugged in again is tried afresh.
std::set<std::string> TriedPaths;
std::map<std::string, int> FailedOpens;  // path -> failed attempts to open it

bool IsOpenPath(const std::string& path) {
    if (path.empty()) return false;
    for (size_t p = 0; p < comport.size(); ++p)
        if (comport[p] >= 0 && ComPortName[p] == path) return true;
    for (const NewSerialPort& port : NewSerialPorts)
        if (port.path == path) return true;
    return false;
}

void OpenNewPort(const std::string& path) {
    // A port another program holds is tried at every look until it is let go, and an entry that
    // is no serial device is looked at again (it may be replaced by a device); both are noted
    // only once.
    const PortCause before = CauseOf(path);
    PortCause cause = PortCause::None;
    const int fd = open_port(path, cause);
    const bool serial = cause != PortCause::None && cause != PortCause::NotSerialDevice;
    if (fd >= 0 || (serial && cause != before)) WriteLog("\nFound serial port: " + path);
    if (fd < 0) {
        NotePortCause(path, cause);
        if (cause != PortCause::Busy && cause != PortCause::NotSerialDevice) ++FailedOpens[path];
        return;
    }
    FailedOpens.erase(path);
    ConfigurePort(fd);
    NewSerialPort port;
    port.fd = fd;
    port.path = path;
    NewSerialPorts.push_back(port);
    ListenToPort(path);
    WriteLog("\nSerial port " + path + " opened");
}

// Forgets the tried paths, failed attempts and causes of devices no longer in the folder.
void ForgetVanished(const std::vector<std::string>& listed) {
    const auto gone = [&](const std::string& path) {
        return std::find(listed.begin(), listed.end(), path) == listed.end();
    };
    for (auto it = TriedPaths.begin(); it != TriedPaths.end();)
        it = gone(*it) ? TriedPaths.erase(it) : std::next(it);
    for (auto it = FailedOpens.begin(); it != FailedOpens.end();)
        it = gone(it->first) ? FailedOpens.erase(it) : std::next(it);
    ForgetPortCausesNotIn(listed);
}

}  // namespace

void RememberScannedPorts() {
    TriedPaths.insert(ComPortName.begin(), ComPortName.end());
}

void OpenNewSerialDevices() {
    const std::vector<std::string> listed = ListSerialDevices();
    ForgetVanished(listed);
    for (const std::string& path : listed) {
        if (NewSerialPorts.size() >= kMaxNewPorts) return;
        if (IsOpenPath(path) || IsOpenPath(TwinPath(path)) || TriedPaths.count(path) != 0) continue;
        const auto failed = FailedOpens.find(path);
        if (failed != FailedOpens.end() && failed->second >= kOpenAttempts) continue;
        OpenNewPort(path);
    }
}

void CloseHungUpPorts() {
    for (size_t p = 0; p < comport.size(); ++p) {
        if (comport[p] < 0 || !PortHungUp(comport[p])) continue;
        ForgetPortBacklog(comport[p]);
        ClosePortDescriptor(comport[p]);
        comport[p] = -1;
        SerialBuffer[p].clear();
    }
    for (size_t k = 0; k < NewSerialPorts.size();) {
        if (PortHungUp(NewSerialPorts[k].fd))
            DropNewPort(k, false);
        else
            ++k;
    }
}

void RemoveClosedUnboundPorts() {
    for (size_t p = 0; p < comport.size();) {
        if (comport[p] >= 0 || SerialIndices[p] >= 0) {
            ++p;
            continue;
        }
        RemovePortEntry(p);
        if (SerialCurrent > p) --SerialCurrent;
    }
}

void DropNewPort(size_t k, bool tried) {
    if (k >= NewSerialPorts.size()) return;
    const NewSerialPort& port = NewSerialPorts[k];
    WriteLog("\nClosing " + port.path);
    if (port.fd >= 0) ClosePortDescriptor(port.fd);
    if (tried) {
        TriedPaths.insert(port.path);
        const std::string twin = TwinPath(port.path);
        if (!twin.empty()) TriedPaths.insert(twin);
    }
    NewSerialPorts.erase(NewSerialPorts.begin() + k);
}

void MoveNewPortTo(size_t k, unsigned int p) {
    if (k >= NewSerialPorts.size() || p >= comport.size()) return;
    NewSerialPort& port = NewSerialPorts[k];
    ForgetPortBacklog(comport[p]);
    if (comport[p] >= 0) ClosePortDescriptor(comport[p]);
    comport[p] = port.fd;
    ComPortName[p] = port.path;
    SerialBuffer[p].swap(port.buffer);
    if (std::find(UsedUSB.begin(), UsedUSB.end(), port.path) == UsedUSB.end())
        AddUsedPaths(port.path);
    NewSerialPorts.erase(NewSerialPorts.begin() + k);
}

unsigned int AppendNewPort(size_t k) {
    if (k >= NewSerialPorts.size()) return static_cast<unsigned int>(comport.size());
    NewSerialPort& port = NewSerialPorts[k];
    comport.push_back(port.fd);
    ComPortName.push_back(port.path);
    SerialIndices.push_back(-1);
    SerialBuffer.emplace_back();
    SerialBuffer.back().swap(port.buffer);
    ++max_cycles;
    NewSerialPorts.erase(NewSerialPorts.begin() + k);
    return static_cast<unsigned int>(comport.size() - 1);
}

void ForgetTriedPath(const std::string& path) {
    TriedPaths.erase(path);
    TriedPaths.erase(TwinPath(path));
}

void CloseNewSerialPorts() {
    for (const NewSerialPort& port : NewSerialPorts)
        if (port.fd >= 0) ClosePortDescriptor(port.fd);
    NewSerialPorts.clear();
}

void ClearSerialHotplugState() {
    CloseNewSerialPorts();
    TriedPaths.clear();
    FailedOpens.clear();
}
