// Floods against the plug-in in the host: how long the longest flight-loop call takes, and how
// soon a valid input from a board is applied, while senders on the loopback flood the socket or a
// serial port.
//
// Scenarios (Flood/<name>); each runs kCalls calls. Before every call the flood is topped up
// (untimed): one datagram from each of 252 senders, or eight from a single sender (what the socket
// cannot hold the system drops, as on a real network); the serial port what its line takes. Every
// 10th call the board at 127.0.0.10 sends a value message ahead of that call's flood, behind
// whatever earlier calls left waiting; `calls_to_apply` is the most calls it took to reach the
// simulator (1: in the call right after it was sent).
//   inputs_252    valid input messages for the board from 252 other addresses
//   junk_252      pseudo-random bytes, 1 to 200 a datagram, from 252 addresses
//   idents_252    4-byte identifications from 252 addresses (252 new boards, then repeats)
//   panel_same    60 KB panel identifications from one address, the same text each time
//   panel_changed 60 KB panel identifications from one address, a new text each time
//   panel_repeated 64 KB panel identifications from one address: a short configuration of inputs
//                 and outputs repeated, with a new last line each time
//   empty_252     empty datagrams from 252 addresses
//   serial_noise  1 MB of pseudo-random bytes on a USB port without a board
// Counters: max_us (longest call), p999_us (99.9th percentile), mean_us, the same two in the
// thread's CPU time (cpu_max_us, cpu_p999_us), the longest call's CPU time past the first
// second (cpu_max_later_us), and calls_to_apply.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "exchange/flight_loop.h"
#include "exchange/wire_protocol.h"
#include "loopback_peer.h"
#include "support/plugin_harness.h"
#include "xphost.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kCalls = 2000;
constexpr int kValidHost = 10;
constexpr int kPanelBytes = 60 * 1024;

// The CPU time this thread has used: a call's CPU time leaves out the time that other work on
// the machine took the processor away.
double ThreadCpuMicros() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e6 + static_cast<double>(t.tv_nsec) / 1e3;
}

// The value below which perMille thousandths of the values lie (1000: the largest).
double Percentile(std::vector<double> values, int perMille) {
    std::sort(values.begin(), values.end());
    const size_t k = values.size() * static_cast<size_t>(perMille) / 1000;
    return values[std::min(values.size() - 1, k)];
}

uint32_t NextRandom(uint32_t& state) {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
}

std::string PanelText(int variant) {
    std::string text = "|[O]\n";
    for (int k = 0; text.size() < kPanelBytes - 40; ++k)
        text += std::to_string(k % 200 + 2) + "D 1 bench/panel/o" + std::to_string(k % 50) + "\n";
    text += "# " + std::to_string(variant) + "\n";
    return text;
}

// A panel's short configuration (inputs of every kind, outputs, a pin reference) repeated to the
// largest datagram, as a panel that sends its text again and again in one message would.
std::string RepeatedPanelText(int variant) {
    const std::string part =
        "|[I]\nB1 bench/command\nD2+ bench/panel/o1 1,0,1\nE3 bench/panel/o2 1+,0,360\n"
        "A4 bench/panel/o3 0,100\nD5 13L\n[O]\n13L 0 bench/panel/o4\n7N 0 bench/panel/o5 1 4 2\n"
        "6S 0 bench/panel/o6 1 0,360\n10G 0 bench/panel/o7 1 0,1 0,100\n8 2 bench/panel/o8 1\n";
    std::string text;
    while (text.size() + part.size() < 65507 - 16) text += part;
    return text + "# " + std::to_string(variant) + "\n";
}

struct Flood {
    const char* name;
    bool serial;
    // The datagram sender k sends as the flood's n-th.
    std::function<std::string(int k, int n)> datagram;
    int senders;  // 252 addresses, or 1
};

// The plug-in with one configured board at 127.0.0.10 and the flood's senders.
class Stage {
  public:
    explicit Stage(bool serial) {
        xphost::SetDebugEcho(false);
        corvane_test::PluginOptions options;
        options.dataCfg = "*3\n[I]\nD2 bench/valid\nD3 bench/other\n";
        std::string datarefs = "bench/valid float rw 0\nbench/other float rw 0\n";
        datarefs += "command bench/command Bench command\n";
        for (int j = 0; j < 50; ++j)
            datarefs += "bench/panel/o" + std::to_string(j) + " float rw 0\n";
        options.extraDatarefs = datarefs;
        options.settings = "SCANNING_TIMEOUT = 0\n";
        if (serial) {
            devices_ = corvane_test::MakeTempFolder("corvane-flood");
            setenv("CORVANE_DEVICE_DIR", devices_.c_str(), 1);
            boardsim::Options noisy;
            noisy.serialLink = devices_ + "/ttyUSB0";
            noisy.answerProbe = false;
            noise_ = std::make_unique<boardsim::Board>(noisy);
            options.usbOff = false;
        }
        run_ = std::make_unique<corvane_test::PluginRun>(options);
        plugin_.sin_family = AF_INET;
        plugin_.sin_port = htons(static_cast<uint16_t>(run_->port()));
        plugin_.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        board_ = std::make_unique<LoopbackPeer>(kValidHost);
        board_->SendTo(plugin_, "|x|3");
        Call();
        board_->Drain();
    }
    ~Stage() {
        run_.reset();
        noise_.reset();
        if (!devices_.empty()) {
            unsetenv("CORVANE_DEVICE_DIR");
            corvane_test::RemoveFolder(devices_);
        }
    }

