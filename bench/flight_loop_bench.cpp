// The cost of one MyFlightLoopCallback call, and beside each case its floor: the XPLM reads and
// the sends that any implementation of the same call has to make, timed alone.
//
// Cases (FlightLoop/<case> and Floor/<case>):
//   idle_1      one Arduino board with 50 outputs, no dataref changed
//   idle_9      nine Arduino boards and a Helvan panel, 50 outputs each, no dataref changed
//   changed_9   the same, every output's dataref changed before every call
//   inputs_100  the same as idle_9 with 100 input messages waiting on the socket
//   missing_50  idle_1 with 50 more outputs whose datarefs the simulator does not know yet,
//               all looked up again in the call (as after an aircraft loaded, or every 2 s)
//
// The plug-in runs in the headless host with its real UDP socket on the loopback; the boards are
// loopback sockets whose rows are read from data.cfg sections by the real configuration reader.
// Floors: one XPLM read per output (by its type), one datagram per Arduino board of the length
// the plug-in sends it (the panel gets nothing while nothing changed), the reception attempt that
// finds the socket empty (a call cannot apply its boards' messages without looking for them), for
// inputs_100 also the reception of every datagram before it and the XPLM call each input makes,
// and for missing_50 one XPLMFindDataRef of each missing name.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "XPLMDataAccess.h"
#include "XPLMUtilities.h"
#include "config/board_tables.h"
#include "config/config_file.h"
#include "exchange/flight_loop.h"
#include "exchange/name_healing.h"
#include "exchange/output_gate.h"
#include "exchange/wire_protocol.h"
#include "loopback_peer.h"
#include "support/plugin_harness.h"
#include "transport/lan_socket.h"
#include "transport/serial_ports.h"
#include "xphost.h"

namespace {

constexpr int kOutputs = 50;
constexpr int kInputsPerBoard = 10;
constexpr int kWaitingInputs = 100;

std::string Name(int board, int output) {
    return "bench/b" + std::to_string(board) + "/o" + std::to_string(output);
}
std::string InputName(int board, int input) {
    return "bench/b" + std::to_string(board) + "/i" + std::to_string(input);
}
std::string MissingName(int output) {
    return "bench/aircraft/not_loaded_yet/o" + std::to_string(output);
}

// 50 outputs of an Arduino board: 20 LEDs, 10 floats, 5 displays, 5 steppers, 5 PWM, 5 servos;
// 10 inputs: 5 value inputs on datarefs and 5 buttons on commands.
std::string ArduinoSection(int b) {
    std::string text = "[I]\n";
    for (int i = 0; i < kInputsPerBoard / 2; ++i)
        text += "D" + std::to_string(i + 2) + " " + InputName(b, i) + "\n";
    for (int i = kInputsPerBoard / 2; i < kInputsPerBoard; ++i)
        text += "B" + std::to_string(i + 2) + " bench/command" + std::to_string(b) + "\n";
    text += "[O]\n";
    for (int j = 0; j < kOutputs; ++j) {
        const std::string pin = std::to_string(j + 2);
        const std::string ref = " " + Name(b, j);
        if (j < 20)
            text += pin + "L 0" + ref + "\n";
        else if (j < 30)
            text += pin + " 2" + ref + "\n";
        else if (j < 35)
            text += pin + "N 0" + ref + " 1 4 0\n";
        else if (j < 40)
            text += pin + "G 0" + ref + " 1 0,360 0,1 400\n";
        else if (j < 45)
            text += pin + "P 0" + ref + " 1 0,100\n";
        else
            text += pin + "S 0" + ref + " 1 0,1\n";
    }
    return text;
}

std::string PanelSection(int b) {
    std::string text = "[O]\n";
    for (int j = 0; j < kOutputs; ++j) text += std::to_string(j + 2) + "D 1 " + Name(b, j) + "\n";
    return text;
}

// The plug-in with `arduinos` Arduino boards and, when panel is set, a panel, all connected and
// with their outputs open.
class Cockpit {
  public:
    // missing: outputs of the first board, after its 50, on datarefs the simulator does not know.
    Cockpit(int arduinos, bool panel, int missing = 0) {
        xphost::SetDebugEcho(false);
        std::string datarefs = "command bench/command Bench\n";
        const int boards = arduinos + (panel ? 1 : 0);
        for (int b = 0; b < boards; ++b) {
            datarefs += "command bench/command" + std::to_string(b) + " Bench\n";
            for (int j = 0; j < kOutputs; ++j)
                datarefs += Name(b, j) + (j < 20 ? " int rw 0\n" : " float rw 0\n");
            for (int i = 0; i < kInputsPerBoard; ++i) datarefs += InputName(b, i) + " float rw 0\n";
        }
        corvane_test::PluginOptions options;
        options.settings = "SCANNING_TIMEOUT = 0\n";
        // CORVANE_BENCH_STUDIO_PORT=N: the Studio's server listens on 127.0.0.1:N, no client.
        if (const char* port = std::getenv("CORVANE_BENCH_STUDIO_PORT"))
            options.settings += "STUDIO_PORT = " + std::string(port) + "\n";
        options.extraDatarefs = datarefs;
        run_ = std::make_unique<corvane_test::PluginRun>(options);
        for (int b = 0; b < boards; ++b) {
            peers_.push_back(std::make_unique<LoopbackPeer>(10 + b));
            MessageIsSerial = 0;
            serv_addr = peers_.back()->address();
            const bool isPanel = panel && b == arduinos;
            std::string section = isPanel ? PanelSection(b) : ArduinoSection(b);
            for (int j = 0; j < missing && b == 0; ++j)
                section += std::to_string(60 + j) + "L 0 " + MissingName(j) + "\n";
            ReadConfigFile(section, b, isPanel ? 0 : b + 1);
            HandleOutputGate(b, allow_output[b]);
        }
        for (int b = 0; b < BoardCount(); ++b)
            for (size_t j = 0; j < Drefread[b].size(); ++j) refs_.push_back(Drefread[b][j]);
        plugin_.sin_family = AF_INET;
        plugin_.sin_port = htons(static_cast<uint16_t>(run_->port()));
        plugin_.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        // The first calls send everything; from then on only what changes.
        for (int n = 0; n < 3; ++n) Call();
        Drain();
    }

