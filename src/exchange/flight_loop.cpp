#include "exchange/flight_loop.h"

#include <algorithm>
#include <chrono>

#include "XPLMDataAccess.h"
#include "config/board_monitor.h"
#include "config/board_tables.h"
#include "config/live_events.h"
#include "config/plugin_log.h"
#include "config/scratch_state.h"
#include "config/settings.h"
#include "config/status_text.h"
#include "exchange/board_traffic.h"
#include "exchange/held_inputs.h"
#include "exchange/identification.h"
#include "exchange/input_dispatch.h"
#include "exchange/lan_reprobe.h"
#include "exchange/learn_mode.h"
#include "exchange/learn_upload.h"
#include "exchange/monitor_text.h"
#include "exchange/name_healing.h"
#include "exchange/output_gate.h"
#include "exchange/output_pass.h"
#include "exchange/port_cause_line.h"
#include "exchange/usb_reconnect.h"
#include "exchange/wire_protocol.h"
#include "simdata/custom_refs.h"
#include "simdata/sim_time.h"
#include "transport/connection.h"
#include "transport/lan_socket.h"
#include "transport/serial_ports.h"

int Next = 0;
int doit = 1;
int recsize = 0;

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kDatagramSize = 81920;
// One read from a serial port takes at most this much; a call reads a port up to
// kSerialReadPerCall bytes.
constexpr size_t kSerialReadSize = 4096;
constexpr size_t kSerialReadPerCall = 16384;
// A port buffer holding more than the largest datagram without a complete frame is garbage, not
// a message (a Helvan panel's identification with a large configuration stays below it).
constexpr size_t kSerialBufferLimit = kDatagramSize;
// Messages one link may deliver in one call.
constexpr int kMaxMessagesPerLink = 10000;
// The reception stops reading for the call once it has spent this much time; what waits stays in
// the socket or the port buffers for the next call. Each link still gets its first message of
// the call, so a flood on one link cannot starve the others.
constexpr auto kReceptionBudget = std::chrono::microseconds(500);
// Ports without a board are probed again this often while the search runs: an Arduino resets
// when its port is opened and misses the probes of its first second or two.
constexpr auto kSerialProbeInterval = std::chrono::seconds(1);

char recs[kDatagramSize];
char recs_usb[kSerialReadSize];
Clock::time_point lastSerialProbe;

char NextSpinnerCharacter(char c) {
    switch (c) {
        case '|':
            return '/';
        case '/':
            return '-';
        case '-':
            return '\\';
        case ' ':
        case '\\':
            return '|';
        default:
            return c;
    }
}

void ProbeNextLanAddress() {
    doit = std::find(UsedAddr.begin(), UsedAddr.end(), Next) == UsedAddr.end() ? 1 : 0;
    sockaddr_in to{};
    if (doit && ProbeAddress(Next, to)) {
        My_IP_str = Base_IP + std::to_string(Next);
        Send_LAN(InitialMessage, 2, to);
    }
    Next = Next >= 255 ? 0 : Next + 1;
}

void TurnSpinner() {
    const int i = SearchLine();
    std::string text = StatusLine(i);
    if (text.size() < 2) return;
    text[1] = NextSpinnerCharacter(text[1]);
    SetStatusLine(i, text);
}

// The probe after the start-up is logged; its repeats every second are not.
void ProbeUnboundPorts(bool log) {
    for (size_t k = 0; k < comport.size(); ++k) {
        if (SerialIndices[k] >= 0 || comport[k] < 0) continue;
        Send_USB(comport[k], InitialMessage, 2);
        if (log) WriteLog("\nSending request to USB: " + std::to_string(bytes_sent) + " bytes\n");
    }
}

void ScanStep() {
    ProbeNextLanAddress();
    TurnSpinner();
    const Clock::time_point now = Clock::now();
    if (send_usb_request || now - lastSerialProbe >= kSerialProbeInterval) {
        ProbeUnboundPorts(send_usb_request);
        send_usb_request = false;
        lastSerialProbe = now;
    }
    // The countdown starts with the first board line.
    if (message_line_number > 2) --ScanTimeout;
    if (ScanTimeout == 0) {
        WriteLog("\nFinishing scanning for devices...");
        ClearUSB();
        WriteLog("\nScanning stopped. ");
        SetStatusLine(SearchLine(), "   ");
    }
}

// Takes one datagram: true when one was waiting. st gets its message; it stays empty for a
// datagram that carries none (empty, or a zero byte first) and for one from outside the cockpit
// network, which is counted and dropped.
bool ReceiveLan() {
    if (sock <= 0) return false;
    const long n = ReceiveDatagram(recs, sizeof recs);
    if (n < 0) return false;
    recsize = static_cast<int>(n);
    if (!FromCockpitNetwork(serv_addr)) {
        ++ForeignDatagrams;
        return true;
    }
    st = MessageFromDatagram(recs, static_cast<size_t>(n));
    if (DropUnknownSender(st)) st.clear();
    return true;
}

