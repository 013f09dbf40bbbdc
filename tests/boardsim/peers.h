// Small peers that play the plug-in's side of a board link in the emulator's tests: a UDP
// socket on 127.0.0.1 and the plug-in's end of a serial port.
#pragma once

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "boardsim.h"

namespace boardsim_test {

// Rounds of about 1 ms each before a wait gives up; only a bound against hanging, never a
// measurement.
constexpr int kRounds = 5000;

template <class Done>
bool PollUntil(boardsim::Board& board, Done done, int rounds = kRounds) {
    for (int i = 0; i < rounds; ++i) {
        board.Poll();
        if (done()) return true;
        usleep(1000);
    }
    return false;
}

inline std::string Bytes(std::initializer_list<int> bytes) {
    std::string s;
    for (int b : bytes) s += static_cast<char>(b);
    return s;
}

// A byte-form output frame: '{', the count of the bytes that follow, the bytes.
inline std::string Frame(const std::string& body) {
    return std::string(1, '{') + static_cast<char>(body.size()) + body;
}

inline std::string FloatBytes(float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return Bytes({static_cast<int>(bits & 0xFF), static_cast<int>((bits >> 8) & 0xFF),
                  static_cast<int>((bits >> 16) & 0xFF), static_cast<int>(bits >> 24)});
}

// The 61-byte configuration upload: '~', 54 pin modes, 5 code letters, board number.
inline std::string Upload(const std::vector<std::pair<int, int>>& pins, const std::string& codes,
                          int number) {
    std::string m(61, '\0');
    m[0] = '~';
    for (const auto& p : pins) m[static_cast<size_t>(1 + p.first)] = static_cast<char>(p.second);
    m.replace(55, 5, codes.substr(0, 5));
    m[60] = static_cast<char>(number);
    return m;
}

inline std::string GateReply(char letter) {
    return std::string("D{*PRDSG") + '\x04' + letter + '0' + '\x0F' + '\x05';
}

class UdpPeer {
  public:
    UdpPeer() {
        fd_ = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = 0;
        bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        socklen_t len = sizeof a;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
        fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL, 0) | O_NONBLOCK);
    }
    ~UdpPeer() { close(fd_); }
    UdpPeer(const UdpPeer&) = delete;
    UdpPeer& operator=(const UdpPeer&) = delete;

    int port() const { return port_; }

    // Sends to a loopback address only.
    bool SendTo(const std::string& address, int port, const std::string& bytes) {
        if (!boardsim::IsLoopback(address)) return false;
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(static_cast<uint16_t>(port));
        inet_pton(AF_INET, address.c_str(), &to.sin_addr);
        return sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to),
                      sizeof to) == static_cast<ssize_t>(bytes.size());
    }

    // One datagram, polling `board` (when given) while waiting.
    bool Receive(std::string* out, boardsim::Board* board = nullptr, int rounds = kRounds,
                 std::string* fromAddress = nullptr) {
        char buf[90000];
        for (int i = 0; i < rounds; ++i) {
            sockaddr_in from{};
            socklen_t len = sizeof from;
            ssize_t n = recvfrom(fd_, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
            if (n >= 0) {
                out->assign(buf, static_cast<size_t>(n));
                if (fromAddress) {
                    char text[INET_ADDRSTRLEN];
                    inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
                    *fromAddress = text;
                }
                return true;
            }
            if (board) board->Poll();
            usleep(1000);
        }
        return false;
    }

    // True when nothing is waiting right now.
    bool Quiet() {
        char buf[16];
        return recv(fd_, buf, sizeof buf, MSG_PEEK) < 0;
    }

  private:
    int fd_ = -1;
    int port_ = 0;
};

// The plug-in's end of a serial board: opens the device link and applies only the settings
// that the plug-in applies to its ports (8 data bits, no line editing, no output processing),
// so everything else comes from the board's own settings of the line.
class SerialPeer {
  public:
    explicit SerialPeer(const std::string& path) {
        fd_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd_ < 0) return;
        termios t{};
        tcgetattr(fd_, &t);
        t.c_cflag |= CLOCAL | CREAD;
        t.c_cflag &= ~static_cast<tcflag_t>(CSIZE);
        t.c_cflag |= CS8;
        t.c_iflag |= IGNPAR;
        t.c_iflag &= ~static_cast<tcflag_t>(PARMRK);
        t.c_lflag = 0;
        t.c_oflag = 0;
        tcflush(fd_, TCIFLUSH);
        tcsetattr(fd_, TCSANOW, &t);
    }
    ~SerialPeer() {
        if (fd_ >= 0) close(fd_);
    }
    SerialPeer(const SerialPeer&) = delete;
    SerialPeer& operator=(const SerialPeer&) = delete;

    bool ok() const { return fd_ >= 0; }

    bool Write(const std::string& bytes) {
        return write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }

    // Reads until `count` bytes have arrived, polling `board` while waiting.
    bool Read(size_t count, std::string* out, boardsim::Board* board = nullptr,
              int rounds = kRounds) {
        out->clear();
        char buf[256];
        for (int i = 0; i < rounds && out->size() < count; ++i) {
            ssize_t n = read(fd_, buf, std::min(sizeof buf, count - out->size()));
            if (n > 0) {
                out->append(buf, static_cast<size_t>(n));
                continue;
            }
            if (board) board->Poll();
            usleep(1000);
        }
        return out->size() == count;
    }

  private:
    int fd_ = -1;
};

// A fresh folder under the system's temporary directory, removed with its links at the end.
class TempDir {
  public:
    TempDir() {
        char name[] = "/tmp/boardsim_test_XXXXXX";
        if (mkdtemp(name)) path_ = name;
    }
    ~TempDir() {
        if (path_.empty()) return;
        if (DIR* d = opendir(path_.c_str())) {
            while (dirent* e = readdir(d)) {
                std::string name = e->d_name;
                if (name != "." && name != "..") unlink((path_ + "/" + name).c_str());
            }
            closedir(d);
        }
        rmdir(path_.c_str());
    }
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

}  // namespace boardsim_test