    void Call() { MyFlightLoopCallback(0.025f, 0.025f, 0, nullptr); }

    // Lengths of the last datagram each board received.
    std::vector<size_t> Drain() const {
        std::vector<size_t> lengths;
        for (const auto& peer : peers_) lengths.push_back(peer->Drain());
        return lengths;
    }

    // Gives every output's dataref a new value.
    void ChangeAll() {
        ++round_;
        for (size_t k = 0; k < refs_.size(); ++k) {
            const int types = XPLMGetDataRefTypes(refs_[k]);
            if (types & xplmType_Int)
                XPLMSetDatai(refs_[k], (round_ + static_cast<int>(k)) % 2);
            else
                XPLMSetDataf(refs_[k], static_cast<float>((round_ * 7 + k) % 1000) * 0.25f);
        }
    }

    // Puts 100 input messages on the plug-in's socket: value messages and button presses,
    // spread over the Arduino boards.
    void QueueInputs() {
        const int arduinos = static_cast<int>(peers_.size()) - (HasPanel() ? 1 : 0);
        for (int n = 0; n < kWaitingInputs; ++n) {
            const int b = n % arduinos;
            const int i = (n / arduinos) % kInputsPerBoard;
            std::string text = (i < kInputsPerBoard / 2 ? "D" : "B") + std::to_string(i + 2);
            if (i < kInputsPerBoard / 2) text += " " + std::to_string(n);
            const size_t k = std::string("EDABC").find(text[0]);
            text[0] = CodeCurrent[k];
            peers_[b]->SendTo(plugin_, std::string(1, static_cast<char>(b + 1)) + text);
        }
    }

    bool HasPanel() const { return !OutDevice.empty() && OutDevice.back() == 0; }
    const std::vector<void*>& refs() const { return refs_; }
    const std::vector<std::unique_ptr<LoopbackPeer>>& peers() const { return peers_; }
    const sockaddr_in& plugin() const { return plugin_; }