// A port whose device is gone is closed, so it is not polled again until the next start-up.
void DropPort(unsigned int p) {
    ForgetPortBacklog(comport[p]);
    if (comport[p] != -1) ClosePortDescriptor(comport[p]);
    comport[p] = -1;
    SerialBuffer[p].clear();
}

// Cuts the next frame of port p into st, reading what the port holds when its buffer has no
// complete frame (up to kSerialReadPerCall bytes per call, counted in readThisCall). True when a
// frame was cut; st is empty for "{}" or a stray '}'.
bool ReceiveSerial(unsigned int p, size_t& readThisCall) {
    if (p >= comport.size() || comport[p] < 0) return false;
    std::string& buffer = SerialBuffer[p];
    while (!ExtractSerialFrame(buffer, st)) {
        if (buffer.size() > kSerialBufferLimit) {
            WriteLog("\nUSB read error");
            buffer.clear();
            ++DiscardedFrames;
        }
        if (readThisCall >= kSerialReadPerCall) return false;
        const long n = ReadPort(comport[p], recs_usb, sizeof recs_usb);
        if (n < 0) {
            DropPort(p);
            return false;
        }
        if (n == 0) return false;
        recsize = static_cast<int>(n);
        readThisCall += static_cast<size_t>(n);
        if (SerialIndices[p] < 0) HeardFromPort(ComPortName[p]);
        buffer += MessageFromDatagram(recs_usb, static_cast<size_t>(n));
    }
    if (st.empty()) ++DiscardedFrames;  // "{}" or a stray '}'
    return true;
}

void ReceiveAndDispatch() {
    // The budget is counted from the first message taken: a call that finds nothing reads no
    // clock.
    Clock::time_point deadline;
    bool timed = false;
    StartIdentificationCall();
    cycle = max_cycles;
    SerialCurrent = 0;
    int takenFromLink = 0;
    size_t readFromPort = 0;
    while (cycle >= 1) {
        st.clear();
        bool taken = false;
        if (cycle == max_cycles) {
            MessageIsSerial = 0;
            taken = ReceiveLan();
        } else {
            MessageIsSerial = 1;
            taken = ReceiveSerial(SerialCurrent, readFromPort);
        }
        if (taken) {
            if (!timed) {
                deadline = Clock::now() + kReceptionBudget;
                timed = true;
            }
            if (!st.empty()) {
                // The handlers may use st; the message is taken out of it, not copied.
                std::string message;
                message.swap(st);
                DispatchMessage(message);
                NoteMessageReceived(message.size());
            }
            // The same link again, until it runs dry, the call's budget is spent, or (a flood
            // that never runs dry) it has delivered its count for the call.
            if (++takenFromLink < kMaxMessagesPerLink && Clock::now() < deadline) continue;
        }
        takenFromLink = 0;
        readFromPort = 0;
        --cycle;
        if (MessageIsSerial == 1) ++SerialCurrent;
    }
}

void HandleControlRequest(const std::string& message) {
    const int b = ConnectionExists(false);
    if (!BoardExists(b) || BoardRefused[b]) return;
    const char request = message[1];
    HandleOutputGate(b, request);
    if (request == 'a' && Learning() && OutDevice[b] != 0) {
        AnswerLearnAnalogRequest(b);
    } else if (request == 'a' || request == 'n' || request == 's') {
        AnswerConfigRequest(b, request);
    }
    if (request == 'd') AnswerGateRequest(b);
}

}  // namespace

void DispatchMessage(const std::string& message) {
    switch (ClassifyMessage(message)) {
        case MessageKind::Identification:
            HandleIdentification(message);
            break;
        case MessageKind::Control:
            HandleControlRequest(message);
            break;
        case MessageKind::Input:
            HandleInputMessage(message);
            break;
        case MessageKind::Ignored:
            break;
    }
}

float MyFlightLoopCallback(float, float, int, void*) {
    WatchUsbBoards();
    if (ScanTimeout >= 1)
        ScanStep();
    else
        ProbeLanSlowly();
    ShowPortCausesOnSearchLine();
    ContinuePanelReads();
    ContinueLearning();
    ReceiveAndDispatch();
    CountPingCalls();
    RepeatHeldInputs();
    RefreshCustomDrefs();
    ReadFrameTime();
    HealMissingNames();
    SendChangedOutputs();
    RefreshMonitor();
    RunStudioCallWork();
    return 0.025f;
}

void ResetFlightLoopState() {
    Next = 0;
    doit = 1;
    recsize = 0;
    lastSerialProbe = Clock::time_point();
    ForgetIdentifications();
    ForgetLearning();
    ResetNameHealing();
    ResetLanReprobe();
}
