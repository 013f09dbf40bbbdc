#include "transport/serial_ports.h"

#include <algorithm>
#include <map>

#include "config/board_monitor.h"
#include "config/board_tables.h"
#include "config/plugin_log.h"
#include "config/settings.h"

std::vector<int> comport;
std::vector<std::string> ComPortName;
std::vector<int> SerialIndices;
std::vector<std::string> SerialBuffer;

std::vector<std::string> UsedUSB;
int USBLength = 0;
int max_cycles = 1;
int cycle = 1;
unsigned int SerialCurrent = 0;
int MessageIsSerial = 0;
int bytes_sent = 0;
bool send_usb_request = false;

// The paths that count as the board's own adapter: its port path and, for macOS names with a
// '.', both twin entries (tty. and cu.) in the same folder.
void AddUsedPaths(const std::string& path) {
    UsedUSB.push_back(path);
    const size_t slash = path.rfind('/');
    const std::string folder = path.substr(0, slash + 1);
    const std::string name = path.substr(slash + 1);
    const size_t dot = name.find('.');
    if (dot == std::string::npos) return;
    const std::string suffix = name.substr(dot);
    UsedUSB.push_back(folder + "tty" + suffix);
    UsedUSB.push_back(folder + "cu" + suffix);
}

namespace {

// What a port's line did not take of the messages written to it, by descriptor (with the port's
// path, so that a descriptor reused for another device never gets it): it goes out, before
// anything else, as the line takes it, so a board never reads a message cut short followed by the
// next one.
struct Backlog {
    std::string path;
    std::string bytes;
};
std::map<int, Backlog> PortBacklog;
// More than this waiting and a new message is dropped whole.
constexpr size_t kBacklogLimit = 4096;

void ClosePort(size_t p) {
    ForgetPortBacklog(comport[p]);
    if (comport[p] >= 0) ClosePortDescriptor(comport[p]);
    comport[p] = -1;
}

// Writes as much of the backlog as the line takes; true when none is left.
bool WriteBacklog(unsigned int p) {
    auto found = PortBacklog.find(comport[p]);
    if (found == PortBacklog.end()) return true;
    std::string& bytes = found->second.bytes;
    if (found->second.path == ComPortName[p]) {
        Send_USB(comport[p], bytes.data(), static_cast<int>(bytes.size()));
        bytes.erase(0, static_cast<size_t>(std::max(bytes_sent, 0)));
    } else {
        bytes.clear();
    }
    if (!bytes.empty()) return false;
    PortBacklog.erase(found);
    return true;
}

}  // namespace

std::string TwinPath(const std::string& path) {
    const size_t slash = path.rfind('/');
    const std::string folder = path.substr(0, slash + 1);
    const std::string name = path.substr(slash + 1);
    if (name.compare(0, 4, "tty.") == 0) return folder + "cu." + name.substr(4);
    if (name.compare(0, 3, "cu.") == 0) return folder + "tty." + name.substr(3);
    return std::string();
}

void ScanSerialDevices() {
    for (const std::string& path : ListSerialDevices()) {
        // A device's second name (macOS) is the same port, which the first holds exclusively.
        const std::string twin = TwinPath(path);
        if (!twin.empty() &&
            std::find(ComPortName.begin(), ComPortName.end(), twin) != ComPortName.end())
            continue;
        PortCause cause = PortCause::None;
        const int fd = open_port(path, cause);
        // An entry that is no serial device is told by its cause alone; a failure the system
        // explains was logged, naming the port.
        if (fd >= 0 || (cause != PortCause::None && cause != PortCause::NotSerialDevice))
            WriteLog("\nFound serial port: " + path);
        if (fd < 0) {
            NotePortCause(path, cause);
            continue;
        }
        ListenToPort(path);
        comport.push_back(fd);
        ConfigurePort(fd);
        ++max_cycles;
        ComPortName.push_back(path);
        SerialIndices.push_back(-1);
        SerialBuffer.emplace_back();
        WriteLog("\nSerial port " + path + " opened");
    }
}

