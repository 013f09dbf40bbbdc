#include "exchange/lan_reprobe.h"

#include <algorithm>

#include "config/board_tables.h"
#include "config/config_sections.h"
#include "exchange/wire_protocol.h"
#include "transport/lan_socket.h"

namespace {

constexpr int kHosts = 256;
constexpr int kReprobeRoundCalls = 1200;  // 30 s of 25 ms calls
static_assert(kReprobeRoundCalls >= kHosts, "one probe per call at most");

int roundCall = 0;  // calls since the round began
int nextHost = 0;   // the next host number due in this round

// True when some board section of the file in force has no board with its board ID yet.
bool SectionWaitsForItsBoard() {
    for (const unsigned int id : ArduinoID) {
        if (id == kNoBoardId) continue;
        if (std::find(OutDevice.begin(), OutDevice.end(), id) == OutDevice.end()) return true;
    }
    return false;
}

}  // namespace

void ProbeLanSlowly() {
    // Host h is due at call h * kReprobeRoundCalls / kHosts of the round.
    if (nextHost < kHosts && nextHost * kReprobeRoundCalls / kHosts <= roundCall) {
        sockaddr_in to{};
        const bool free = std::find(UsedAddr.begin(), UsedAddr.end(), nextHost) == UsedAddr.end();
        if (free && SectionWaitsForItsBoard() && ProbeAddress(nextHost, to))
            Send_LAN(InitialMessage, 2, to);
        ++nextHost;
    }
    if (++roundCall >= kReprobeRoundCalls) {
        roundCall = 0;
        nextHost = 0;
    }
}

void ResetLanReprobe() {
    roundCall = 0;
    nextHost = 0;
}
