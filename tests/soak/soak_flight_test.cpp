// A long flight on the simulated clock: nine LAN boards and three USB boards (pseudo-terminals) of
// every kind send a seeded random mix of inputs, control requests and garbage while the datarefs
// of their outputs change every frame; now and then a board restarts and identifies itself again,
// and now and then the plug-in is reset. At every pause and at the end the flight is checked:
// every input applied exactly once (commands through the host's command trace, the rest through
// dataref values), every board showing what its datarefs say, and the plug-in's tables no
// larger than after the first connection.
//
// The flight lasts CORVANE_SOAK_MINUTES simulated minutes (default 30: 72,000 flight-loop calls,
// one per 25 ms frame).
#include <gtest/gtest.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

#include "config/board_tables.h"
#include "config/settings.h"
#include "config/status_text.h"
#include "exchange/output_value.h"
#include "support/plugin_harness.h"
#include "transport/lan_socket.h"
#include "transport/serial_ports.h"
#include "xphost.h"

#if defined(__has_feature)
#define CORVANE_ASAN __has_feature(address_sanitizer)
#else
#define CORVANE_ASAN 0
#endif

namespace {

// Keys 0-6: LAN Arduinos, 7-8: LAN panels, 9-10: USB Arduinos, 11: a USB panel.
constexpr int kLanBoards = 9;
constexpr int kBoards = 12;
constexpr int kRestartEvery = 3000;  // frames between board restarts (75 s)
constexpr int kResetEvery = 15000;   // frames between full resets (6.25 min)

// What one board is (its datarefs are soak/kKEY/...) and the effects expected of what it sent.
struct SoakBoard {
    int key = 0, id = 0;  // id: the board ID (0 for a panel)
    bool panel = false, usb = false;
    boardsim::Board* sim = nullptr;
    bool gateClosed = false, holding = false;
    long onces = 0, holds = 0, releases = 0;
    double count = 0, down = 0;  // E7 steps up by its repeat count, E8 down by 2
    float axis = 0, value = 0;   // as last sent (the datarefs start at 0)

