// The UDP socket on POSIX systems: BSD sockets and getifaddrs.
#include <fcntl.h>
#include <ifaddrs.h>
#include <unistd.h>

#include <cstring>

#include "transport/lan_socket.h"
#include "transport/serial_ports.h"

int OpenLanSocket(uint16_t port) {
    const int s = socket(AF_INET, SOCK_DGRAM, 0);
    if (s < 0) return -1;
    const int reuse = 1;
    setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    const int flags = fcntl(s, F_GETFL, 0);
    fcntl(s, F_SETFL, flags | O_NONBLOCK);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    return s;
}

std::string FindInterfaceAddress() {
    std::string found;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return found;
    for (ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET) continue;
        char text[INET_ADDRSTRLEN] = {};
        const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
        if (inet_ntop(AF_INET, &address->sin_addr, text, sizeof text)) found = text;
    }
    freeifaddrs(list);
    return found;
}

void Send_LAN(const char* data, int length, sockaddr_in to) {
    if (sock <= 0) {
        bytes_sent = -1;
        return;
    }
    bytes_sent = static_cast<int>(sendto(sock, data, static_cast<size_t>(length), 0,
                                         reinterpret_cast<sockaddr*>(&to), sizeof to));
}

long ReceiveDatagram(char* buffer, size_t size) {
    if (sock <= 0) return -1;
    addrLength = sizeof serv_addr;
    const ssize_t n =
        recvfrom(sock, buffer, size, 0, reinterpret_cast<sockaddr*>(&serv_addr), &addrLength);
    return static_cast<long>(n);
}

void CloseLanSocket() {
    if (sock > 0) close(sock);
    sock = -1;
}
