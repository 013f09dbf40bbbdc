#include "exchange/monitor_text.h"

#include <algorithm>
#include <cstdio>

#include "config/board_monitor.h"
#include "config/board_tables.h"
#include "config/config_fields.h"
#include "config/missing_names.h"
#include "exchange/usb_reconnect.h"
#include "transport/lan_socket.h"
#include "transport/port_causes.h"
#include "transport/serial_ports.h"

namespace {

constexpr size_t kShownTextLength = 24;
// Room for the names not found yet after the list, within the width of the window.
constexpr size_t kMissingLineLength = 110;
static_assert(2 + 5 * kMonitorBoardRoom + 1 <= kMonitorLineCount, "the board lines must fit");

// A text from a board or a dataref as the window can show it: printable characters only, cut
// short.
std::string Printable(const std::string& text, size_t length = kShownTextLength) {
    std::string shown;
    for (size_t k = 0; k < text.size() && k < length; ++k) {
        const unsigned char c = static_cast<unsigned char>(text[k]);
        shown += (c >= 32 && c < 127) ? static_cast<char>(c) : '?';
    }
    if (text.size() > length) shown += "...";
    return shown;
}

std::string Number(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(value));
    return text;
}

std::string LinkOf(int b) {
    const int port = SerialIndex[b];
    if (port >= 0)
        return "USB " +
               (static_cast<size_t>(port) < ComPortName.size() ? ComPortName[port] : std::string());
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &UdpIP[b].sin_addr, text, sizeof text);
    return std::string("LAN ") + text;
}

std::string StateOf(int b) {
    if (BoardRefused[b]) return "refused";
    return UsbBoardIsAway(b) ? "disconnected" : "connected";
}

// "D5 1 -> sim/cockpit/electrical/beacon_lights_on = 1": the message and what it did.
std::string InputText(int b, const MonitoredInput& in) {
    std::string text = Printable(in.tag);
    if (!in.value.empty()) {
        const bool count = !in.tag.empty() && in.tag[0] == 'E';
        text += count ? " x" + std::to_string(static_cast<unsigned char>(in.value[0]))
                      : " " + Printable(in.value);
    }
    if (!InputExists(b, in.input)) return text;
    const std::vector<std::string>& fields = Data[b][in.input];
    const std::string name = fields.size() >= 2 ? fields[1] : std::string();
    if (in.element < 0) return text + " -> internal " + name;
    if (in.element == 0) return text + " -> runs " + name;
    const bool array = (InputDrefTypes[b][in.input] & (8 | 16)) != 0;
    return text + " -> " + name + (array ? "[" + std::to_string(in.element) + "]" : "") + " = " +
           Number(in.result);
}

// "      not found yet: laminar/B738/..., ...": the board's names that the simulator does not
// know yet, none of them twice; empty when there are none.
std::string MissingNamesLine(int b) {
    std::string line;
    std::vector<const std::string*> shown;
    size_t more = 0;
    for (const MissingName& m : MissingNames) {
        if (m.board != b) continue;
        bool again = false;
        for (const std::string* name : shown) again = again || *name == m.name;
        if (again) continue;
        const std::string text = Printable(m.name, kMissingLineLength / 2);
        if (line.size() + text.size() + 2 > kMissingLineLength) {
            ++more;
            continue;
        }
        line += (shown.empty() ? " " : ", ") + text;
        shown.push_back(&m.name);
    }
    if (shown.empty()) return std::string();
    if (more) line += " and " + std::to_string(more) + " more";
    return "      not found yet:" + line;
}

std::string OutputText(int b, const MonitoredOutput& out) {
    return ShowOutputTag(out.tag, OutDevice[b]) + " " + Printable(out.text);
}

