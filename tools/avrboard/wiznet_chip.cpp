#include "wiznet_chip.h"

namespace avrboard {
namespace {

// Pseudo-blocks for the W5100's flat transmit and receive memory (the host adds the bases).
constexpr int kW5100TxMemory = -2, kW5100RxMemory = -3;
constexpr size_t kW5100Memory = 8192, kW5500Memory = 16384;

// Common registers.
constexpr uint16_t kMode = 0x00, kInterrupt = 0x15, kW5500SocketInterrupts = 0x17, kW5500Phy = 0x2E,
                   kW5500Version = 0x39, kW5100RxSizes = 0x1A, kW5100TxSizes = 0x1B;
constexpr uint8_t kResetBit = 0x80;

// Socket registers, commands, interrupt bits and states.
constexpr int kSocketMode = 0x00, kCommand = 0x01, kSocketInterrupt = 0x02, kStatus = 0x03,
              kPeerAddress = 0x0C, kPeerPort = 0x10, kW5500RxSize = 0x1E, kW5500TxSize = 0x1F,
              kTxFree = 0x20, kTxRead = 0x22, kTxWrite = 0x24, kRxWaiting = 0x26, kRxRead = 0x28,
              kW5500RxWrite = 0x2A;
constexpr uint8_t kOpen = 0x01, kClose = 0x10, kSend = 0x20, kReceive = 0x40;
constexpr uint8_t kSendOk = 0x10, kTimeout = 0x08, kReceived = 0x04;
constexpr uint8_t kUdp = 0x02, kUdpStatus = 0x22;

uint8_t ByteOf(uint16_t word, int offset) {
    return static_cast<uint8_t>(offset % 2 == 0 ? word >> 8 : word);
}

}  // namespace

WiznetChip::WiznetChip(WiznetKind kind)
    : kind_(kind),
      sockets_(kind == WiznetKind::kW5100 ? 4 : 8),
      tx_(kind == WiznetKind::kW5100 ? kW5100Memory : kW5500Memory),
      rx_(tx_.size()) {
    Reset();
}

void WiznetChip::Reset() {
    common_.fill(0);
    const uint16_t retry = w5100() ? 0x17 : 0x19;  // 200 ms in 100 us units, then 8 tries
    common_[retry] = 0x07;
    common_[retry + 1] = 0xD0;
    common_[retry + 2] = 8;
    if (w5100()) {
        common_[kW5100RxSizes] = common_[kW5100TxSizes] = 0x55;  // 2 KB each
    } else {
        common_[kW5500Phy] = 0xB8;  // every mode, auto-negotiation
    }
    for (Socket& s : sockets_) {
        s = Socket{};
        for (int k = 0x06; k < 0x0C; ++k) s.regs[k] = 0xFF;  // the peer's MAC
        s.regs[0x16] = 0x80;                                 // TTL
        if (!w5100()) {
            s.regs[kW5500RxSize] = s.regs[kW5500TxSize] = 2;
            s.regs[0x2C] = 0xFF;  // the interrupt mask
        }
    }
    index_ = 0;
}

void WiznetChip::Select(bool selected) {
    if (selected && !selected_) index_ = 0;
    selected_ = selected;
}

uint8_t WiznetChip::Exchange(uint8_t mosi) {
    if (w5100()) {
        switch (index_++) {
            case 0:
                opcode_ = mosi;
                return 0x00;
            case 1:
                address_ = static_cast<uint16_t>(mosi << 8);
                return 0x01;
            case 2:
                address_ = static_cast<uint16_t>(address_ | mosi);
                return 0x02;
            case 3: {
                int block = 0;
                uint16_t offset = 0;
                const bool mapped = MapW5100(address_, &block, &offset);
                if (opcode_ == 0x0F) return mapped ? Read(block, offset) : 0;
                if (opcode_ == 0xF0 && mapped) Write(block, offset, mosi);
                return 0x03;
            }
            default:
                index_ = 4;
                return 0xFF;  // beyond the frame
        }
    }
    if (index_ < 3) {
        const int at = index_++;
        if (at == 0) address_ = static_cast<uint16_t>(mosi << 8);
        if (at == 1) address_ = static_cast<uint16_t>(address_ | mosi);
        if (at == 2) control_ = mosi;
        return static_cast<uint8_t>(at + 1);
    }
    const int k = index_ - 3;
    const int mode = control_ & 3;
    if (mode != 0 && k >= (mode == 3 ? 4 : mode)) {  // a fixed-length frame ended: the next one
        index_ = 0;
        return Exchange(mosi);
    }
    ++index_;
    const int block = control_ >> 3;
    const auto at = static_cast<uint16_t>(address_ + k);
    if (control_ & 0x04) {
        Write(block, at, mosi);
        return 0x00;
    }
    return Read(block, at);
}

bool WiznetChip::MapW5100(uint16_t address, int* block, uint16_t* offset) const {
    if (address < 0x30) {
        *block = 0;
        *offset = address;
    } else if (address >= 0x0400 && address < 0x0800 && (address & 0xFF) < 0x30) {
        *block = 4 * ((address - 0x0400) >> 8) + 1;
        *offset = address & 0xFF;
    } else if (address >= 0x4000 && address < 0x8000) {
        *block = address < 0x6000 ? kW5100TxMemory : kW5100RxMemory;
        *offset = address & 0x1FFF;
    } else {
        return false;
    }
    return true;
}

WiznetChip::Share WiznetChip::ShareOf(int socket, bool transmit) const {
    const size_t total = tx_.size();
    Share share;
    for (int k = 0; k <= socket; ++k) {
        size_t size = 0;
        if (w5100()) {
            const uint8_t sizes = common_[transmit ? kW5100TxSizes : kW5100RxSizes];
            size = size_t{1024} << ((sizes >> (2 * k)) & 3);
        } else {
            const uint8_t kb =
                sockets_[static_cast<size_t>(k)].regs[transmit ? kW5500TxSize : kW5500RxSize];
            size = (kb & (kb - 1)) == 0 && kb <= 16 ? size_t{kb} * 1024 : 0;
        }
        share.base += k == 0 ? 0 : share.size;
        share.size = share.base + size <= total ? size : 0;  // a share that does not fit: none
    }
    return share;
}

uint16_t WiznetChip::Word(const Socket& s, int offset) const {
    return static_cast<uint16_t>((s.regs[static_cast<size_t>(offset)] << 8) |
                                 s.regs[static_cast<size_t>(offset + 1)]);
}

uint8_t WiznetChip::Read(int block, uint16_t address) const {
    if (block == kW5100TxMemory) return tx_[address];
    if (block == kW5100RxMemory) return rx_[address];
    if (block == 0) return address < common_.size() ? ReadCommon(address) : 0;
    const int socket = (block - 1) / 4, part = (block - 1) % 4;
    if (socket >= sockets()) return 0;
    if (part == 0) return address < 0x30 ? ReadSocket(socket, address) : 0;
    if (part == 3) return 0;  // reserved
    const Share share = ShareOf(socket, part == 1);
    if (share.size == 0) return 0;
    return (part == 1 ? tx_ : rx_)[share.base + (address & (share.size - 1))];
}

void WiznetChip::Write(int block, uint16_t address, uint8_t value) {
    if (block == kW5100TxMemory || block == kW5100RxMemory) {
        (block == kW5100TxMemory ? tx_ : rx_)[address] = value;
        return;
    }
    if (block == 0) {
        if (address < common_.size()) WriteCommon(address, value);
        return;
    }
    const int socket = (block - 1) / 4, part = (block - 1) % 4;
    if (socket >= sockets() || part == 3) return;
    if (part == 0) {
        if (address < 0x30) WriteSocket(socket, address, value);
        return;
    }
    const Share share = ShareOf(socket, part == 1);
    if (share.size > 0) (part == 1 ? tx_ : rx_)[share.base + (address & (share.size - 1))] = value;
}

uint8_t WiznetChip::ReadCommon(uint16_t address) const {
    uint8_t sockets = 0;
    for (int s = 0; s < this->sockets(); ++s)
        if (sockets_[static_cast<size_t>(s)].regs[kSocketInterrupt] != 0)
            sockets = static_cast<uint8_t>(sockets | (1u << s));
    if (w5100() && address == kInterrupt) return (common_[kInterrupt] & 0xE0) | (sockets & 0x0F);
    if (w5100()) return common_[address];
    if (address == kW5500SocketInterrupts) return sockets;
    if (address == kW5500Phy) return (common_[kW5500Phy] & 0xF8) | (link_ ? 0x07 : 0x00);
    if (address == kW5500Version) return 0x04;
    return common_[address];
}

void WiznetChip::WriteCommon(uint16_t address, uint8_t value) {
    if (address == kMode && (value & kResetBit)) {
        Reset();
        return;
    }
    if (w5100() && address >= 0x30) return;
    if (address == kInterrupt) {
        common_[kInterrupt] &= static_cast<uint8_t>(~(value & 0xF0));
    } else if (w5100() || (address != kW5500SocketInterrupts && address != kW5500Version)) {
        common_[address] = value;
    }
}

uint8_t WiznetChip::ReadSocket(int socket, int offset) const {
    const Socket& s = sockets_[static_cast<size_t>(socket)];
    switch (offset) {
        case kCommand:
            return 0;  // taken at once
        case kTxFree:
        case kTxFree + 1: {
            const size_t size = ShareOf(socket, true).size;
            const size_t used = static_cast<uint16_t>(Word(s, kTxWrite) - s.txRead);
            return ByteOf(static_cast<uint16_t>(used > size ? 0 : size - used), offset);
        }
        case kTxRead:
        case kTxRead + 1:
            return ByteOf(s.txRead, offset);
        case kRxWaiting:
        case kRxWaiting + 1:
            return ByteOf(static_cast<uint16_t>(s.rxWrite - s.rxTaken), offset);
        case kW5500RxWrite:
        case kW5500RxWrite + 1:
            if (!w5100()) return ByteOf(s.rxWrite, offset);
            break;
        default:
            break;
    }
    return s.regs[static_cast<size_t>(offset)];
}

void WiznetChip::WriteSocket(int socket, int offset, uint8_t value) {
    Socket& s = sockets_[static_cast<size_t>(socket)];
    const bool readOnly = offset == kStatus || (offset >= kTxFree && offset < kTxWrite) ||
                          offset == kRxWaiting || offset == kRxWaiting + 1 ||
                          (!w5100() && (offset == kW5500RxWrite || offset == kW5500RxWrite + 1));
    if (offset == kCommand) {
        Command(socket, value);
    } else if (offset == kSocketInterrupt) {
        s.regs[kSocketInterrupt] &= static_cast<uint8_t>(~value);
    } else if (!readOnly) {
        s.regs[static_cast<size_t>(offset)] = value;
    }
}

void WiznetChip::Command(int socket, uint8_t command) {
    Socket& s = sockets_[static_cast<size_t>(socket)];
    if (command == kOpen) {
        const bool udp = (s.regs[kSocketMode] & 0x0F) == kUdp;
        s.regs[kStatus] = udp ? kUdpStatus : 0;
        s.txRead = Word(s, kTxWrite);
        s.rxWrite = s.rxTaken = Word(s, kRxRead);
    } else if (command == kClose) {
        s.regs[kStatus] = 0;
    } else if (command == kReceive) {
        s.rxTaken = Word(s, kRxRead);
        if (w5100() && s.rxWrite != s.rxTaken) s.regs[kSocketInterrupt] |= kReceived;
    } else if (command == kSend && s.regs[kStatus] == kUdpStatus) {
        const Share share = ShareOf(socket, true);
        const uint16_t end = Word(s, kTxWrite);
        size_t length = static_cast<uint16_t>(end - s.txRead);
        if (length > share.size) length = share.size;
        std::string payload;
        for (size_t i = 0; i < length; ++i)
            payload += static_cast<char>(tx_[share.base + ((s.txRead + i) & (share.size - 1))]);
        s.txRead = end;
        UdpEnd to;
        for (int k = 0; k < 4; ++k)
            to.address = (to.address << 8) | s.regs[static_cast<size_t>(kPeerAddress + k)];
        to.port = Word(s, kPeerPort);
        const bool sent = onSend && onSend(socket, to, payload);
        s.regs[kSocketInterrupt] |= sent ? kSendOk : kTimeout;
    }
}

uint16_t WiznetChip::UdpPort(int socket) const {
    const Socket& s = sockets_[static_cast<size_t>(socket)];
    return s.regs[kStatus] == kUdpStatus ? static_cast<uint16_t>((s.regs[4] << 8) | s.regs[5]) : 0;
}

uint32_t WiznetChip::OwnAddress() const {
    return (uint32_t{common_[0x0F]} << 24) | (uint32_t{common_[0x10]} << 16) |
           (uint32_t{common_[0x11]} << 8) | common_[0x12];
}

WiznetChip::Arrival WiznetChip::Deliver(int socket, UdpEnd from, const std::string& payload) {
    if (socket >= sockets() || UdpPort(socket) == 0) return Arrival::kClosed;
    Socket& s = sockets_[static_cast<size_t>(socket)];
    const Share share = ShareOf(socket, false);
    const size_t used = static_cast<uint16_t>(s.rxWrite - s.rxTaken);
    const size_t need = 8 + payload.size();
    if (share.size == 0 || used + need > share.size) return Arrival::kFull;
    std::string bytes;
    for (int shift = 24; shift >= 0; shift -= 8) bytes += static_cast<char>(from.address >> shift);
    for (const uint32_t value : {uint32_t{from.port}, static_cast<uint32_t>(payload.size())}) {
        bytes += static_cast<char>(value >> 8);
        bytes += static_cast<char>(value);
    }
    bytes += payload;
    for (size_t i = 0; i < bytes.size(); ++i)
        rx_[share.base + ((s.rxWrite + i) & (share.size - 1))] = static_cast<uint8_t>(bytes[i]);
    s.rxWrite = static_cast<uint16_t>(s.rxWrite + need);
    s.regs[kSocketInterrupt] |= kReceived;
    return Arrival::kTaken;
}

}  // namespace avrboard