    void Call() { MyFlightLoopCallback(0.025f, 0.025f, 0, nullptr); }
    const sockaddr_in& plugin() const { return plugin_; }
    LoopbackPeer& board() { return *board_; }
    boardsim::Board* noise() { return noise_.get(); }

  private:
    std::string devices_;
    std::unique_ptr<boardsim::Board> noise_;
    std::unique_ptr<corvane_test::PluginRun> run_;
    std::unique_ptr<LoopbackPeer> board_;
    sockaddr_in plugin_{};
};

void RunFlood(benchmark::State& state, const Flood& flood) {
    Stage stage(flood.serial);
    std::vector<std::unique_ptr<LoopbackPeer>> senders;
    for (int host = 2; host <= 254 && static_cast<int>(senders.size()) < flood.senders; ++host)
        if (host != kValidHost) senders.push_back(std::make_unique<LoopbackPeer>(host));
    if (flood.serial) {
        uint32_t seed = 7;
        std::string noise(1 << 20, '\0');
        for (char& c : noise) c = static_cast<char>(NextRandom(seed));
        stage.noise()->SendUnframed(noise);
    }
    std::vector<double> micros, cpuMicros;
    int value = 0, waiting = 0, worst = 0, round = 0;
    for (auto _ : state) {
        // The flood: one datagram from each of many senders, or eight from a single one; what
        // the socket cannot hold the system drops. Every 10th call the board's value message goes
        // out first, behind whatever the earlier calls left in the socket.
        const bool sendValid = waiting == 0 && micros.size() % 10 == 0;
        if (sendValid) ++value;
        const std::string valid =
            "\x01" + std::string(1, CodeCurrent[1]) + "2 " + std::to_string(value);
        if (!flood.serial) {
            const int rounds = senders.size() == 1 ? 8 : 1;
            for (int n = 0; n < rounds; ++n)
                for (size_t k = 0; k < senders.size(); ++k) {
                    if (sendValid && n == 0 && k == 0) stage.board().SendTo(stage.plugin(), valid);
                    senders[k]->SendTo(stage.plugin(),
                                       flood.datagram(static_cast<int>(k), round++));
                }
        } else {
            stage.noise()->Poll();
            if (sendValid) stage.board().SendTo(stage.plugin(), valid);
        }
        if (sendValid) waiting = 1;
        const double cpuStart = ThreadCpuMicros();
        const Clock::time_point start = Clock::now();
        stage.Call();
        const double us = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
        cpuMicros.push_back(ThreadCpuMicros() - cpuStart);
        state.SetIterationTime(us / 1e6);
        micros.push_back(us);
        if (waiting > 0) {
            if (xphost::GetNumber("bench/valid") == value) {
                worst = std::max(worst, waiting);
                waiting = 0;
            } else {
                ++waiting;
            }
        }
        stage.board().Drain();
    }
    double sum = 0;
    for (double us : micros) sum += us;
    state.counters["max_us"] = Percentile(micros, 1000);
    state.counters["p999_us"] = Percentile(micros, 999);
    state.counters["mean_us"] = sum / static_cast<double>(micros.size());
    state.counters["cpu_max_us"] = Percentile(cpuMicros, 1000);
    state.counters["cpu_p999_us"] = Percentile(cpuMicros, 999);
    // The same past the first second (40 calls), when every sender is known.
    const std::vector<double> later(cpuMicros.begin() + 40, cpuMicros.end());
    state.counters["cpu_max_later_us"] = Percentile(later, 1000);
    state.counters["calls_to_apply"] = std::max(worst, waiting);
}

std::string Junk(int k, int n) {
    uint32_t seed = static_cast<uint32_t>(k * 7919 + n);
    std::string bytes(NextRandom(seed) % 200 + 1, '\0');
    for (char& c : bytes) c = static_cast<char>(NextRandom(seed));
    return bytes;
}

const Flood kFloods[] = {
    {"inputs_252", false,
     [](int, int n) {
         return "\x01" + std::string(1, CodeCurrent[1]) + "3 " + std::to_string(n % 1000);
     },
     252},
    {"junk_252", false, Junk, 252},
    {"idents_252", false, [](int, int) { return std::string("|x|3"); }, 252},
    {"panel_same", false, [](int, int) { return PanelText(0); }, 1},
    {"panel_changed", false, [](int, int n) { return PanelText(n); }, 1},
    {"panel_repeated", false, [](int, int n) { return RepeatedPanelText(n); }, 1},
    {"empty_252", false, [](int, int) { return std::string(); }, 252},
    {"serial_noise", true, nullptr, 0},
};

}  // namespace

int main(int argc, char** argv) {
    for (const Flood& flood : kFloods)
        benchmark::RegisterBenchmark((std::string("Flood/") + flood.name).c_str(),
                                     [&flood](benchmark::State& state) { RunFlood(state, flood); })
            ->Iterations(kCalls)
            ->UseManualTime()
            ->Unit(benchmark::kMicrosecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
