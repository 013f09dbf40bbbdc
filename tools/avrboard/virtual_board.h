// The virtual board: the chip running its firmware, paced to the wall clock, with its serial port
// bridged to the pseudo-terminal and the wired parts following its pins. Single-threaded: the
// caller alternates Service() (the port), Run() (a slice of emulated time) and the answers to
// control lines, and waits for input between them as long as Run() allows.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "chip.h"
#include "network_bridge.h"
#include "pty_link.h"
#include "serial_ring.h"
#include "upload_watch.h"
#include "wired_parts.h"
#include "wiznet_chip.h"

namespace avrboard {

struct BoardOptions {
    std::string mcu;
    std::string firmware;
    std::string link;  // empty: no USB port (a board on the network)
    int boardId = -1;  // -1: the EEPROM as the firmware has it
    int bootDelayMs = 1000;
    // A board on the network: its WIZnet chip ("w5100", "w5500"; empty: none) on the SPI bus
    // with its select on pin 10 (an SD card's on pin 4), bridged at its loopback address; the
    // DHCP responder (HOST:PORT; empty: none). Stored in EEPROM as the board library's network
    // settings: the address, DHCP (with a responder), the simulator's address and the port.
    std::string ethernet;
    std::string address;
    std::string dhcp;
    std::string simulator;
    int port = 5080;
};

class VirtualBoard {
  public:
    // Loads the firmware and makes the port; the chip starts at once (powered up).
    bool Start(const BoardOptions& options, std::string* error);
    // The port: a host that opened it resets the chip; the chip's bytes go out, the host's go in
    // while the receiver has room.
    void Service();
    // Emulates up to about 1 ms ahead of the wall clock; returns how long the caller may wait
    // for input (microseconds) before the next call.
    int64_t Run();
    // The answer line to one control line; *quit is set by "quit".
    std::string Answer(const std::string& line, bool* quit);
    // True while a turn is under way: control lines wait for its answer.
    bool busy() const { return !edges_.empty(); }
    // The answer of a finished turn, once; empty when there is none.
    std::string TakeLateAnswer();

    // The poll events the port waits for: POLLIN when the board would read the host's bytes,
    // POLLOUT when the chip's bytes wait; 0 when unplugged.
    short PortEvents() const;
    int PortDescriptor() const { return link_.master(); }
    int OpenWatchDescriptor() const { return link_.watch(); }
    std::vector<int> NetworkDescriptors() const { return bridge_.Descriptors(); }

  private:
    struct Edge {
        uint64_t cycle;
        int pin;
        bool low;
    };
    void ResetChip(bool hold);
    // One byte on the SPI bus: the WIZnet chip answers while selected, an SD card selected as
    // well drowns it (0xFF).
    uint8_t SpiByte(uint8_t mosi);
    std::string Unplug();
    std::string Plug();
    void Reanchor();
    std::string Turn(int a, int b, int steps, int microsPerEdge);
    // "inject HEX [upload [N]]": bytes on the line to the chip, now or N bytes into the host's
    // next configuration upload (0: just before it).
    std::string Inject(const std::vector<std::string>& words);
    bool PinArgument(const std::string& text, bool input, int* pin, std::string* error) const;

    BoardOptions options_;
    const ChipLayout* layout_ = nullptr;
    Chip chip_;
    SerialRing ring_;
    std::unique_ptr<WiredParts> parts_;
    PtyLink link_;
    UploadWatch upload_;
    std::unique_ptr<WiznetChip> wiznet_;
    NetworkBridge bridge_;
    std::string toChip_;         // read from the host, not yet in the serial receiver
    std::string toHost_;         // sent by the chip, not yet written to the host
    std::string strayInUpload_;  // bytes to put on the line in the next upload
    size_t strayAt_ = 0;         // that many bytes into it
    std::deque<Edge> edges_;     // a turn's edges, by cycle
    bool turnAnswerDue_ = false;
    int64_t holdUntil_ = 0;  // wall clock (µs) when the reset line is let go; 0: not held
    int64_t anchorWall_ = 0;
    uint64_t anchorCycle_ = 0;
    long received_ = 0, dropped_ = 0, resets_ = 0, lost_ = 0;
};

// Microseconds on the monotonic clock.
int64_t WallMicros();

}  // namespace avrboard
