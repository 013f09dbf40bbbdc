#include "network_bridge.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace avrboard {
namespace {

constexpr uint16_t kDhcpServerPort = 67;
constexpr uint16_t kFirstFreePort = 1024;
constexpr uint32_t kEveryone = 0xFFFFFFFF;
constexpr int kReadsPerService = 64;

bool Loopback(uint32_t address) {
    return (address >> 24) == 127;
}

sockaddr_in SocketAddress(UdpEnd end) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(end.address);
    address.sin_port = htons(end.port);
    return address;
}

}  // namespace

bool ParseAddress(const std::string& text, uint32_t* address) {
    in_addr parsed{};
    if (inet_pton(AF_INET, text.c_str(), &parsed) != 1) return false;
    *address = ntohl(parsed.s_addr);
    return true;
}

NetworkBridge::~NetworkBridge() {
    for (Bound& bound : bound_) Close(bound);
}

bool NetworkBridge::Start(WiznetChip* chip, const std::string& address, const std::string& dhcp,
                          std::string* error) {
    chip_ = chip;
    bound_.assign(static_cast<size_t>(chip->sockets()), Bound{});
    if (!ParseAddress(address, &address_) || !Loopback(address_)) {
        *error = "the board's address " + address + " is no loopback address (127.x.x.x)";
        return false;
    }
    if (dhcp.empty()) return true;
    const size_t colon = dhcp.rfind(':');
    const long port = colon == std::string::npos ? 0 : std::atol(dhcp.c_str() + colon + 1);
    if (colon == std::string::npos || !ParseAddress(dhcp.substr(0, colon), &dhcp_.address) ||
        !Loopback(dhcp_.address) || port <= 0 || port > 65535) {
        *error = "--dhcp wants a loopback HOST:PORT, not " + dhcp;
        return false;
    }
    dhcp_.port = static_cast<uint16_t>(port);
    return true;
}

void NetworkBridge::Close(Bound& bound) {
    if (bound.fd >= 0) close(bound.fd);
    bound = Bound{};
}

int NetworkBridge::Socket(int socket) {
    Bound& bound = bound_[static_cast<size_t>(socket)];
    const uint16_t port = chip_->UdpPort(socket);
    if (bound.port == port) return bound.fd;  // as it is, or not bound: tried once a port
    Close(bound);
    if (port == 0) return -1;
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int on = 1;
    // Beside the plug-in, which holds the same port on every address.
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    const sockaddr_in at = SocketAddress({address_, port >= kFirstFreePort ? port : uint16_t{0}});
    if (fd < 0 || bind(fd, reinterpret_cast<const sockaddr*>(&at), sizeof at) != 0) {
        std::fprintf(stderr, "corvane-avr-board: cannot bind a socket for port %u: %s\n", port,
                     std::strerror(errno));
        if (fd >= 0) close(fd);
        bound.port = port;  // not tried again until the chip opens another port
        return -1;
    }
    bound.fd = fd;
    bound.port = port;
    return fd;
}

bool NetworkBridge::Send(int socket, UdpEnd to, const std::string& payload) {
    const int fd = Socket(socket);
    if (!plugged_ || fd < 0) return false;
    if (to.port == kDhcpServerPort) {
        if (dhcp_.port == 0) return to.address == kEveryone;  // no server answers
        to = dhcp_;
    } else if (chip_->OwnAddress() != address_) {
        return false;  // on the wrong network
    } else if (!Loopback(to.address)) {
        return to.address == kEveryone;  // a broadcast reaches nobody; another host is not there
    }
    const sockaddr_in address = SocketAddress(to);
    if (sendto(fd, payload.data(), payload.size(), 0, reinterpret_cast<const sockaddr*>(&address),
               sizeof address) < 0)
        return false;
    ++out_;
    return true;
}

void NetworkBridge::Service(bool running) {
    char buffer[65536];
    for (int socket = 0; socket < chip_->sockets(); ++socket) {
        const int fd = Socket(socket);
        for (int reads = 0; fd >= 0 && reads < kReadsPerService; ++reads) {
            sockaddr_in from{};
            socklen_t length = sizeof from;
            const ssize_t n =
                recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &length);
            if (n < 0) break;
            if (!plugged_ || !running) {
                ++missed_;
                continue;
            }
            const UdpEnd sender{ntohl(from.sin_addr.s_addr), ntohs(from.sin_port)};
            const std::string payload(buffer, static_cast<size_t>(n));
            switch (chip_->Deliver(socket, sender, payload)) {
                case WiznetChip::Arrival::kTaken:
                    ++in_;
                    if (onTaken) onTaken(payload);
                    break;
                case WiznetChip::Arrival::kFull:
                    ++full_;
                    break;
                case WiznetChip::Arrival::kClosed:
                    ++missed_;
                    break;
            }
        }
    }
}

void NetworkBridge::SetPlugged(bool plugged) {
    plugged_ = plugged;
    chip_->SetLink(plugged);
}

std::vector<int> NetworkBridge::Descriptors() const {
    std::vector<int> fds;
    for (const Bound& bound : bound_)
        if (bound.fd >= 0) fds.push_back(bound.fd);
    return fds;
}

std::string NetworkBridge::Stats() const {
    return "in " + std::to_string(in_) + " out " + std::to_string(out_) + " full " +
           std::to_string(full_) + " missed " + std::to_string(missed_);
}

}  // namespace avrboard