  private:
    std::unique_ptr<corvane_test::PluginRun> run_;
    std::vector<std::unique_ptr<LoopbackPeer>> peers_;
    std::vector<void*> refs_;
    sockaddr_in plugin_{};
    int round_ = 0;
};

// The floor of a case: what every call has to do with the simulator and the network.
class Floor {
  public:
    Floor(const Cockpit& cockpit, const std::vector<size_t>& lengths) : cockpit_(cockpit) {
        for (size_t b = 0; b < lengths.size(); ++b) {
            if (lengths[b] == 0) continue;  // the board gets nothing (the panel, unchanged)
            messages_.emplace_back(lengths[b], '\x7b');
            to_.push_back(UdpIP[b]);
        }
        for (void* ref : cockpit.refs()) types_.push_back(XPLMGetDataRefTypes(ref));
        for (int b = 0; b < BoardCount(); ++b)
            for (size_t i = 0; i < InputDataPointer[b].size(); ++i)
                inputs_.push_back({InputDataPointer[b][i], InputArrayNum[b][i] == 0});
    }

    // One read per output, by its type.
    float Reads() const {
        float sum = 0;
        const std::vector<void*>& refs = cockpit_.refs();
        for (size_t k = 0; k < refs.size(); ++k) {
            if (types_[k] & xplmType_Float)
                sum += XPLMGetDataf(refs[k]);
            else
                sum += static_cast<float>(XPLMGetDatai(refs[k]));
        }
        return sum;
    }

    // One datagram per board that the plug-in sends to.
    void Sends() const {
        for (size_t k = 0; k < messages_.size(); ++k)
            sendto(sock, messages_[k].data(), messages_[k].size(), 0,
                   reinterpret_cast<const sockaddr*>(&to_[k]), sizeof to_[k]);
    }

    // Receives every waiting datagram and makes the XPLM call of its input, until the socket is
    // found empty.
    int ReceiveInputs() const {
        char buffer[256];
        int n = 0;
        sockaddr_in from{};
        socklen_t length = sizeof from;
        while (recvfrom(sock, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from),
                        &length) >= 0) {
            const Input& input = inputs_[static_cast<size_t>(n) % inputs_.size()];
            if (input.command)
                XPLMCommandOnce(input.pointer);
            else
                XPLMSetDataf(input.pointer, static_cast<float>(n));
            ++n;
        }
        return n;
    }

  private:
    struct Input {
        void* pointer;
        bool command;
    };
    const Cockpit& cockpit_;
    std::vector<int> types_;
    std::vector<std::string> messages_;
    std::vector<sockaddr_in> to_;
    std::vector<Input> inputs_;
};

// One cockpit at a time lives in the host: each benchmark builds the one it needs.
std::unique_ptr<Cockpit> TheCockpit;
int TheArduinos = -1;
int TheMissing = -1;

Cockpit& Use(int arduinos, int missing = 0) {
    if (TheArduinos != arduinos || TheMissing != missing) {
        TheCockpit.reset();
        TheCockpit = std::make_unique<Cockpit>(arduinos, arduinos > 1, missing);
        TheArduinos = arduinos;
        TheMissing = missing;
    }
    return *TheCockpit;
}

// missing: names the simulator does not know yet, every one of them looked up in every call.
void Idle(benchmark::State& state, int arduinos, int missing = 0) {
    Cockpit& cockpit = Use(arduinos, missing);
    int n = 0;
    for (auto _ : state) {
        if (missing) LookUpMissingNamesSoon();
        cockpit.Call();
        if (++n % 256 == 0) {
            state.PauseTiming();
            cockpit.Drain();
            state.ResumeTiming();
        }
    }
    cockpit.Drain();
}

void IdleFloor(benchmark::State& state, int arduinos, int missing = 0) {
    Cockpit& cockpit = Use(arduinos, missing);
    cockpit.Call();
    const Floor floor(cockpit, cockpit.Drain());
    std::vector<std::string> names;
    for (int j = 0; j < missing; ++j) names.push_back(MissingName(j));
    int n = 0;
    for (auto _ : state) {
        for (const std::string& name : names)
            benchmark::DoNotOptimize(XPLMFindDataRef(name.c_str()));
        benchmark::DoNotOptimize(floor.ReceiveInputs());
        benchmark::DoNotOptimize(floor.Reads());
        floor.Sends();
        if (++n % 256 == 0) {
            state.PauseTiming();
            cockpit.Drain();
            state.ResumeTiming();
        }
    }
    cockpit.Drain();
}

