// Why a serial port gives no board: the entry is no serial device at all, the port may not be
// opened, another program holds it, nothing answers on it, or what arrives is not the boards'
// protocol. Each cause is written to the log
// once per port, and the ports that give no board are listed with theirs for the status window
// and the monitor until a board identifies on them, their device leaves the folder, or a reset.
#pragma once

#include <string>
#include <vector>

enum class PortCause { None, NotSerialDevice, PermissionDenied, Busy, NoAnswer, NotOurProtocol };

struct PortProblem {
    std::string path;
    PortCause cause = PortCause::None;
};

extern std::vector<PortProblem> PortProblems;  // ports without a board and why, oldest first

// A port opened without a board is listened to: the calls since it opened and whether any byte
// arrived decide its cause when no board has identified on it for kSilentPortCalls calls.
constexpr int kSilentPortCalls = 400;  // 10 s of flight-loop calls

// Records why path gives no board; the log gets the cause once per port and cause.
void NotePortCause(const std::string& path, PortCause cause);
// The cause listed for path; None when it has none.
PortCause CauseOf(const std::string& path);
// The explanation of a cause as the log and the monitor give it (without the port's name).
std::string PortCauseText(PortCause cause);
// The cause in a few words, for the status window's search line.
std::string PortCauseWord(PortCause cause);
// The platform's advice for a port that may not be opened (serial_devices_*.cpp).
std::string PermissionAdvice();
// Starts listening to a port just opened that has no board yet.
void ListenToPort(const std::string& path);
// Bytes arrived on path while it has no board.
void HeardFromPort(const std::string& path);
// A port without a board is given up: its cause is no answer, or bytes not of the protocol.
void NoteSilentPort(const std::string& path);
// Once per flight-loop call: counts a call for every port listened to, names the cause of those
// silent or foreign for kSilentPortCalls calls, and stops listening to ports that were closed or
// got a board (which also leaves the list of problems).
void CountListeningCall();
// Drops the problems and listening of ports whose device is not among the listed paths.
void ForgetPortCausesNotIn(const std::vector<std::string>& listed);
// Forgets every cause, those already logged included (the full reset).
void ClearPortCauses();
