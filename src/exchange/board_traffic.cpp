#include "exchange/board_traffic.h"

#include "config/board_monitor.h"
#include "config/board_tables.h"
#include "config/scratch_state.h"
#include "simdata/dataref_access.h"
#include "transport/connection.h"
#include "transport/lan_socket.h"

void NoteMessageReceived(size_t bytes) {
    NoteReceived(ConnectionExists(false), static_cast<long>(bytes));
}

void NoteAppliedInput(int b, int i, int a) {
    const float result = a > 0 && InputExists(b, i) ? ReadDataref(static_cast<unsigned int>(b),
                                                                  static_cast<unsigned int>(i),
                                                                  static_cast<unsigned int>(a))
                                                    : 0.0f;
    NoteInputApplied(b, tag, i, a, result);
}

bool DropUnknownSender(const std::string& message) {
    if (message.empty() || message[0] == '|' || LanConnectionExists(false) >= 0) return false;
    const int host = static_cast<int>(ntohl(serv_addr.sin_addr.s_addr) & 0xFFu);
    if (UsedAddr.empty() || host != UsedAddr[0]) ++UnknownSenderDatagrams;
    return true;
}
