// A cockpit on virtual Arduino boards: the board library's firmware on corvane-avr-board, a USB
// board's port linked as ttyACM0, ttyACM1, ... into a device folder of its own, a network board
// at its loopback address on the plug-in's port, and the plug-in in the headless host (in this
// process) finding them by the device scan and its probes, flown in real time, one flight-loop
// call every 25 ms of the wall clock, as the simulator calls it.
#pragma once

#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/avr_board_process.h"
#include "support/plugin_harness.h"
#include "xphost.h"

namespace corvane_test {

class AvrCockpit;

struct AvrBoardSetup {
    std::string mcu = "atmega328p";
    std::string firmware;  // the ELF
    int boardId = 7;
    int bootDelayMs = 1000;
    // A board on the network: corvane-avr-board's options for it (--ethernet, --address, ...;
    // the plug-in's --port is added); empty for a board on USB.
    std::vector<std::string> network;
};

// The first board, the cockpit's files and the boards beside the first.
struct AvrCockpitSetup : AvrBoardSetup {
    std::string boardProgram;  // corvane-avr-board
    std::string dataCfg;
    std::string extraDatarefs;
    std::string settings;  // more config.ini lines
    std::vector<AvrBoardSetup> moreBoards;
    // Runs once the boards are started, before the plug-in starts.
    std::function<void(AvrCockpit&)> beforePlugin;
};

class AvrCockpit {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kFramePeriod{25};

    // Why a cockpit cannot be built here ("" when it can): the board program or the firmware is
    // missing.
    static std::string Missing(const AvrCockpitSetup& setup) {
        if (setup.boardProgram.empty())
            return "corvane-avr-board was not built: install libsimavr-dev and libelf-dev";
        if (!std::filesystem::exists(setup.firmware))
            return "no firmware " + setup.firmware +
                   ": install gcc-avr, avr-libc, binutils-avr and arduino-core-avr";
        return "";
    }

    // Starts every board of the setup, then the plug-in.
    explicit AvrCockpit(const AvrCockpitSetup& setup)
        : program_(setup.boardProgram),
          folder_(MakeTempFolder("corvane-avr-dev")),
          port_(FreeUdpPort()) {
        AddBoard(setup);
        for (const AvrBoardSetup& more : setup.moreBoards) AddBoard(more);
        const int usb = usbBoards_;
        if (setup.beforePlugin) setup.beforePlugin(*this);
        setenv("CORVANE_DEVICE_DIR", folder_.c_str(), 1);
        PluginOptions options(setup.dataCfg);
        options.extraDatarefs = setup.extraDatarefs;
        options.usbOff = usb == 0;
        options.settings =
            (usb > 0 ? "USB_DEVICE_COUNT = " + std::to_string(usb) + "\n" : "") + setup.settings;
        options.port = port_;
        run_ = std::make_unique<PluginRun>(options);
        next_ = Clock::now();
    }
    ~AvrCockpit() {
        run_.reset();
        unsetenv("CORVANE_DEVICE_DIR");
        boards_.clear();
        RemoveFolder(folder_);
    }
    AvrCockpit(const AvrCockpit&) = delete;
    AvrCockpit& operator=(const AvrCockpit&) = delete;

    // Starts one more board (a board switched on in flight).
    AvrBoardProcess& AddBoard(const AvrBoardSetup& setup) {
        std::vector<std::string> options = {"--board-id", std::to_string(setup.boardId),
                                            "--boot-delay", std::to_string(setup.bootDelayMs)};
        std::string link;
        if (setup.network.empty()) {
            link = folder_ + "/ttyACM" + std::to_string(usbBoards_++);
        } else {
            options.insert(options.end(), setup.network.begin(), setup.network.end());
            options.insert(options.end(), {"--port", std::to_string(port_)});
        }
        boards_.push_back(
            std::make_unique<AvrBoardProcess>(program_, setup.mcu, setup.firmware, link, options));
        return *boards_.back();
    }

    bool ready() const {
        for (const auto& board : boards_)
            if (!board->ready()) return false;
        return true;
    }
    // The plug-in's port.
    int port() const { return port_; }
    AvrBoardProcess& board(size_t k = 0) { return *boards_[k]; }
    // One control line to the first board and its answer.
    std::string Ask(const std::string& line) { return boards_[0]->Ask(line); }

    // One flight-loop call, 25 ms after the last one (at once when the last is longer ago than
    // that: a late call is not made up by calls in a row, as the simulator does not).
    void Frame() {
        const Clock::time_point now = Clock::now();
        if (next_ > now)
            std::this_thread::sleep_until(next_);
        else
            next_ = now;
        next_ += kFramePeriod;
        xphost::RunFrame();
    }
    // When the next flight-loop call is due.
    Clock::time_point due() const { return next_; }
    // Flies until done() holds, at most `seconds`; true when it held.
    bool FlyUntil(const std::function<bool()>& done, double seconds = 30.0) {
        const auto frames = static_cast<int>(seconds * 1000.0 / kFramePeriod.count());
        for (int n = 0; n < frames; ++n) {
            if (done()) return true;
            Frame();
        }
        return done();
    }
    void Fly(double seconds) {
        FlyUntil([] { return false; }, seconds);
    }
    // Flies until the dataref reads value, at most `seconds`.
    bool FlyUntilValue(const std::string& dataref, double value, double seconds = 30.0) {
        return FlyUntil([&] { return xphost::GetNumber(dataref) == value; }, seconds);
    }
    // Flies until the board answers `line` with `answer`, at most `seconds`.
    bool FlyUntilAnswer(const std::string& line, const std::string& answer, double seconds = 30.0) {
        return FlyUntil([&] { return Ask(line) == answer; }, seconds);
    }

    // One count of a board's stats: "dropped D" (bytes its firmware's full receive buffer
    // refused), "full F" (datagrams its network chip dropped with its buffer full), ...
    std::string Stat(const std::string& name, size_t board = 0) {
        const std::string stats = boards_[board]->Ask("stats");
        const size_t from = stats.find(" " + name + " ");
        if (from == std::string::npos) return stats;
        const size_t end = stats.find(' ', from + name.size() + 2);
        return stats.substr(from + 1, end == std::string::npos ? end : end - from - 1);
    }
    std::string Dropped() { return Stat("dropped"); }

  private:
    std::string program_, folder_;
    int port_ = 0;
    int usbBoards_ = 0;
    std::vector<std::unique_ptr<AvrBoardProcess>> boards_;
    std::unique_ptr<PluginRun> run_;
    Clock::time_point next_;
};

}  // namespace corvane_test
