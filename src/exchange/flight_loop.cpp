#include "exchange/flight_loop.h"

#include <algorithm>

#include "XPLMDataAccess.h"
#include "config/board_tables.h"
#include "config/plugin_log.h"
#include "config/scratch_state.h"
#include "config/settings.h"
#include "config/status_text.h"
#include "exchange/held_inputs.h"
#include "exchange/identification.h"
#include "exchange/input_dispatch.h"
#include "exchange/output_gate.h"
#include "exchange/output_pass.h"
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

constexpr size_t kDatagramSize = 81920;
constexpr size_t kSerialReadSize = 64;
// A port buffer holding this much without a complete frame is garbage, not a message.
constexpr size_t kSerialBufferLimit = 4096;
// Messages one link may deliver in one call.
constexpr int kMaxMessagesPerLink = 10000;

char recs[kDatagramSize];
char recs_usb[kSerialReadSize];

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
    if (doit && !Base_IP.empty()) {
        My_IP_str = Base_IP + std::to_string(Next);
        if (inet_pton(AF_INET, My_IP_str.c_str(), &serv_addr.sin_addr) == 1)
            Send_LAN(InitialMessage, 2, serv_addr);
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

void ProbeUnboundPorts() {
    for (size_t k = 0; k < comport.size(); ++k) {
        if (SerialIndices[k] >= 0 || comport[k] < 0) continue;
        Send_USB(comport[k], InitialMessage, 2);
        WriteLog("\nSending request to USB: " + std::to_string(bytes_sent) + " bytes\n");
    }
}

void ScanStep() {
    ProbeNextLanAddress();
    TurnSpinner();
    if (send_usb_request) {
        ProbeUnboundPorts();
        send_usb_request = false;
    }
    if (StatusLine(3).size() >= 5) --ScanTimeout;
    if (ScanTimeout == 0) {
        WriteLog("\nFinishing scanning for devices...");
        ClearUSB();
        WriteLog("\nScanning stopped. ");
        SetStatusLine(SearchLine(), "   ");
    }
}

void ReceiveLan() {
    if (sock <= 0) return;
    const long n = ReceiveDatagram(recs, sizeof recs);
    recsize = static_cast<int>(n);
    if (n > 0) st = MessageFromDatagram(recs, static_cast<size_t>(n));
}

// A port whose device is gone is closed, so it is not polled again until the next start-up.
void DropPort(unsigned int p) {
    if (comport[p] >= 0) ClosePortDescriptor(comport[p]);
    comport[p] = -1;
    SerialBuffer[p].clear();
}

void ReceiveSerial(unsigned int p) {
    if (p >= comport.size() || comport[p] < 0) return;
    const long n = ReadPort(comport[p], recs_usb, sizeof recs_usb);
    if (n < 0) {
        DropPort(p);
        return;
    }
    if (n > 0) {
        recsize = static_cast<int>(n);
        SerialBuffer[p] += MessageFromDatagram(recs_usb, static_cast<size_t>(n));
    }
    if (!ExtractSerialFrame(SerialBuffer[p], st) && SerialBuffer[p].size() > kSerialBufferLimit) {
        WriteLog("\nUSB read error");
        SerialBuffer[p].clear();
    }
}

void ReceiveAndDispatch() {
    cycle = max_cycles;
    SerialCurrent = 0;
    int handledOnLink = 0;
    while (cycle >= 1) {
        st.clear();
        if (cycle == max_cycles) {
            ReceiveLan();
            MessageIsSerial = 0;
        } else {
            ReceiveSerial(SerialCurrent);
            MessageIsSerial = 1;
        }
        if (!st.empty()) {
            // The handlers may use st; the message is taken out of it, not copied.
            std::string message;
            message.swap(st);
            DispatchMessage(message);
            // A link that never runs dry (a flood) is left for the next call after this many
            // messages, so the call always returns; what is left waits in the socket or buffer.
            if (++handledOnLink < kMaxMessagesPerLink) continue;
        }
        handledOnLink = 0;
        --cycle;
        if (MessageIsSerial == 1) ++SerialCurrent;
    }
}

void HandleControlRequest(const std::string& message) {
    const int b = ConnectionExists(false);
    if (!BoardExists(b) || BoardRefused[b]) return;
    const char request = message[1];
    HandleOutputGate(b, request);
    if (request == 'a' || request == 'n' || request == 's') AnswerConfigRequest(b, request);
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
    if (ScanTimeout >= 1) ScanStep();
    ReceiveAndDispatch();
    CountPingCalls();
    RepeatHeldInputs();
    RefreshCustomDrefs();
    ReadFrameTime();
    SendChangedOutputs();
    return 0.025f;
}

void ResetFlightLoopState() {
    Next = 0;
    doit = 1;
    recsize = 0;
}
