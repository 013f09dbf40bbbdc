#include "transport/port_causes.h"

#include <algorithm>
#include <set>
#include <utility>

#include "config/plugin_log.h"
#include "transport/serial_hotplug.h"
#include "transport/serial_ports.h"

std::vector<PortProblem> PortProblems;

namespace {

// A folder full of odd devices cannot grow these without end.
constexpr size_t kMaxProblems = 64;
constexpr size_t kMaxLogged = 256;

struct Listening {
    std::string path;
    int calls = 0;
    bool heard = false;
};

std::vector<Listening> Listened;
std::set<std::pair<std::string, PortCause>> Logged;

enum class PortState { Closed, WithoutBoard, WithBoard };

PortState StateOf(const std::string& path) {
    for (size_t p = 0; p < comport.size(); ++p)
        if (comport[p] >= 0 && ComPortName[p] == path)
            return SerialIndices[p] >= 0 ? PortState::WithBoard : PortState::WithoutBoard;
    for (const NewSerialPort& port : NewSerialPorts)
        if (port.path == path) return PortState::WithoutBoard;
    return PortState::Closed;
}

void DropProblem(const std::string& path) {
    PortProblems.erase(std::remove_if(PortProblems.begin(), PortProblems.end(),
                                      [&](const PortProblem& p) { return p.path == path; }),
                       PortProblems.end());
}

}  // namespace

std::string PortCauseText(PortCause cause) {
    switch (cause) {
        case PortCause::NotSerialDevice:
            return "not a serial device";
        case PortCause::PermissionDenied:
            return "permission denied" + PermissionAdvice();
        case PortCause::Busy:
            return "busy: another program holds the port (it is taken when that program lets it "
                   "go)";
        case PortCause::NoAnswer:
            return "no answer after 10 s";
        case PortCause::NotOurProtocol:
            return "bytes that are not the boards' protocol (another kind of device, or a wrong "
                   "baud rate: USB_BAUD)";
        case PortCause::None:
            break;
    }
    return std::string();
}

std::string PortCauseWord(PortCause cause) {
    switch (cause) {
        case PortCause::NotSerialDevice:
            return "not a serial device";
        case PortCause::PermissionDenied:
            return "permission denied";
        case PortCause::Busy:
            return "busy";
        case PortCause::NoAnswer:
            return "no answer";
        case PortCause::NotOurProtocol:
            return "not a board's protocol";
        case PortCause::None:
            break;
    }
    return std::string();
}

PortCause CauseOf(const std::string& path) {
    for (const PortProblem& problem : PortProblems)
        if (problem.path == path) return problem.cause;
    return PortCause::None;
}

void NotePortCause(const std::string& path, PortCause cause) {
    if (cause == PortCause::None) return;
    const auto known = std::find_if(PortProblems.begin(), PortProblems.end(),
                                    [&](const PortProblem& p) { return p.path == path; });
    if (known != PortProblems.end())
        known->cause = cause;
    else if (PortProblems.size() < kMaxProblems)
        PortProblems.push_back({path, cause});
    if (Logged.size() >= kMaxLogged || !Logged.insert({path, cause}).second) return;
    WriteLog("\nNo board on " + path + ": " + PortCauseText(cause));
}

void ListenToPort(const std::string& path) {
    for (const Listening& port : Listened)
        if (port.path == path) return;
    Listened.push_back({path});
}

void HeardFromPort(const std::string& path) {
    for (Listening& port : Listened)
        if (port.path == path) port.heard = true;
}

void NoteSilentPort(const std::string& path) {
    for (const Listening& port : Listened)
        if (port.path == path)
            NotePortCause(path, port.heard ? PortCause::NotOurProtocol : PortCause::NoAnswer);
}

void CountListeningCall() {
    for (size_t k = 0; k < Listened.size();) {
        Listening& port = Listened[k];
        const PortState state = StateOf(port.path);
        if (state != PortState::WithoutBoard) {
            if (state == PortState::WithBoard) DropProblem(port.path);
            Listened.erase(Listened.begin() + static_cast<long>(k));
            continue;
        }
        port.calls = std::min(port.calls + 1, kSilentPortCalls);
        if (port.calls == kSilentPortCalls) NoteSilentPort(port.path);
        ++k;
    }
}

void ForgetPortCausesNotIn(const std::vector<std::string>& listed) {
    const auto gone = [&](const std::string& path) {
        return std::find(listed.begin(), listed.end(), path) == listed.end();
    };
    PortProblems.erase(std::remove_if(PortProblems.begin(), PortProblems.end(),
                                      [&](const PortProblem& p) { return gone(p.path); }),
                       PortProblems.end());
}

void ClearPortCauses() {
    PortProblems.clear();
    Listened.clear();
    Logged.clear();
}
