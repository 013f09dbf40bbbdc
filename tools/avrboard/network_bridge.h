// The virtual chip's network: each socket the firmware opens for UDP is a real UDP socket bound
// at the board's loopback address (127.x.x.x) and the socket's port (a port below 1024, such as
// the DHCP client's 68, takes a free port instead), and the datagrams pass between them.
//
// What the firmware sends goes out only on loopback: to a 127.x.x.x address as it is, and to the
// DHCP server's port 67 (broadcast or not) to the responder given by --dhcp; a send to any other
// address finds nobody (TIMEOUT), and a broadcast to another port reaches nobody here. Nothing
// goes out with the cable unplugged (TIMEOUT), nor (but DHCP's) from a chip whose own address is
// not the board's: such a board is on the wrong network. Datagrams that arrive with the cable
// out, with the chip in reset or at a socket it has closed are missed; those its receive buffer
// has no room for are dropped by the chip.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "wiznet_chip.h"

namespace avrboard {

class NetworkBridge {
  public:
    NetworkBridge() = default;
    ~NetworkBridge();
    NetworkBridge(const NetworkBridge&) = delete;
    NetworkBridge& operator=(const NetworkBridge&) = delete;

    // The chip's address on loopback and the DHCP responder ("HOST:PORT", or empty for none);
    // false with *error set when either is no loopback address.
    bool Start(WiznetChip* chip, const std::string& address, const std::string& dhcp,
               std::string* error);
    // Follows the chip's sockets and hands the datagrams waiting at the real ones to the chip
    // (running: false while the chip is held in reset).
    void Service(bool running);
    // A datagram the chip sends; true when it went out.
    bool Send(int socket, UdpEnd to, const std::string& payload);
    void SetPlugged(bool plugged);
    bool plugged() const { return plugged_; }
    // The real sockets, for the caller's poll.
    std::vector<int> Descriptors() const;
    // "in I out O full F missed M": datagrams kept by the chip, sent by it, dropped by it with
    // its receive buffer full, and missed.
    std::string Stats() const;
    // Called with each datagram the chip took in.
    std::function<void(const std::string& payload)> onTaken;

  private:
    struct Bound {
        int fd = -1;
        uint16_t port = 0;  // the chip socket's port it was bound for
    };
    int Socket(int socket);  // the real socket of a chip socket open for UDP; -1 when none
    void Close(Bound& bound);

    WiznetChip* chip_ = nullptr;
    uint32_t address_ = 0;
    UdpEnd dhcp_;
    bool plugged_ = true;
    std::vector<Bound> bound_;
    long in_ = 0, out_ = 0, full_ = 0, missed_ = 0;
};

// A dotted IPv4 address as a number in host byte order; false when it is none.
bool ParseAddress(const std::string& text, uint32_t* address);

}  // namespace avrboard
