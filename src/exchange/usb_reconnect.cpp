#include "exchange/usb_reconnect.h"

#include <algorithm>
#include <string>

#include "config/board_tables.h"
#include "config/live_events.h"
#include "config/plugin_log.h"
#include "config/settings.h"
#include "config/status_text.h"
#include "exchange/board_traffic.h"
#include "exchange/held_inputs.h"
#include "exchange/identification.h"
#include "exchange/wire_protocol.h"
#include "transport/port_causes.h"
#include "transport/serial_hotplug.h"
#include "transport/serial_ports.h"

std::vector<bool> UsbBoardAway;

namespace {

// Flight-loop calls, 25 ms each.
constexpr int kFolderLookCalls = 80;  // the device folder is read again every 2 s
constexpr int kProbeCalls = 40;       // a new port is probed every second...
// ...until a board identifies, for 10 s: an Arduino resets when its port is opened and its boot
// loader waits a second or two before the sketch answers.
constexpr int kIdentifyCalls = kSilentPortCalls;
constexpr size_t kReadSize = 256;
constexpr int kReadsPerCall = 8;
// A new port holding this much without an identification carries no board.
constexpr size_t kNewPortBufferLimit = 65536;

const std::string kDisconnected = " - disconnected";

bool Watching = false;  // the start-up's ports are remembered
bool Stopped = false;   // the transports are closed until the next start-up
int CallsSinceFolderLook = 0;

void SetAway(int b, bool away) {
    if (b < 0) return;
    if (b >= static_cast<int>(UsbBoardAway.size())) UsbBoardAway.resize(b + 1, false);
    UsbBoardAway[b] = away;
}

std::string BoardName(int b) {
    return "USB board " + std::to_string(b + 1) + " (board ID " + std::to_string(OutDevice[b]) +
           ")";
}

bool EndsWithDisconnected(const std::string& text) {
    return text.size() >= kDisconnected.size() &&
           text.compare(text.size() - kDisconnected.size(), kDisconnected.size(), kDisconnected) ==
               0;
}

// The board's own status line with or without the disconnected mark; the rest of it stays.
void MarkStatusLine(int b, bool away) {
    const int line = BoardStatusLine[b];
    if (line == -1) return;
    std::string text = StatusLine(line);
    const bool marked = EndsWithDisconnected(text);
    if (away && !marked) SetStatusLine(line, text + kDisconnected);
    if (!away && marked) SetStatusLine(line, text.substr(0, text.size() - kDisconnected.size()));
}

// Board b's port p is closed: the board waits, with its row, to come back.
void NoteBoardGone(int b, unsigned int p) {
    SetAway(b, true);
    AllowOutput[b] = false;
    ReleaseBoardHeldInputs(b);
    MarkStatusLine(b, true);
    ForgetTriedPath(ComPortName[p]);
    WriteLog("\n" + BoardName(b) + " disconnected: " + ComPortName[p]);
    PublishBoardEvent(b, "lost", static_cast<int>(OutDevice[b]), ComPortName[p]);
}

void NoteUnpluggedBoards() {
    CloseHungUpPorts();
    for (size_t p = 0; p < comport.size(); ++p) {
        const int b = SerialIndices[p];
        if (comport[p] >= 0 || !BoardExists(b) || UsbBoardIsAway(b)) continue;
        NoteBoardGone(b, static_cast<unsigned int>(p));
    }
    RemoveClosedUnboundPorts();
}

// A board that went away with this board ID, still holding its port in the lists; -1 if none.
int AwayBoardWithId(int id) {
    for (int b = 0; b < BoardCount(); ++b) {
        if (!UsbBoardIsAway(b) || static_cast<int>(OutDevice[b]) != id) continue;
        const int p = SerialIndex[b];
        if (p >= 0 && p < static_cast<int>(SerialIndices.size()) && SerialIndices[p] == b) return b;
    }
    return -1;
}

// Reads what new port k has received; false when the port failed.
bool ReadNewPort(NewSerialPort& port) {
    char chunk[kReadSize];
    for (int n = 0; n < kReadsPerCall; ++n) {
        const long got = ReadPort(port.fd, chunk, sizeof chunk);
        if (got < 0) return false;
        if (got == 0) break;
        HeardFromPort(port.path);
        port.buffer += MessageFromDatagram(chunk, static_cast<size_t>(got));
    }
    if (port.buffer.size() > kNewPortBufferLimit) port.buffer.clear();
    return true;
}

// Cuts the first identification with a board ID out of the port's buffer; what comes before it
// is dropped, as the port has no board to give it to.
bool TakeIdentification(std::string& buffer, std::string& message) {
    std::string frame;
    while (ExtractSerialFrame(buffer, frame)) {
        if (ClassifyMessage(frame) == MessageKind::Identification &&
            IdentificationBoardId(frame) >= 0) {
            message.swap(frame);
            return true;
        }
    }
    return false;
}

// A board identified on new port k: a board that went away with its board ID takes back its own
// port and board index; any other becomes a new board. The identification is then handled as if
// it had come from the port, which configures the board.
void BindNewPort(size_t k, const std::string& message) {
    const std::string path = NewSerialPorts[k].path;
    const int b = AwayBoardWithId(IdentificationBoardId(message));
    const unsigned int p = b >= 0 ? static_cast<unsigned int>(SerialIndex[b]) : AppendNewPort(k);
    if (b >= 0) {
        MoveNewPortTo(k, p);
        SetAway(b, false);
        MarkStatusLine(b, false);
        WriteLog("\n" + BoardName(b) + " reconnected: " + path);
    }
    MessageIsSerial = 1;
    SerialCurrent = p;
    HandleIdentification(message);
    NoteMessageReceived(message.size());
}

void ServeNewPorts() {
    for (size_t k = 0; k < NewSerialPorts.size();) {
        NewSerialPort& port = NewSerialPorts[k];
        port.calls = std::min(port.calls + 1, kIdentifyCalls);  // stops where it is looked at
        if (!ReadNewPort(port)) {
            DropNewPort(k, false);
            continue;
        }
        std::string message;
        if (TakeIdentification(port.buffer, message)) {
            BindNewPort(k, message);
            continue;
        }
        if (port.calls < kIdentifyCalls && port.calls % kProbeCalls == 1)
            Send_USB(port.fd, InitialMessage, 2);
        // With USB_FIX the port stays open, unprobed: a board that starts later announces itself.
        if (port.calls >= kIdentifyCalls && !USB_FIX) {
            NoteSilentPort(port.path);
            DropNewPort(k, true);
            continue;
        }
        ++k;
    }
}

}  // namespace

bool UsbBoardIsAway(int b) {
    return b >= 0 && b < static_cast<int>(UsbBoardAway.size()) && UsbBoardAway[b];
}

void WatchUsbBoards() {
    if (USBcountVar <= 0 || Stopped) return;
    if (!Watching) {
        RememberScannedPorts();
        Watching = true;
    }
    NoteUnpluggedBoards();
    if (++CallsSinceFolderLook >= kFolderLookCalls) {
        CallsSinceFolderLook = 0;
        OpenNewSerialDevices();
    }
    ServeNewPorts();
    CountListeningCall();
}

void StopWatchingUsbBoards() {
    CloseNewSerialPorts();
    Stopped = true;
}

void ClearUsbReconnectState() {
    ClearSerialHotplugState();
    UsbBoardAway.clear();
    Watching = false;
    Stopped = false;
    CallsSinceFolderLook = 0;
}
