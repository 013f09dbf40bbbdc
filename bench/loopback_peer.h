// A non-blocking UDP socket on 127.0.0.host standing for one board or sender: it sends to the
// plug-in and takes what the plug-in sends back.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>
#include <string>

class LoopbackPeer {
  public:
    explicit LoopbackPeer(int host) {
        fd_ = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        const std::string text = "127.0.0." + std::to_string(host);
        inet_pton(AF_INET, text.c_str(), &a.sin_addr);
        if (bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
            throw std::runtime_error("bind " + text);
        socklen_t length = sizeof address_;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&address_), &length);
        fcntl(fd_, F_SETFL, O_NONBLOCK);
        int size = 4 << 20;
        setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    }
    ~LoopbackPeer() { close(fd_); }
    LoopbackPeer(const LoopbackPeer&) = delete;
    LoopbackPeer& operator=(const LoopbackPeer&) = delete;

    const sockaddr_in& address() const { return address_; }
    // False when the datagram was not taken (the plug-in's socket is full).
    bool SendTo(const sockaddr_in& to, const std::string& bytes) const {
        return sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                      sizeof to) >= 0;
    }
    // Reads everything waiting; returns the length of the last datagram (0 when none).
    size_t Drain() const {
        char buffer[2048];
        size_t last = 0;
        for (ssize_t n; (n = recv(fd_, buffer, sizeof buffer, 0)) >= 0;)
            last = static_cast<size_t>(n);
        return last;
    }

  private:
    int fd_ = -1;
    sockaddr_in address_{};
};
