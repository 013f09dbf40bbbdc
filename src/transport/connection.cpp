#include "transport/connection.h"

#include "config/board_monitor.h"
#include "config/board_tables.h"
#include "transport/lan_socket.h"
#include "transport/serial_ports.h"

int ConnectionExists(bool add) {
    return MessageIsSerial ? SerialConnectionExists(add) : LanConnectionExists(add);
}

void SendToCurrentLink(const char* data, int length) {
    if (MessageIsSerial)
        SendToPort(SerialCurrent, data, length);
    else
        Send_LAN(data, length, serv_addr);
    if (!MessageIsSerial) NoteSent(LanConnectionExists(false), bytes_sent);
}

void SendToBoard(int b, const char* data, int length) {
    if (!BoardExists(b)) return;
    if (SerialIndex[b] >= 0)
        SendToPort(static_cast<unsigned int>(SerialIndex[b]), data, length);
    else
        Send_LAN(data, length, UdpIP[b]);
    if (SerialIndex[b] < 0) NoteSent(b, bytes_sent);
}