    std::string Name(const std::string& what) const {
        return "soak/k" + std::to_string(key) + "/" + what;
    }
    double Number(const std::string& what, int index = -1) const {
        return xphost::GetNumber(Name(what), index);
    }
    // Held keys are shared by all boards, so each board holds a button of its own.
    std::string HeldTag() const { return "D" + std::to_string(20 + key); }
};

std::string Datarefs(const SoakBoard& board) {
    const std::string k = board.Name("");
    std::string text = k + "arr float[4] rw\n" + k + "bytes byte[16] rw a\n" + "command " + k +
                       "cmd Soak command\ncommand " + k + "engage_starter Soak held command\n";
    for (const char* name : {"led", "disp", "step", "pwm", "port"})
        text += k + name + " int rw 0\n";
    for (const char* name : {"float", "servo", "count", "down", "axis", "value"})
        text += k + name + " float rw 0\n";
    return text;
}

// Inputs: a command, a held command, two encoders, an axis and a value input. Outputs: an LED,
// a 7-segment display, a stepper, PWM, a float, a port LED, a servo, an array element and byte
// data (the panel: the ones its text form carries).
std::string Section(const SoakBoard& board) {
    const std::string k = board.Name("");
    std::string text = "[I]\nB3 " + k + "cmd\n" + board.HeldTag() + "+ " + k +
                       "engage_starter\nE7 " + k + "count 1+\nE8 " + k + "down 2-\nA9 " + k +
                       "axis 0,100\nD10 " + k + "value\n[O]\n13L 0 " + k + "led\n9N 0 " + k +
                       "disp 1 4 0\n8 2 " + k + "float\n11 1 " + k + "arr 3\n";
    if (!board.panel)
        text += "4G 0 " + k + "step\n7P 0 " + k + "pwm\n3l 0 " + k + "port\n6S 0 " + k +
                "servo 1 0,1\n12T 8 " + k + "bytes\n";
    return text;
}

// The text of a value as the output pass prints it with precision 0 to 2: these values print
// with at most that many decimals, so the text is plain %g.
std::string Printed(double v) {
    char text[40];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

// The element counts of the plug-in's tables and buffers, and their bytes (texts included).
struct Footprint {
    size_t elements = 0, bytes = 0;
};

// Texts count their characters; other scalars only their place in a table.
template <typename T>
void Add(Footprint& f, const T& item) {
    if constexpr (std::is_same_v<T, std::string>) f.bytes += item.capacity();
}
template <typename T>
void Add(Footprint& f, const std::vector<T>& v) {
    f.elements += v.size();
    f.bytes += v.capacity() * sizeof(T);
    for (const T& item : v) Add(f, item);
}
template <typename... V>
Footprint FootprintOf(const V&... tables) {
    Footprint f;
    (Add(f, tables), ...);
    return f;
}

Footprint PluginFootprint() {
    return FootprintOf(Datatags, Mode, InputDataPointer, InputDefault, Contval, Drefread, Previous,
                       OutDrefs, OutputModeLed, LedPortData, AnalogAdditional, SevenSegAdditional,
                       StepperAdditional, UdpIP, SerialIndex, ArduinoConfigFile, Continuous,
                       ContinuousTag, OutputMemos, comport, SerialBuffer, UsedUSB, UsedAddr,
                       NetworkIndices, InstructionsText);
}

size_t HeapInUse() {
#if defined(__SANITIZE_ADDRESS__) || CORVANE_ASAN
    return 0;  // the sanitizer's allocator keeps its own books
#else
    return mallinfo2().uordblks;
#endif
}

class SoakFlight {
  public:
    SoakFlight() : rng_(20240607u) {
        devices_ = corvane_test::MakeTempFolder("corvane-soak-dev");
        setenv("CORVANE_DEVICE_DIR", devices_.c_str(), 1);
        corvane_test::PluginOptions options;
        for (int k = 0; k < kBoards; ++k) {
            SoakBoard board;
            board.key = k;
            board.usb = k >= kLanBoards;
            board.panel = k == 7 || k == 8 || k == 11;
            board.id = board.panel ? 0 : 1 + (k < 7 ? k : k - 2);
            options.extraDatarefs += Datarefs(board);
            if (!board.panel)
                options.dataCfg += "*" + std::to_string(board.id) + "\n" + Section(board);
            boards_.push_back(board);
        }
        // The serial boards exist before the start-up scans the device folder.
        for (SoakBoard& board : boards_) {
            if (!board.usb) continue;
            boardsim::Options serial;
            serial.serialLink = devices_ + "/ttyUSB" + std::to_string(board.key);
            serial_.push_back(std::make_unique<boardsim::Board>(Configure(board, serial)));
            EXPECT_TRUE(serial_.back()->ok()) << serial_.back()->error();
            board.sim = serial_.back().get();
        }
        options.usbOff = false;
        options.settings = "USB_DEVICE_COUNT = 3\nSCANNING_TIMEOUT = 100\n";
        xphost::SetDebugEcho(false);
        run_ = std::make_unique<corvane_test::PluginRun>(options);
        for (SoakBoard& board : boards_)
            if (!board.usb)
                board.sim =
                    &run_->AddBoard(Configure(board, run_->LanBoardOptions(11 + board.key, 1)));
    }

    ~SoakFlight() {
        run_.reset();
        serial_.clear();
        unsetenv("CORVANE_DEVICE_DIR");
        corvane_test::RemoveFolder(devices_);
    }

    void Fly(int frames) {
        ASSERT_TRUE(Reconnect()) << "the boards did not all connect";
        Pause("first connection");
        baseline_ = PluginFootprint();
        baselineHeap_ = HeapInUse();
        int restarts = 0, resets = 0;
        long inputs = 0;
        while (frame_ < frames) {
            if (::testing::Test::HasFatalFailure()) return;
            ChangeDatarefs();
            for (SoakBoard& board : boards_) {
                if (!Chance(8)) continue;
                const int roll = Pick(100);
                if (roll < 70) {
                    SendInput(board);
                    ++inputs;
                } else if (roll < 80 && !(board.panel && board.usb)) {
                    SendControl(board);
                } else {
                    // A panel's text form on a serial line has no length, so a reply right
                    // behind it would be read as part of it: the USB panel asks for nothing.
                    SendGarbage(board);
                }
            }
            Step();
            if (frame_ % kResetEvery == 0) {
                Pause("before a reset");
                xphost::ChooseMenu("Corvane/Reconnect");
                ASSERT_TRUE(Reconnect()) << "the boards did not reconnect after the reset";
                ++resets;
            } else if (frame_ % kRestartEvery == 0) {
                Pause("before a board restart");
                SoakBoard& board = boards_[Pick(kBoards)];
                board.sim->SendIdentification();
                ASSERT_TRUE(Reconnect(board.key)) << "board " << board.key << " did not come back";
                ++restarts;
            }
        }
        Pause("landing");
        EXPECT_GE(restarts, frames / kRestartEvery - frames / kResetEvery - 1);
        EXPECT_GE(resets, frames / kResetEvery - 1);
        EXPECT_GT(inputs, frames / 4);
    }

  private:
    static boardsim::Options Configure(const SoakBoard& board, boardsim::Options options) {
        options.boardId = board.id;
        (board.panel ? options.panelConfig : options.configSection) = Section(board);
        options.autoGate = options.requestBlocks = !board.panel;
        return options;
    }

    int Pick(int n) { return static_cast<int>(rng_() % static_cast<unsigned>(n)); }
    bool Chance(int percent) { return Pick(100) < percent; }

    // No datagram for the plug-in, no byte on either end of a serial line, no complete frame in
    // a port's buffer.
    bool NothingWaiting() const {
        bool waiting = corvane_test::WaitingBytes(sock) > 0;
        for (int fd : comport) waiting = waiting || corvane_test::WaitingBytes(fd) > 0;
        for (const auto& board : serial_)
            waiting = waiting || corvane_test::WaitingBytes(board->fd()) > 0;
        for (const std::string& buffer : SerialBuffer)
            waiting = waiting || buffer.find('}') != std::string::npos;
        return !waiting;
    }

    // One frame (after a moment for the pseudo-terminals): the flight-loop call, then every
    // board reads what it got; the commands the plug-in ran are counted.
    void Step(useconds_t pause = 0) {
        if (pause) {
            usleep(pause);
            PollAll();
        }
        xphost::RunFrame();
        ++frame_;
        PollAll();
        for (const xphost::CommandEvent& e : xphost::TakeCommandTrace()) {
            if (e.cause != "plugin") continue;
            if (e.phase == 0) ++begun_[e.name];
            if (e.phase == 2) ++ended_[e.name];
        }
        if (frame_ % 1000 == 0)
            for (SoakBoard& board : boards_) board.sim->clearReceived();
    }
    void PollAll() {
        run_->PollBoards();
        for (auto& board : serial_) board->Poll();
    }

    // Frames until every board (or the one given) has a new upload or identification reply, has
    // opened its outputs, and the search has ended.
    bool Reconnect(int only = -1) {
        std::vector<int> uploads;
        for (const SoakBoard& board : boards_)
            uploads.push_back(only < 0 || board.key == only ? board.sim->uploadCount() : -1);
        for (int n = 0; n < 2000; ++n) {
            Step(200);
            bool done = ScanTimeout <= 0 && BoardCount() == kBoards;
            for (size_t k = 0; done && k < boards_.size(); ++k)
                done =
                    boards_[k].sim->uploadCount() > uploads[k] && boards_[k].sim->boardNumber() > 0;
            for (int b = 0; done && b < BoardCount(); ++b) done = AllowOutput[b];
            if (done) {
                for (SoakBoard& board : boards_) board.gateClosed = false;
                return true;
            }
        }
        return false;
    }

    // A new value for a few outputs' datarefs, drawn from what each output shows exactly.
    void ChangeDatarefs() {
        // Dataref, then its value (Pick(span) - offset) * scale; "bytes" gets a short word.
        static const struct {
            const char* name;
            int span, offset;
            double scale;
        } kinds[] = {{"led", 2, 0, 1},          {"disp", 10000, 0, 1},   {"float", 801, 400, 0.25},
                     {"arr[2]", 401, 200, 0.5}, {"step", 2001, 1000, 1}, {"pwm", 256, 0, 1},
                     {"port", 2, 0, 1},         {"servo", 5, 0, 0.25},   {"bytes", 0, 0, 0}};
        for (int n = 0; n < 6; ++n) {
            const SoakBoard& board = boards_[Pick(kBoards)];
            const auto& kind = kinds[Pick(board.panel ? 4 : 9)];
            std::string value(kind.span ? 0 : 1 + Pick(8), 'a');
            for (char& c : value) c = static_cast<char>('a' + Pick(26));
            if (kind.span) value = Printed((Pick(kind.span) - kind.offset) * kind.scale);
            xphost::SetDataref(board.Name(kind.name), value);
        }
    }

    void SendInput(SoakBoard& board) {
        boardsim::Board& sim = *board.sim;
        const int kind = Pick(6);
        if (kind == 0) {
            sim.SendInput("B3");
            ++board.onces;
        } else if (kind == 1) {
            board.holding ? sim.Release(board.HeldTag()) : sim.Press(board.HeldTag());
            ++(board.holding ? board.releases : board.holds);
            board.holding = !board.holding;
        } else if (kind == 2) {
            const int count = 1 + Pick(5);
            sim.TurnEncoder("E7", count);
            board.count += count;
        } else if (kind == 3) {
            sim.SendInput("E8");
            board.down -= 2;
        } else if (kind == 4) {
            const int reading = Pick(1001);
            sim.MoveAxis("A9", reading);
            board.axis = 0.0f + (100.0f - 0.0f) * (static_cast<float>(reading) / 1000.0f);
        } else {
            const double v = (Pick(2001) - 1000) * 0.125;
            sim.SendInput("D10", Printed(v));
            board.value = static_cast<float>(v);
        }
    }

    void SendControl(SoakBoard& board) {
        boardsim::Board& sim = *board.sim;
        const int roll = Pick(board.panel ? 3 : 6);
        if (roll < 3) sim.SendControl("ans"[roll]);
        if (roll == 3) sim.RequestGate();
        if (roll < 4) return;
        board.gateClosed ? sim.OpenGate() : sim.CloseGate();
        board.gateClosed = !board.gateClosed;
    }

    // Bytes that no message kind accepts: a board number of 128 or more, messages of one or two
    // bytes, an identification too short to read, an unknown control request, a tag that no
    // input has, and on a serial line bytes outside any frame (never a zero byte, which would cut
    // the read it arrives in).
    void SendGarbage(SoakBoard& board) {
        boardsim::Board& sim = *board.sim;
        std::string noise(1 + Pick(24), ' ');
        for (char& c : noise) {
            do c = static_cast<char>(1 + Pick(255));
            while (c == '{' || c == '}');
        }
        const int kind = Pick(board.usb ? 7 : 6);
        if (kind == 0) sim.SendRaw(static_cast<char>(0x80 + Pick(128)) + noise);
        if (kind == 1) sim.SendRaw(std::string(1, "qz#"[Pick(3)]));
        if (kind == 2) sim.SendRaw("|" + noise.substr(0, 1));
        if (kind == 3) sim.SendControl("qQ9"[Pick(3)]);
        if (kind == 4) sim.SendInput("Z#" + std::to_string(Pick(100)));
        if (kind == 5) sim.SendInput("D#" + std::to_string(Pick(100)), "1");
        if (kind == 6) sim.SendUnframed(noise);
    }

    // Ends every hold, opens every closed gate, lets everything arrive, and checks the flight.
    void Pause(const std::string& when) {
        for (SoakBoard& board : boards_) {
            if (board.holding) {
                board.sim->Release(board.HeldTag());
                ++board.releases;
                board.holding = false;
            }
            if (board.gateClosed) board.sim->OpenGate();
            board.gateClosed = false;
        }
        // At least a dozen frames, and then until nothing has been waiting on any link for three
        // frames in a row: bytes on a pseudo-terminal take a moment to reach its other end.
        for (int n = 0, quiet = 0; n < 400 && (n < 12 || quiet < 3); ++n) {
            Step(1000);
            quiet = NothingWaiting() ? quiet + 1 : 0;
        }
        SCOPED_TRACE(when + " at frame " + std::to_string(frame_));
        for (const SoakBoard& board : boards_) Check(board);
        if (baseline_.elements == 0) return;
        const Footprint now = PluginFootprint();
        EXPECT_EQ(now.elements, baseline_.elements) << "the plug-in's tables changed size";
        EXPECT_LE(now.bytes, baseline_.bytes * 3 / 2 + 4096) << "the plug-in's buffers grew";
        EXPECT_LE(baselineHeap_ > 0 ? HeapInUse() : 0, baselineHeap_ + (4u << 20))
            << "the heap in use grew";
    }

    // Every input applied exactly once, every output showing what its dataref says.
    void Check(const SoakBoard& board) {
        SCOPED_TRACE("board " + std::to_string(board.key));
        EXPECT_EQ(begun_[board.Name("cmd")], board.onces);
        EXPECT_EQ(ended_[board.Name("cmd")], board.onces);
        EXPECT_EQ(begun_[board.Name("engage_starter")], board.holds);
        EXPECT_EQ(ended_[board.Name("engage_starter")], board.releases);
        EXPECT_EQ(board.Number("count"), board.count);
        EXPECT_EQ(board.Number("down"), board.down);
        EXPECT_FLOAT_EQ(static_cast<float>(board.Number("axis")), board.axis);
        EXPECT_EQ(static_cast<float>(board.Number("value")), board.value);

        const boardsim::Board& sim = *board.sim;
        const int disp = static_cast<int>(board.Number("disp"));
        if (board.panel) {
            auto values = sim.panelValues();
            EXPECT_EQ(values["13L"], Printed(board.Number("led")));
            EXPECT_EQ(values["9N"], Printed(disp));
            EXPECT_EQ(values["8"], Printed(board.Number("float")));
            EXPECT_EQ(values["11"], Printed(board.Number("arr", 0)) + "," +
                                        Printed(board.Number("arr", 1)) + "," +
                                        Printed(board.Number("arr", 2)));
            return;
        }
        std::string shown = std::to_string(disp);
        shown.insert(0, 4 - shown.size(), ' ');
        EXPECT_EQ(sim.leds()[13], board.Number("led") == 1.0);
        EXPECT_EQ(sim.displays()[9], shown);
        EXPECT_EQ(sim.steppers()[4].first, static_cast<int>(board.Number("step")));
        EXPECT_EQ(sim.pwm()[7], static_cast<int>(board.Number("pwm")));
        EXPECT_EQ(sim.floats()[8], static_cast<float>(board.Number("float")));
        EXPECT_EQ(sim.floats()[11], static_cast<float>(board.Number("arr", 2)));
        EXPECT_EQ(sim.portLeds()[3], board.Number("port") == 1.0);
        EXPECT_EQ(sim.floats()[6], static_cast<float>(500 + 2000 * board.Number("servo")));
        EXPECT_EQ(sim.texts()[12], xphost::GetDataref(board.Name("bytes")));
    }

    std::mt19937 rng_;
    std::string devices_;
    std::vector<SoakBoard> boards_;
    std::vector<std::unique_ptr<boardsim::Board>> serial_;
    std::unique_ptr<corvane_test::PluginRun> run_;
    std::map<std::string, long> begun_, ended_;
    Footprint baseline_;
    size_t baselineHeap_ = 0;
    int frame_ = 0;
};

TEST(Soak, ThirtyMinuteFlightWithTwelveBoards) {
    const char* minutes = std::getenv("CORVANE_SOAK_MINUTES");
    const int frames = (minutes && std::atoi(minutes) > 0 ? std::atoi(minutes) : 30) * 60 * 40;
    SoakFlight flight;
    flight.Fly(frames);
}

}  // namespace
