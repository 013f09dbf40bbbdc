#include "exchange/output_gate.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "config/board_monitor.h"
#include "config/board_tables.h"
#include "config/plugin_log.h"
#include "exchange/mode_messages.h"
#include "exchange/wire_protocol.h"
#include "transport/connection.h"
#include "transport/lan_socket.h"
#include "transport/serial_ports.h"

int PingTimeout = 0;

namespace {

constexpr char kRequestAll[] = "XR";

// The mode of the encoder group whose lamp LED mode entry k of board b is: its leader's mode; 1
// for an entry that names no encoder group.
unsigned int ModeInForce(int b, size_t k) {
    if (k >= ModeLedLeader[b].size()) return 1;
    const int leader = ModeLedLeader[b][k];
    if (!InputExists(b, leader) || Datatags[b][leader][0] != 'E') return 1;
    return static_cast<unsigned int>(std::max(Mode[b][leader], 1));
}

}  // namespace

void PingInputs(unsigned int all) {
    const size_t boards = std::min({AllowPing.size(), SerialIndex.size(), UdpIP.size()});
    for (size_t b = 0; b < boards; ++b) {
        if (!AllowPing[b]) continue;
        const bool lan = SerialIndex[b] < 0;
        if (all == 0) {
            if (lan) Send_LAN(PingChar, 2, UdpIP[b]);  // USB boards are not pinged
        } else if (lan) {
            Send_LAN(kRequestAll, 2, UdpIP[b]);
            WriteLog("\nRequesting all input values from LAN");
        } else {
            SendToPort(static_cast<unsigned int>(SerialIndex[b]), kRequestAll, 2);
            WriteLog("\nRequesting all input values from USB");
        }
        if (lan) NoteSent(static_cast<int>(b), bytes_sent);
    }
    PingTimeout = 0;
}

void CountPingCalls() {
    if (PingTimeout <= kPingInterval)
        ++PingTimeout;
    else
        PingInputs(0);
}

void HandleOutputGate(int board, char request) {
    if (!BoardExists(board)) return;
    if (request == allow_output[board]) {
        AllowPing[board] = true;
        AllowOutput[board] = true;
        if (!sendall[board]) return;
        // The mode lamps show the mode in force: a board that identified again keeps its modes.
        for (size_t k = 0; k < OutputModeLed[board].size(); ++k) {
            const std::vector<std::string>& entry = OutputModeLed[board][k];
            const unsigned int r = entry.size() >= 2 ? ModeReference(entry[1]) : 0;
            SendMode(static_cast<unsigned int>(board), static_cast<unsigned int>(k),
                     ModeInForce(board, k), r);
        }
    } else if (request == 'x') {
        AllowPing[board] = false;
        AllowOutput[board] = false;
    }
}

void AnswerGateRequest(int board) {
    if (!BoardExists(board)) return;
    if (allow_output[board] == 'w') allow_output[board] = static_cast<char>('A' + std::rand() % 24);
    const char reply[13] = {'D', '{', '*', 'P', 'R', 'D', 'S', 'G', 4, allow_output[board],
                            '0', 15,  5};
    SendToCurrentLink(reply, sizeof reply);
}
