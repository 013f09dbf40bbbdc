// The UDP socket on Windows: Winsock, and the own address from the adapter list.
// The adapter list's header needs the window declarations that the build leaves out elsewhere.
#undef NOUSER
#include <winsock2.h>
#include <ws2tcpip.h>
// After winsock2.h:
#include <iphlpapi.h>

#include <vector>

#include "transport/lan_socket.h"
#include "transport/serial_ports.h"

namespace {

// Asks Windows not to report a datagram that found no receiver (an ICMP "port unreachable") as
// an error of the next reception: probes go to addresses where nobody listens.
constexpr DWORD kUdpConnectionResetIoctl = _WSAIOW(IOC_VENDOR, 12);
// Receptions that only report such an unreachable receiver and are skipped in one call, at most.
constexpr int kResetReportsSkipped = 64;

// Winsock is started once, at the first use, and stays started while the plug-in is loaded.
bool WinsockStarted() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

}  // namespace

int OpenLanSocket(uint16_t port) {
    if (!WinsockStarted()) return -1;
    const SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (s == INVALID_SOCKET) return -1;
    const BOOL reuse = TRUE;
    setsockopt(s, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&reuse), sizeof reuse);
    u_long nonBlocking = 1;
    ioctlsocket(s, FIONBIO, &nonBlocking);
    BOOL reportResets = FALSE;
    DWORD ignored = 0;
    WSAIoctl(s, kUdpConnectionResetIoctl, &reportResets, sizeof reportResets, nullptr, 0, &ignored,
             nullptr, nullptr);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    // Socket handles are small kernel handle values, which fit the int the plug-in keeps.
    return static_cast<int>(s);
}

std::string FindInterfaceAddress() {
    std::string found;
    std::string loopback;
    if (!WinsockStarted()) return found;
    const ULONG flags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
    ULONG size = 16384;
    std::vector<unsigned char> buffer;
    ULONG result = ERROR_BUFFER_OVERFLOW;
    for (int attempt = 0; attempt < 4 && result == ERROR_BUFFER_OVERFLOW; ++attempt) {
        buffer.resize(size);
        result = GetAdaptersAddresses(
            AF_INET, flags, nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
    }
    if (result != NO_ERROR) return found;
    for (auto* adapter = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()); adapter;
         adapter = adapter->Next) {
        for (auto* unicast = adapter->FirstUnicastAddress; unicast; unicast = unicast->Next) {
            const sockaddr* address = unicast->Address.lpSockaddr;
            if (!address || address->sa_family != AF_INET) continue;
            char text[INET_ADDRSTRLEN] = {};
            const auto* ipv4 = reinterpret_cast<const sockaddr_in*>(address);
            if (!inet_ntop(AF_INET, &ipv4->sin_addr, text, sizeof text)) continue;
            // Windows lists its loopback pseudo-interface last: it counts only when the machine
            // has no other IPv4 address, as on systems that list it first.
            if (adapter->IfType == IF_TYPE_SOFTWARE_LOOPBACK)
                loopback = text;
            else
                found = text;
        }
    }
    return found.empty() ? loopback : found;
}

void Send_LAN(const char* data, int length, sockaddr_in to) {
    if (sock <= 0) {
        bytes_sent = -1;
        return;
    }
    bytes_sent = sendto(static_cast<SOCKET>(sock), data, length, 0,
                        reinterpret_cast<sockaddr*>(&to), sizeof to);
}

long ReceiveDatagram(char* buffer, size_t size) {
    if (sock <= 0) return -1;
    for (int attempt = 0; attempt < kResetReportsSkipped; ++attempt) {
        addrLength = sizeof serv_addr;
        const int n = recvfrom(static_cast<SOCKET>(sock), buffer, static_cast<int>(size), 0,
                               reinterpret_cast<sockaddr*>(&serv_addr), &addrLength);
        if (n >= 0) return n;
        // A datagram longer than the buffer arrives cut to its size, as on POSIX.
        const int error = WSAGetLastError();
        if (error == WSAEMSGSIZE) return static_cast<long>(size);
        if (error != WSAECONNRESET) return -1;
    }
    return -1;
}

void CloseLanSocket() {
    if (sock > 0) closesocket(static_cast<SOCKET>(sock));
    sock = -1;
}
