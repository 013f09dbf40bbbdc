// The Studio's cost to the flight loop: one MyFlightLoopCallback call of the real plug-in with one
// network board that sends a button press before every call, in three cases:
//   Studio/off       STUDIO_PORT = 0, no server
//   Studio/no_client the server runs, nobody connected
//   Studio/live      the page's live feed is open (a WebSocket client reading every event)
// The press (a datagram from the board's socket) and the board's reading of what the plug-in sent
// are timed with the call in every case, so that the cases differ only in the Studio. Each call
// makes an input event and, every second call, an output event (the LED follows the switch).
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "exchange/flight_loop.h"
#include "studio/studio.h"
#include "support/plugin_harness.h"

namespace {

constexpr char kSection[] =
    "*1\n[I]\nD5+ sim/cockpit2/switches/landing_lights_on 1\nD5- "
    "sim/cockpit2/switches/landing_lights_on 0\n"
    "[O]\n13L 0 sim/cockpit2/switches/landing_lights_on\n";

int FreeTcpPort() {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    close(s);
    return ntohs(address.sin_port);
}

// A live-feed client that reads and drops everything on a thread of its own.
class LiveReader {
  public:
    explicit LiveReader(int port) {
        s_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(port));
        connect(s_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        const std::string host = "127.0.0.1:" + std::to_string(port);
        const std::string raw = "GET /api/live HTTP/1.1\r\nHost: " + host +
                                "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                                "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                                "Sec-WebSocket-Version: 13\r\nOrigin: http://" +
                                host + "\r\nCookie: corvane_token=" + StudioToken + "\r\n\r\n";
        send(s_, raw.data(), raw.size(), MSG_NOSIGNAL);
        reader_ = std::thread([this] {
            char buffer[65536];
            for (;;) {
                const ssize_t n = recv(s_, buffer, sizeof buffer, 0);
                if (n <= 0) break;
                received_ += n;
            }
        });
    }
    ~LiveReader() {
        shutdown(s_, SHUT_RDWR);
        reader_.join();
        close(s_);
    }

    long received() const { return received_; }

  private:
    int s_ = -1;
    std::thread reader_;
    std::atomic<long> received_{0};
};

void Run(benchmark::State& state, bool studio, bool client) {
    corvane_test::PluginOptions options;
    options.dataCfg = kSection;
    const int port = FreeTcpPort();
    options.settings =
        "SCANNING_TIMEOUT = 0\nSTUDIO_PORT = " + std::to_string(studio ? port : 0) + "\n";
    corvane_test::PluginRun run(options);
    boardsim::Options board = run.LanBoardOptions(10, 1);
    board.autoGate = true;
    board.configSection = kSection;
    boardsim::Board& sim = run.AddBoard(board);
    if (!run.ConnectAll()) state.SkipWithError("the board did not connect");
    std::unique_ptr<LiveReader> reader;
    if (client) reader = std::make_unique<LiveReader>(port);
    run.Call(20);
    bool press = true;
    for (auto _ : state) {
        press ? sim.Press("D5") : sim.Release("D5");
        press = !press;
        MyFlightLoopCallback(0.025f, 0.025f, 0, nullptr);
        sim.Poll();
        // Calls 1 ms apart (the simulator makes them 25 ms apart): the server's thread sends the
        // events of a call before the next, as it does in flight, instead of falling behind a
        // loop that calls without pause and letting the feed go as a client too slow for it.
        state.PauseTiming();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        state.ResumeTiming();
    }
    // What the live feed carried per call, to see that it ran.
    if (reader) {
        run.Call(5);
        state.counters["feed_bytes_per_call"] =
            static_cast<double>(reader->received()) / static_cast<double>(state.iterations());
    }
    run.ForgetBoards();
}

void BM_Off(benchmark::State& state) {
    Run(state, false, false);
}
void BM_NoClient(benchmark::State& state) {
    Run(state, true, false);
}
void BM_Live(benchmark::State& state) {
    Run(state, true, true);
}

}  // namespace

BENCHMARK(BM_Off)->Name("Studio/off")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NoClient)->Name("Studio/no_client")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Live)->Name("Studio/live")->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