void AddBoardLines(int b, std::vector<std::string>& lines) {
    const BoardMonitor* m =
        b < static_cast<int>(BoardMonitors.size()) ? &BoardMonitors[b] : nullptr;
    const BoardMonitor none;
    const BoardMonitor& c = m ? *m : none;
    const std::string who =
        OutDevice[b] == 0 ? "Helvan Panel" : "Arduino #" + std::to_string(OutDevice[b]);
    lines.push_back("   " + std::to_string(b + 1) + ". " + LinkOf(b) + "   " + who + "   " +
                    StateOf(b));
    lines.push_back("      received " + std::to_string(c.messagesIn) + " messages (" +
                    std::to_string(c.bytesIn) + " bytes), sent " + std::to_string(c.messagesOut) +
                    " (" + std::to_string(c.bytesOut) + " bytes), inputs applied " +
                    std::to_string(c.inputsApplied));
    std::string inputs = "      last inputs:";
    for (int k = 1; k <= c.inputsKept; ++k) {
        const int slot = (c.inputsNext - k + kMonitorRingSize) % kMonitorRingSize;
        inputs += (k == 1 ? " " : "  |  ") + InputText(b, c.inputs[slot]);
    }
    lines.push_back(inputs);
    std::string outputs = "      last outputs:";
    // Newest first: the slots in the order they were sent, latest first.
    const int kept = std::min(c.outputsKept, kMonitorRingSize);
    int order[kMonitorRingSize] = {};
    for (int k = 0; k < kept; ++k) {
        int at = k;
        for (; at > 0 && c.outputs[order[at - 1]].sent < c.outputs[k].sent; --at)
            order[at] = order[at - 1];
        order[at] = k;
    }
    for (int k = 0; k < kept; ++k)
        outputs += (k == 0 ? " " : "  |  ") + OutputText(b, c.outputs[order[k]]);
    lines.push_back(outputs);
    const std::string missing = MissingNamesLine(b);
    if (!missing.empty()) lines.push_back(missing);
}

// One line for each serial port that gives no board and why, in the room the boards left.
void AddPortLines(std::vector<std::string>& lines) {
    const size_t all = static_cast<size_t>(kMonitorLineCount);
    const size_t room = all - std::min(all, lines.size());
    for (size_t k = 0; k < PortProblems.size() && k < room; ++k) {
        if (k + 1 == room && PortProblems.size() > room) {
            lines.push_back("   " + std::to_string(PortProblems.size() - k) +
                            " more ports without a board: see Log.txt");
            return;
        }
        lines.push_back("   No board on " + PortProblems[k].path + ": " +
                        PortCauseText(PortProblems[k].cause));
    }
}

}  // namespace

std::vector<std::string> MonitorLines() {
    std::vector<std::string> lines;
    lines.push_back(
        "   Datagrams dropped: " + std::to_string(UnknownSenderDatagrams) +
        " from unknown senders, " + std::to_string(ForeignDatagrams) +
        " from outside the network   Frames discarded: " + std::to_string(DiscardedFrames));
    lines.push_back(" " + std::string(91, '-'));
    const int boards = BoardCount();
    if (boards == 0) lines.push_back("   No board has answered yet.");
    for (int b = 0; b < boards && b < kMonitorBoardRoom; ++b) AddBoardLines(b, lines);
    if (boards <= kMonitorBoardRoom) {
        AddPortLines(lines);
        return lines;
    }
    unsigned long in = 0, out = 0, applied = 0;
    for (int b = kMonitorBoardRoom; b < boards && b < static_cast<int>(BoardMonitors.size()); ++b) {
        in += BoardMonitors[b].messagesIn;
        out += BoardMonitors[b].messagesOut;
        applied += BoardMonitors[b].inputsApplied;
    }
    lines.push_back("   " + std::to_string(boards - kMonitorBoardRoom) + " more boards: received " +
                    std::to_string(in) + " messages, sent " + std::to_string(out) +
                    ", inputs applied " + std::to_string(applied));
    AddPortLines(lines);
    return lines;
}

void RefreshMonitor() {
    if (MonitorShown && MonitorRefreshDue()) RefreshMonitorNow();
}

void RefreshMonitorNow() {
    SetMonitorLines(MonitorLines());
}