bool SendToPort(unsigned int p, const char* data, int length) {
    if (p >= comport.size() || comport[p] < 0 || length < 0) return false;
    if (WriteBacklog(p)) {
        Send_USB(comport[p], data, length);
        // A failed write is told as failed (-1); what a full line did not take waits its turn.
        if (bytes_sent >= 0 && bytes_sent < length)
            PortBacklog[comport[p]] = {ComPortName[p],
                                       std::string(data + bytes_sent, data + length)};
        if (bytes_sent >= 0) bytes_sent = length;
    } else {
        std::string& bytes = PortBacklog[comport[p]].bytes;
        const bool room = bytes.size() + static_cast<size_t>(length) <= kBacklogLimit;
        if (room) bytes.append(data, static_cast<size_t>(length));
        bytes_sent = room ? length : -1;
    }
    NoteSent(p < SerialIndices.size() ? SerialIndices[p] : -1, bytes_sent);
    return true;
}

void ForgetPortBacklog(int fd) {
    PortBacklog.erase(fd);
}

bool PortTakesMore(unsigned int p) {
    return p >= comport.size() || comport[p] < 0 || WriteBacklog(p);
}

void DiscardPortInput(unsigned int p) {
    if (p >= comport.size()) return;
    SerialBuffer[p].clear();
    // Only the input queue: flushing the output queue as well would throw away the reply just
    // written, when the line has not sent it yet.
    if (comport[p] >= 0) FlushPortInput(comport[p]);
}

int SerialConnectionExists(bool add) {
    const unsigned int p = SerialCurrent;
    if (p >= SerialIndices.size()) return -1;
    if (SerialIndices[p] >= 0) return SerialIndices[p];
    if (!add) return -1;
    ++USBLength;
    AddUsedPaths(ComPortName[p]);
    if (USBLength >= USBcountVar) ClearUSB();
    if (SerialCurrent >= SerialIndices.size()) return -1;
    SerialBuffer[SerialCurrent].clear();
    const int n = BoardCount();
    SerialIndices[SerialCurrent] = n;
    return n;
}

void RemovePortEntry(size_t p) {
    if (p >= comport.size()) return;
    for (int& index : SerialIndex)
        if (index > static_cast<int>(p)) --index;
    WriteLog("\nClosing " + ComPortName[p]);
    ClosePort(p);
    ComPortName.erase(ComPortName.begin() + p);
    SerialIndices.erase(SerialIndices.begin() + p);
    SerialBuffer.erase(SerialBuffer.begin() + p);
    comport.erase(comport.begin() + p);
    --max_cycles;
}

void ClearUSB() {
    if (USB_FIX) {
        WriteLog("\nUSB_FIX active. All ports remain open.");
        return;
    }
    WriteLog("\nClearing unused serial ports");
    const size_t current = SerialCurrent;
    bool currentStays = current < comport.size();
    size_t currentPosition = current;
    bool removedAny = false;
    size_t original = 0;  // index the port at p had before this walk
    for (size_t p = 0; p < comport.size(); ++original) {
        if (std::find(UsedUSB.begin(), UsedUSB.end(), ComPortName[p]) != UsedUSB.end()) {
            ++p;
            continue;
        }
        removedAny = true;
        if (original == current) currentStays = false;
        if (original < current) --currentPosition;
        RemovePortEntry(p);
        --cycle;
    }
    if (removedAny) SerialCurrent = currentStays ? static_cast<unsigned int>(currentPosition) : 0;
}

void CloseSerialDescriptors() {
    for (size_t p = 0; p < comport.size(); ++p) ClosePort(p);
}

void ClearSerialState() {
    comport.clear();
    ComPortName.clear();
    SerialIndices.clear();
    SerialBuffer.clear();
    PortBacklog.clear();
    UsedUSB.clear();
    USBLength = 0;
    max_cycles = 1;
    cycle = 1;
    SerialCurrent = 0;
    MessageIsSerial = 0;
    ClearPortCauses();
}
