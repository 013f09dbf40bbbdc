#include "virtual_board.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

namespace avrboard {
namespace {

constexpr int64_t kLeadMicros = 1000;   // how far the chip may run ahead of the wall clock
constexpr int64_t kSliceMicros = 2000;  // the longest slice between two looks at the port
constexpr int64_t kLagMicros = 50000;   // further behind, the chip does not race to catch up
constexpr size_t kHostChunk = 64;       // bytes taken from the host at a time, a USB packet
constexpr size_t kUnsentLimit = 65536;  // chip bytes kept while the host does not read
constexpr int kChipSelectPin = 10, kSdCardSelectPin = 4;
constexpr uint8_t kNetworkMark = 0xC8;
constexpr uint16_t kNetworkAt = 2;  // EEPROM: the mark, DHCP, address, simulator, port

// The board library's network settings in EEPROM.
bool NetworkSettings(const BoardOptions& options, std::vector<uint8_t>* bytes, std::string* error) {
    uint32_t address = 0, simulator = 0;
    if (!ParseAddress(options.address, &address) ||
        (!options.simulator.empty() && !ParseAddress(options.simulator, &simulator))) {
        *error = "--address and --simulator want dotted IPv4 addresses";
        return false;
    }
    *bytes = {kNetworkMark, static_cast<uint8_t>(options.dhcp.empty() ? 0 : 1)};
    for (const uint32_t value : {address, simulator})
        for (int shift = 24; shift >= 0; shift -= 8) bytes->push_back(uint8_t(value >> shift));
    bytes->push_back(static_cast<uint8_t>(options.port >> 8));
    bytes->push_back(static_cast<uint8_t>(options.port));
    return true;
}

}  // namespace

int64_t WallMicros() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool VirtualBoard::Start(const BoardOptions& options, std::string* error) {
    options_ = options;
    layout_ = FindChipLayout(options.mcu);
    if (layout_ == nullptr) {
        *error = "unknown chip " + options.mcu + " (atmega328p or atmega2560)";
        return false;
    }
    if (!chip_.Load(options.firmware, *layout_, options.boardId, error)) return false;
    if (!ring_.Find(options.firmware))
        fprintf(stderr, "no Serial object in %s: bytes dropped by the firmware are not counted\n",
                options.firmware.c_str());
    parts_ = std::make_unique<WiredParts>(chip_.pinCount());
    chip_.onPinChange = [this](int pin, bool high, uint64_t cycle) {
        const bool driven = chip_.IsOutput(pin);
        if (wiznet_ && pin == kChipSelectPin) wiznet_->Select(!high && driven);
        parts_->PinChanged(pin, high, driven, static_cast<double>(cycle) / kCyclesPerMicrosecond);
    };
    chip_.onSpiByte = [this](uint8_t mosi) { return SpiByte(mosi); };
    if (!options.ethernet.empty()) {
        std::vector<uint8_t> settings;
        if (options.ethernet != "w5100" && options.ethernet != "w5500") {
            *error = "--ethernet is w5100 or w5500";
            return false;
        }
        wiznet_ = std::make_unique<WiznetChip>(options.ethernet == "w5100" ? WiznetKind::kW5100
                                                                           : WiznetKind::kW5500);
        if (!NetworkSettings(options, &settings, error) ||
            !bridge_.Start(wiznet_.get(), options.address, options.dhcp, error))
            return false;
        wiznet_->onSend = [this](int socket, UdpEnd to, const std::string& payload) {
            return bridge_.Send(socket, to, payload);
        };
        // The pin uses of an upload, which comes in one datagram of its own.
        bridge_.onTaken = [this](const std::string& payload) {
            UploadWatch watch;
            std::vector<uint8_t> uses;
            if (watch.Feed(payload.data(), payload.size(), &uses)) parts_->SetPinUses(uses);
        };
        chip_.WriteEeprom(kNetworkAt, settings);
    }
    chip_.onTransmit = [this](uint8_t byte) {
        if (link_.plugged() && toHost_.size() < kUnsentLimit) toHost_ += static_cast<char>(byte);
    };
    chip_.onByteTaken = [this] {
        if (ring_.Full(chip_.data(), chip_.dataSize())) ++dropped_;
    };
    if (!options.link.empty() && !link_.Plug(options.link, error)) return false;
    Reanchor();
    return true;
}

void VirtualBoard::Reanchor() {
    anchorWall_ = WallMicros();
    anchorCycle_ = chip_.cycle();
}

void VirtualBoard::ResetChip(bool hold) {
    lost_ += chip_.queuedBytes() + static_cast<long>(toChip_.size());
    toChip_.clear();
    toHost_.clear();
    chip_.Reset();
    parts_->ChipReset();
    if (wiznet_) wiznet_->Reset();  // a shield's chip shares the board's reset line
    ++resets_;
    if (hold) {
        holdUntil_ = WallMicros() + int64_t{options_.bootDelayMs} * 1000;
        upload_.Clear();
        link_.DiscardUnread();
    }
}

short VirtualBoard::PortEvents() const {
    if (!link_.plugged()) return 0;
    return static_cast<short>((toChip_.empty() ? POLLIN : 0) | (toHost_.empty() ? 0 : POLLOUT));
}

uint8_t VirtualBoard::SpiByte(uint8_t mosi) {
    const uint8_t miso = wiznet_ && wiznet_->selected() ? wiznet_->Exchange(mosi) : 0xFF;
    return chip_.Level(kSdCardSelectPin) ? miso : 0xFF;
}

std::string VirtualBoard::Unplug() {
    if (wiznet_ ? !bridge_.plugged() : !link_.plugged()) return "error: not plugged in";
    if (wiznet_)
        bridge_.SetPlugged(false);
    else
        link_.Unplug();
    return "ok";
}

std::string VirtualBoard::Plug() {
    if (wiznet_ ? bridge_.plugged() : link_.plugged()) return "error: already plugged in";
    std::string error;
    if (wiznet_) {
        bridge_.SetPlugged(true);
        return "ok";
    }
    if (!link_.Plug(options_.link, &error)) return "error: " + error;
    ResetChip(false);  // powered up anew
    return "ok";
}

void VirtualBoard::Service() {
    if (wiznet_) bridge_.Service(holdUntil_ == 0);
    if (!link_.plugged()) return;
    if (link_.TakeFirstOpen()) ResetChip(true);
    if (!link_.hostHasOpen()) toHost_.clear();  // as a USB adapter, nobody listening: lost
    while (!toHost_.empty()) {
        const ssize_t n = write(link_.master(), toHost_.data(), toHost_.size());
        if (n <= 0) break;
        toHost_.erase(0, static_cast<size_t>(n));
    }
    // The host's bytes are read only when the last ones are in the chip, so that a host writing
    // faster than the line carries them is held back by the pseudo-terminal, as by a real port.
    if (toChip_.empty()) {
        char bytes[kHostChunk];
        const ssize_t n = read(link_.master(), bytes, sizeof bytes);
        if (n > 0) {
            std::vector<uint8_t> uses;
            if (upload_.Feed(bytes, static_cast<size_t>(n), &uses)) parts_->SetPinUses(uses);
            toChip_.assign(bytes, static_cast<size_t>(n));
            const size_t upload = toChip_.find('~');
            if (!strayInUpload_.empty() && upload != std::string::npos) {
                toChip_.insert(std::min(upload + strayAt_, toChip_.size()), strayInUpload_);
                strayInUpload_.clear();
            }
        }
    }
    if (holdUntil_ != 0 || !chip_.ReceiverOn()) {
        lost_ += static_cast<long>(toChip_.size());  // a chip in reset or with its receiver off
        toChip_.clear();
    }
    size_t fed = 0;
    while (fed < toChip_.size() && chip_.ReceiverHasRoom()) {
        chip_.Receive(static_cast<uint8_t>(toChip_[fed++]));
        ++received_;
    }
    toChip_.erase(0, fed);
}

int64_t VirtualBoard::Run() {
    const int64_t now = WallMicros();
    if (holdUntil_ != 0) {
        if (now < holdUntil_) return holdUntil_ - now;
        holdUntil_ = 0;  // the boot delay is over: the firmware starts
        Reanchor();
    }
    auto emulated = [this] {
        return static_cast<int64_t>(chip_.cycle() - anchorCycle_) / int64_t{kCyclesPerMicrosecond};
    };
    if (now - anchorWall_ - emulated() > kLagMicros) Reanchor();
    const int64_t until =
        std::min(WallMicros() - anchorWall_ + kLeadMicros, emulated() + kSliceMicros);
    const uint64_t target =
        anchorCycle_ + static_cast<uint64_t>(std::max<int64_t>(until, 0)) * kCyclesPerMicrosecond;
    while (chip_.cycle() < target) {
        uint64_t next = target;
        if (!edges_.empty()) next = std::min(next, edges_.front().cycle);
        chip_.RunUntil(next);
        while (!edges_.empty() && edges_.front().cycle <= chip_.cycle()) {
            chip_.HoldLow(edges_.front().pin, edges_.front().low);
            edges_.pop_front();
            turnAnswerDue_ = edges_.empty();
        }
    }
    return std::max<int64_t>(0, emulated() - (WallMicros() - anchorWall_));
}

std::string VirtualBoard::TakeLateAnswer() {
    if (!turnAnswerDue_) return "";
    turnAnswerDue_ = false;
    return "ok";
}

}  // namespace avrboard