void BM_FlightLoop_idle_1(benchmark::State& state) {
    Idle(state, 1);
}
void BM_Floor_idle_1(benchmark::State& state) {
    IdleFloor(state, 1);
}
void BM_FlightLoop_idle_9(benchmark::State& state) {
    Idle(state, 9);
}
void BM_Floor_idle_9(benchmark::State& state) {
    IdleFloor(state, 9);
}

void BM_FlightLoop_changed_9(benchmark::State& state) {
    Cockpit& cockpit = Use(9);
    for (auto _ : state) {
        state.PauseTiming();
        cockpit.ChangeAll();
        cockpit.Drain();
        state.ResumeTiming();
        cockpit.Call();
    }
    cockpit.Drain();
}

void BM_Floor_changed_9(benchmark::State& state) {
    Cockpit& cockpit = Use(9);
    cockpit.ChangeAll();
    cockpit.Call();
    const Floor floor(cockpit, cockpit.Drain());
    for (auto _ : state) {
        state.PauseTiming();
        cockpit.ChangeAll();
        cockpit.Drain();
        state.ResumeTiming();
        benchmark::DoNotOptimize(floor.ReceiveInputs());
        benchmark::DoNotOptimize(floor.Reads());
        floor.Sends();
    }
    cockpit.Drain();
}

void BM_FlightLoop_inputs_100(benchmark::State& state) {
    Cockpit& cockpit = Use(9);
    for (auto _ : state) {
        state.PauseTiming();
        cockpit.Drain();
        xphost::TakeCommandTrace();
        cockpit.QueueInputs();
        state.ResumeTiming();
        cockpit.Call();
    }
    state.SetItemsProcessed(state.iterations() * kWaitingInputs);
    cockpit.Drain();
}

void BM_Floor_inputs_100(benchmark::State& state) {
    Cockpit& cockpit = Use(9);
    cockpit.Call();
    const Floor floor(cockpit, cockpit.Drain());
    for (auto _ : state) {
        state.PauseTiming();
        cockpit.Drain();
        xphost::TakeCommandTrace();
        cockpit.QueueInputs();
        state.ResumeTiming();
        benchmark::DoNotOptimize(floor.ReceiveInputs());
        benchmark::DoNotOptimize(floor.Reads());
        floor.Sends();
    }
    state.SetItemsProcessed(state.iterations() * kWaitingInputs);
    cockpit.Drain();
}

void BM_FlightLoop_missing_50(benchmark::State& state) {
    Idle(state, 1, 50);
}
void BM_Floor_missing_50(benchmark::State& state) {
    IdleFloor(state, 1, 50);
}

}  // namespace

BENCHMARK(BM_FlightLoop_idle_1)->Name("FlightLoop/idle_1");
BENCHMARK(BM_Floor_idle_1)->Name("Floor/idle_1");
BENCHMARK(BM_FlightLoop_idle_9)->Name("FlightLoop/idle_9");
BENCHMARK(BM_Floor_idle_9)->Name("Floor/idle_9");
BENCHMARK(BM_FlightLoop_changed_9)->Name("FlightLoop/changed_9");
BENCHMARK(BM_Floor_changed_9)->Name("Floor/changed_9");
BENCHMARK(BM_FlightLoop_inputs_100)->Name("FlightLoop/inputs_100");
BENCHMARK(BM_Floor_inputs_100)->Name("Floor/inputs_100");
BENCHMARK(BM_FlightLoop_missing_50)->Name("FlightLoop/missing_50");
BENCHMARK(BM_Floor_missing_50)->Name("Floor/missing_50");

// The last cockpit stops the plug-in before the program's exit destroys the plug-in's own state,
// as X-Plane stops a plug-in before it unloads it.
int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    TheCockpit.reset();
    return 0;
}
