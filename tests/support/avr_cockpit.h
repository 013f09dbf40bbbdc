// A cockpit on a virtual Arduino board: the board library's firmware on corvane-avr-board, its
// port linked as ttyACM0 into a device folder of its own, and the plug-in in the headless host (in
// this process) finding it by the device scan and flown in real time, one flight-loop call every
// 25 ms of the wall clock, as the simulator calls it.
#pragma once

#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "support/avr_board_process.h"
#include "support/plugin_harness.h"
#include "xphost.h"

namespace corvane_test {

struct AvrCockpitSetup {
    std::string boardProgram;  // corvane-avr-board
    std::string mcu = "atmega328p";
    std::string firmware;  // the ELF
    int boardId = 7;
    int bootDelayMs = 1000;
    std::string dataCfg;
    std::string extraDatarefs;
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

    explicit AvrCockpit(const AvrCockpitSetup& setup)
        : folder_(MakeTempFolder("corvane-avr-dev")), link_(folder_ + "/ttyACM0") {
        board_ = std::make_unique<AvrBoardProcess>(
            setup.boardProgram, setup.mcu, setup.firmware, link_,
            std::vector<std::string>{"--board-id", std::to_string(setup.boardId), "--boot-delay",
                                     std::to_string(setup.bootDelayMs)});
        setenv("CORVANE_DEVICE_DIR", folder_.c_str(), 1);
        PluginOptions options;
        options.dataCfg = setup.dataCfg;
        options.extraDatarefs = setup.extraDatarefs;
        options.usbOff = false;
        options.settings = "USB_DEVICE_COUNT = 1\n";
        run_ = std::make_unique<PluginRun>(options);
        next_ = Clock::now();
    }
    ~AvrCockpit() {
        run_.reset();
        unsetenv("CORVANE_DEVICE_DIR");
        board_.reset();
        RemoveFolder(folder_);
    }
    AvrCockpit(const AvrCockpit&) = delete;
    AvrCockpit& operator=(const AvrCockpit&) = delete;

    bool ready() const { return board_->ready(); }
    AvrBoardProcess& board() { return *board_; }
    // One control line to the board and its answer.
    std::string Ask(const std::string& line) { return board_->Ask(line); }

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
    // Runs the next flight-loop call when it is due, without waiting; true when it ran.
    bool FrameIfDue() {
        if (Clock::now() < next_) return false;
        Frame();
        return true;
    }
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

    // The board's losses: "dropped D" (bytes its firmware's full receive buffer refused).
    std::string Dropped() {
        const std::string stats = Ask("stats");
        const size_t from = stats.find("dropped ");
        return from == std::string::npos ? stats : stats.substr(from, stats.find(" resets") - from);
    }

  private:
    std::string folder_, link_;
    std::unique_ptr<AvrBoardProcess> board_;
    std::unique_ptr<PluginRun> run_;
    Clock::time_point next_;
};

}  // namespace corvane_test
