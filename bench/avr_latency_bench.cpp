// End-to-end latency through the virtual Arduino board: the board library's firmware on the
// emulated Uno (corvane-avr-board), the plug-in in the headless host flown in real time (a
// flight-loop call every 25 ms of the wall clock). On USB (serial) the plug-in finds the board's
// port by its device scan; on the network (network) the Uno has a W5500 at 127.0.0.2.
//   PressToDataref  a button pressed or released on pin 2 (control line) until the plug-in has
//                   written its dataref (seen after the flight-loop call that applied it)
//   DatarefToPin    a dataref written until the lamp on pin 7 shows it (the board's pin level)
// Each event starts at a random moment of the flight-loop period, as a pilot's hand does.
// Counters over 200 events: p50_ms, p99_ms and max_ms. Target: both p99 within two flight-loop
// periods (50 ms).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "support/avr_cockpit.h"
#include "xphost.h"

namespace {

using corvane_test::AvrCockpit;
using Clock = std::chrono::steady_clock;

constexpr int kEvents = 200;

const char kCfg[] = R"(*7
[I]
D2+ avr/button 1
D2- avr/button 0
[O]
7L 0 avr/lamp
)";

std::unique_ptr<AvrCockpit> StartCockpit(benchmark::State& state, bool network) {
    corvane_test::AvrCockpitSetup setup;
    setup.boardProgram = CORVANE_AVR_BOARD;
    setup.firmware = std::string(CORVANE_AVR_FIRMWARE_DIR) +
                     (network ? "/corvane-uno-ethernet.elf" : "/corvane-uno.elf");
    if (network)
        setup.network = {"--ethernet", "w5500",       "--address",
                         "127.0.0.2",  "--simulator", "127.0.0.1"};
    setup.bootDelayMs = 200;
    setup.dataCfg = kCfg;
    setup.extraDatarefs = "avr/button int rw 0\navr/lamp int rw 0\n";
    const std::string missing = AvrCockpit::Missing(setup);
    if (!missing.empty()) {
        state.SkipWithError(missing.c_str());
        return nullptr;
    }
    auto cockpit = std::make_unique<AvrCockpit>(setup);
    if (!cockpit->ready() || !cockpit->FlyUntilAnswer("pin 7", "pin 7 0") ||
        !cockpit->FlyUntil([] { return xphost::GetNumber("avr/button") == 0; })) {
        state.SkipWithError("the board did not come up");
        return nullptr;
    }
    cockpit->Fly(0.5);  // the board's start-up traffic is over
    return cockpit;
}

// Runs the next flight-loop call when it is due, without waiting; true when it ran.
bool FrameIfDue(AvrCockpit& cockpit) {
    if (Clock::now() < cockpit.due()) return false;
    cockpit.Frame();
    return true;
}

// Waits a random part of a flight-loop period (flying on), so that events fall anywhere in it.
void RandomMoment(AvrCockpit& cockpit, std::mt19937& random) {
    cockpit.Frame();
    const auto wait = std::chrono::microseconds(random() % 25000);
    const Clock::time_point at = Clock::now() + wait;
    while (Clock::now() < at) {
        FrameIfDue(cockpit);
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
}

void Report(benchmark::State& state, std::vector<double> millis) {
    std::sort(millis.begin(), millis.end());
    if (millis.empty()) return;
    const size_t n = millis.size();
    state.counters["p50_ms"] = millis[n / 2];
    state.counters["p99_ms"] = millis[static_cast<size_t>(std::ceil(0.99 * n)) - 1];
    state.counters["max_ms"] = millis.back();
    state.counters["events"] = static_cast<double>(n);
}

double MillisSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void PressToDataref(benchmark::State& state, bool network) {
    std::unique_ptr<AvrCockpit> cockpit = StartCockpit(state, network);
    if (!cockpit) return;
    std::mt19937 random(1);
    std::vector<double> millis;
    for (auto _ : state) {
        for (int event = 0; event < kEvents; ++event) {
            const bool press = event % 2 == 0;
            RandomMoment(*cockpit, random);
            const Clock::time_point start = Clock::now();
            cockpit->Ask((press ? "press 2" : "release 2"));
            // A flight-loop call applies the message; the time is taken when it has returned.
            while (xphost::GetNumber("avr/button") != (press ? 1 : 0) && MillisSince(start) < 5000)
                cockpit->Frame();
            millis.push_back(MillisSince(start));
        }
    }
    Report(state, millis);
}

void DatarefToPin(benchmark::State& state, bool network) {
    std::unique_ptr<AvrCockpit> cockpit = StartCockpit(state, network);
    if (!cockpit) return;
    std::mt19937 random(2);
    std::vector<double> millis;
    for (auto _ : state) {
        for (int event = 0; event < kEvents; ++event) {
            const bool on = event % 2 == 0;
            RandomMoment(*cockpit, random);
            const Clock::time_point start = Clock::now();
            xphost::SetDataref("avr/lamp", on ? "1" : "0");
            const std::string level = on ? "pin 7 1" : "pin 7 0";
            while (cockpit->Ask("pin 7") != level && MillisSince(start) < 5000) {
                if (!FrameIfDue(*cockpit))
                    std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
            millis.push_back(MillisSince(start));
        }
    }
    Report(state, millis);
}

BENCHMARK_CAPTURE(PressToDataref, serial, false)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(PressToDataref, network, true)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(DatarefToPin, serial, false)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(DatarefToPin, network, true)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
