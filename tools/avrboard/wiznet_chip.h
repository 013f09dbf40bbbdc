// A WIZnet W5100 or W5500 as its driver meets it on the SPI bus, from the datasheets:
//
// - Frames: on a W5100 four bytes (0xF0 write or 0x0F read, the address high and low, one data
//   byte; other opcodes are ignored), answered 0x00, 0x01, 0x02 and the data (0x03 for a
//   write); bytes beyond the fourth are ignored until the select line rises. On a W5500 the
//   address high and low and the control byte (block, write bit, mode), answered 0x01, 0x02,
//   0x03, then data bytes at rising addresses until the select line rises (variable length), or
//   1, 2 or 4 of them per frame (fixed length, a new frame following at once).
// - The common registers (mode with its soft reset, gateway, mask, MAC and own address, the
//   retry time and count, the W5100's buffer sizes, the W5500's PHY register with the link and
//   its version 0x04), and each socket's registers (4 sockets on a W5100, 8 on a W5500; their
//   reset values, read-only registers that ignore writes, interrupt bits that clear on a 1).
// - UDP sockets: OPEN (mode UDP: status 0x22), CLOSE, SEND (the bytes from the transmit read
//   pointer to the write pointer go out as one datagram; SEND_OK, or TIMEOUT when the network
//   does not take it), RECV (takes the host's read pointer); datagrams received are kept behind
//   an 8-byte header (sender address, port, length) and dropped whole when they do not fit.
// - Buffers: 8 KB (W5100) or 16 KB (W5500) each way, shared out by the size registers (2 KB a
//   socket after reset); the free-running 16-bit pointers wrap within a socket's share.
// Commands take effect at once (the command register reads 0 right after it is written). Not
// modelled: TCP, IPRAW and MACRAW (such a socket stays closed), ARP and its timing, interrupts
// and the INT pin, PPPoE, wake-on-LAN, the W5100's other frame formats.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace avrboard {

enum class WiznetKind { kW5100, kW5500 };

// An IPv4 address and a port, in host byte order.
struct UdpEnd {
    uint32_t address = 0;
    uint16_t port = 0;
};

class WiznetChip {
  public:
    enum class Arrival { kTaken, kFull, kClosed };

    explicit WiznetChip(WiznetKind kind);

    int sockets() const { return static_cast<int>(sockets_.size()); }
    // The reset pin (and the mode register's reset bit): every register at its reset value.
    void Reset();
    // The select line: low (true) begins a frame, high ends it.
    void Select(bool selected);
    bool selected() const { return selected_; }
    // One byte on the bus while the chip is selected; the byte it answers.
    uint8_t Exchange(uint8_t mosi);
    // The cable: with it out the link is down.
    void SetLink(bool up) { link_ = up; }

    // The port of a socket open for UDP; 0 when the socket is not.
    uint16_t UdpPort(int socket) const;
    uint32_t OwnAddress() const;
    // A datagram for a socket: kept, dropped for want of room, or refused by a socket that is not
    // open for UDP.
    Arrival Deliver(int socket, UdpEnd from, const std::string& payload);
    // A datagram the firmware sends: true when it went out (SEND_OK), false when the chip gives
    // up (TIMEOUT).
    std::function<bool(int socket, UdpEnd to, const std::string& payload)> onSend;

  private:
    struct Socket {
        std::array<uint8_t, 0x30> regs{};
        uint16_t txRead = 0, rxWrite = 0, rxTaken = 0;  // rxTaken: the read pointer at RECV
    };
    struct Share {
        size_t base = 0, size = 0;
    };
    bool w5100() const { return kind_ == WiznetKind::kW5100; }
    Share ShareOf(int socket, bool transmit) const;
    uint16_t Word(const Socket& s, int offset) const;
    uint8_t Read(int block, uint16_t address) const;
    void Write(int block, uint16_t address, uint8_t value);
    uint8_t ReadCommon(uint16_t address) const;
    void WriteCommon(uint16_t address, uint8_t value);
    uint8_t ReadSocket(int socket, int offset) const;
    void WriteSocket(int socket, int offset, uint8_t value);
    void Command(int socket, uint8_t command);
    // A W5100 address as the W5500's block and address; false for an address of nothing.
    bool MapW5100(uint16_t address, int* block, uint16_t* offset) const;

    WiznetKind kind_;
    std::array<uint8_t, 0x40> common_{};
    std::vector<Socket> sockets_;
    std::vector<uint8_t> tx_, rx_;
    bool link_ = true;
    bool selected_ = false;
    int index_ = 0;  // the byte of the frame
    uint8_t opcode_ = 0, control_ = 0;
    uint16_t address_ = 0;
};

}  // namespace avrboard
