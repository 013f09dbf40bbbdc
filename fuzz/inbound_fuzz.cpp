// Inbound traffic: arbitrary datagrams (up to the largest UDP datagram) from known and unknown
// loopback senders, Helvan panel texts of any length, byte streams of any length on three serial
// ports, ports that vanish, and dataref values and frame periods that number conversions get
// wrong, all interleaved with flight-loop calls, into a plug-in whose boards of every kind are
// connected. Every flight-loop call is timed: one longer than the limit is a finding.
//
// Each input starts from the same state: the settings that its first byte picks (how many USB
// boards the search expects and how long it runs), a full reset (the menu's "Reconnect"), after
// which every board identifies itself again and opens its outputs. The rest is read as
// operations (the first byte of each, modulo 12):
//   0  datagram of up to 255 bytes from sender (next byte)
//   1  datagram of up to 65507 bytes (two length bytes) from sender
//   2  datagram of a pattern repeated to up to 65507 bytes, from sender
//   3  Helvan panel identification: the panel's text, a pattern line, repeated to up to 65507
//      bytes, from sender
//   4  up to 255 bytes on serial port k, raw or braced as one frame
//   5  a pattern repeated to up to 65535 bytes on serial port k, raw or braced
//   6  input message (board number byte, type letter through the code letters) from a sender
//   7  the same on serial port k
//   8  one to four flight-loop calls
//   9  one flight-loop call with a frame period of 0, NaN, an infinity, ... (next byte)
//  10  a dataref of the boards' outputs set to a value from the input or a hard value
//  11  serial port k vanishes (its device is closed), or a full reset ("Reconnect")
// Senders: 0-2 the LAN boards, 3 the panel, 4-5 hosts the plug-in does not know, 6 the plug-in's
// own host number. Serial ports: 0 and 1 Arduino boards, 2 a Helvan panel.
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "XPLMDataAccess.h"
#include "config/board_tables.h"
#include "fuzz_support.h"
#include "plugin/lifecycle.h"
#include "support/plugin_harness.h"

namespace {

// The largest payload of one UDP datagram over IPv4.
constexpr unsigned int kMaxDatagram = 65507;
constexpr size_t kSerialBoards = 3;

// Settings an input can start with: USB boards the search expects and its length in calls.
const char* const kProfiles[] = {
    "USB_DEVICE_COUNT = 3\nSCANNING_TIMEOUT = 300\n",
    // The search ends as soon as the first serial board has identified itself: the other ports
    // are closed.
    "USB_DEVICE_COUNT = 1\nSCANNING_TIMEOUT = 300\n",
    // The search ends by its length, a few calls into the input.
    "USB_DEVICE_COUNT = 3\nSCANNING_TIMEOUT = 14\n",
    "USB_DEVICE_COUNT = 3\nSCANNING_TIMEOUT = 14\nUSB_FIX = 1\n",
    "USB_DEVICE_COUNT = 0\nSCANNING_TIMEOUT = 300\nRESET_EVENTS = 0\n",
    "USB_DEVICE_COUNT = 2\nSCANNING_TIMEOUT = 40\n",
};
constexpr unsigned int kProfileCount = sizeof kProfiles / sizeof kProfiles[0];
// USB boards that identify themselves under each profile (the others' ports are closed).
const size_t kSerialBoardsUp[] = {3, 1, 3, 3, 0, 2};

struct SerialBoard {
    boardsim::Options options;
    std::unique_ptr<boardsim::Board> board;
    int uploads = 0;    // uploads seen when its outputs were last opened
    int gateShown = 0;  // gate replies seen when the gate was last opened
};

struct World {
    std::string devices;
    std::unique_ptr<corvane_test::PluginRun> run;
    std::vector<boardsim::Board*> lan;  // the LAN boards, then the panel
    std::vector<SerialBoard> serial;
    std::vector<std::unique_ptr<corvane_fuzz::LoopbackPeer>> strangers;  // unknown, then own
};

boardsim::Options LanOptions(int host, int port, int id) {
    boardsim::Options options;
    options.lanAddress = "127.0.0." + std::to_string(host);
    options.lanPort = port;
    options.pluginAddress = "127.0.0.1";
    options.pluginPort = port;
    options.boardId = id;
    options.autoGate = true;
    options.requestBlocks = true;
    return options;
}

// A serial board on a pseudo-terminal in the device folder. The fuzzer asks for its blocks and
// opens its outputs itself, without the emulator's pause after the upload.
boardsim::Options SerialOptions(const std::string& devices, const char* name, int id,
                                const char* panelConfig) {
    boardsim::Options options;
    options.serialLink = devices + "/" + name;
    options.boardId = id;
    options.panelConfig = panelConfig;
    return options;
}

World& TheWorld() {
    static World* world = [] {
        auto* w = new World;
        w->devices = corvane_fuzz::UseDeviceFolder();
        corvane_test::PluginOptions options;
        options.dataCfg = corvane_fuzz::kFuzzDataCfg;
        options.usbOff = false;
        options.settings = "USB_DEVICE_COUNT = 0\n";
        w->run = corvane_fuzz::StartQuietRun(options);
        const int port = w->run->port();
        w->lan.push_back(&w->run->AddBoard(LanOptions(2, port, 1)));
        w->lan.push_back(&w->run->AddBoard(LanOptions(3, port, 2)));
        w->lan.push_back(&w->run->AddBoard(LanOptions(4, port, 1)));
        boardsim::Options panel = LanOptions(5, port, 0);
        panel.panelConfig = corvane_fuzz::kFuzzPanelConfig;
        w->lan.push_back(&w->run->AddBoard(panel));
        w->serial.resize(kSerialBoards);
        w->serial[0].options = SerialOptions(w->devices, "ttyUSB0", 3, "");
        w->serial[1].options = SerialOptions(w->devices, "ttyACM0", 2, "");
        w->serial[2].options =
            SerialOptions(w->devices, "ttyUSB1", 0, corvane_fuzz::kFuzzPanelConfig);
        w->strangers.push_back(std::make_unique<corvane_fuzz::LoopbackPeer>(20));
        w->strangers.push_back(std::make_unique<corvane_fuzz::LoopbackPeer>(21));
        w->strangers.push_back(std::make_unique<corvane_fuzz::LoopbackPeer>(1));
        return w;
    }();
    return *world;
}

boardsim::Board* Serial(World& w, unsigned int k) {
    return w.serial[k % kSerialBoards].board.get();
}

// Polls the serial boards; one that has got a new upload asks for its blocks and its output
// gate, and opens the gate once the reply is there.
void PollSerial(World& w) {
    for (SerialBoard& s : w.serial) {
        if (!s.board) continue;
        s.board->Poll();
        if (s.board->uploadCount() != s.uploads) {
            s.uploads = s.board->uploadCount();
            if (!s.board->isPanel()) {
                s.board->RequestBlocks();
                s.board->RequestGate();
            }
        }
        const int gates = s.board->messageCount("gate-reply");
        if (gates != s.gateShown) {
            s.gateShown = gates;
            s.board->OpenGate();
        }
    }
}

void Frames(World& w, int count) {
    for (int n = 0; n < count; ++n) {
        corvane_fuzz::TimedFrames(*w.run, 1);
        PollSerial(w);
    }
}

// The settings of the profile, a serial board on every port that has none (one that vanished
// comes back), then a full reset after which every board identifies itself and opens its outputs.
void Reconnect(World& w, unsigned int profile) {
    profile %= kProfileCount;
    corvane_test::WriteFile(w.run->folder() + "/config.ini",
                            "IP_ADDRESS = 127.0.0.1\nSTUDIO_PORT = 0\nPORT = " +
                                std::to_string(w.run->port()) + "\n" + kProfiles[profile]);
    for (SerialBoard& s : w.serial) {
        if (s.board) continue;
        s.board = std::make_unique<boardsim::Board>(s.options);
        s.uploads = 0;
        s.gateShown = 0;
    }
    // A board is up again once it has a new upload (a panel) or a new gate reply (an Arduino
    // board, which then opens its outputs).
    std::vector<int> before;
    for (boardsim::Board* board : w.lan) before.push_back(board->uploadCount());
    for (const SerialBoard& s : w.serial)
        before.push_back(s.board->isPanel() ? s.uploads : s.gateShown);
    std::srand(1);
    ResetPlugin();
    const size_t serialUp = kSerialBoardsUp[profile];
    for (int n = 0; n < 40; ++n) {
        bool up = true;
        for (size_t k = 0; k < w.lan.size(); ++k) up = up && w.lan[k]->uploadCount() > before[k];
        size_t serialOpen = 0;
        for (size_t k = 0; k < w.serial.size(); ++k) {
            const SerialBoard& s = w.serial[k];
            if ((s.board->isPanel() ? s.uploads : s.gateShown) > before[w.lan.size() + k])
                ++serialOpen;
        }
        if (up && serialOpen >= serialUp) break;
        Frames(w, 1);
    }
    Frames(w, 2);
    for (boardsim::Board* board : w.lan) board->clearReceived();
    for (SerialBoard& s : w.serial) s.board->clearReceived();
    for (auto& peer : w.strangers) peer->Drain();
}

void SendFrom(World& w, unsigned int sender, const std::string& bytes) {
    sender %= 7;
    if (sender < w.lan.size())
        w.lan[sender]->SendUnframed(bytes);
    else
        w.strangers[sender - w.lan.size()]->SendTo(w.run->port(), bytes);
}

void SendSerial(World& w, unsigned int port, bool framed, const std::string& bytes) {
    boardsim::Board* board = Serial(w, port);
    if (!board) return;
    if (framed)
        board->SendRaw(bytes);
    else
        board->SendUnframed(bytes);
}

const float kFramePeriods[] = {0.0f,   NAN,     -NAN,   INFINITY, -INFINITY, -0.025f,
                               1e-45f, 3.4e38f, 0.025f, 1.0f,     1e-7f};

// The datarefs of the boards' outputs, with their element counts (0: one value).
struct FuzzDataref {
    const char* name;
    int elements;
};
const FuzzDataref kOutputDatarefs[] = {
    {"fuzz/int", 0},    {"fuzz/float", 0}, {"fuzz/double", 0},    {"fuzz/heading", 0},
    {"fuzz/floats", 8}, {"fuzz/ints", 8},  {"fuzz/int_float", 0}, {"fuzz/bytes", 16},
};

// A double as the nearest float: beyond the float range an infinity of its sign.
float ToFloat(double value) {
    if (std::isfinite(value) && std::fabs(value) > FLT_MAX) return value > 0 ? INFINITY : -INFINITY;
    return static_cast<float>(value);
}

// Sets one output dataref (an element of an array) to a value the input chooses: raw float or
// double bits or a hard value for floats and doubles, raw bits for ints, raw bytes for byte data.
void SetDataref(corvane_fuzz::Reader& in) {
    const FuzzDataref& d = kOutputDatarefs[in.Byte() % 8];
    const XPLMDataRef ref = XPLMFindDataRef(d.name);
    const int types = XPLMGetDataRefTypes(ref);
    const int element = d.elements > 0 ? in.Byte() % d.elements : 0;
    if (types & xplmType_Data) {
        std::string bytes = in.Bytes(in.Byte() % 17);
        XPLMSetDatab(ref, bytes.data(), element, static_cast<int>(bytes.size()));
        return;
    }
    const unsigned int how = in.Byte();
    double value = 0;
    if (how % 3 == 0)
        value = in.DoubleBits();
    else if (how % 3 == 1)
        value = in.FloatBits();
    else
        value = corvane_fuzz::HardValue(how / 3);
    int bits = 0;
    if (how % 3 == 2)
        bits =
            std::isnan(value) ? 0 : static_cast<int>(std::fmax(std::fmin(value, INT_MAX), INT_MIN));
    else
        std::memcpy(&bits, &value, sizeof bits);
    if (types & xplmType_FloatArray) {
        float f = ToFloat(value);
        XPLMSetDatavf(ref, &f, element, 1);
    } else if (types & xplmType_IntArray) {
        XPLMSetDatavi(ref, &bits, element, 1);
    } else if (types & xplmType_Double) {
        XPLMSetDatad(ref, value);
    } else if (types & xplmType_Float) {
        XPLMSetDataf(ref, ToFloat(value));
    }
    if (types & xplmType_Int) XPLMSetDatai(ref, bits);
}

void TestOneInput(const uint8_t* data, size_t size) {
    World& w = TheWorld();
    corvane_fuzz::Reader in(data, size);
    Reconnect(w, in.Byte());
    while (!in.done()) {
        switch (in.Byte() % 12) {
            case 0: {
                const unsigned int sender = in.Byte();
                SendFrom(w, sender, in.Bytes(in.Byte()));
                break;
            }
            case 1: {
                const unsigned int sender = in.Byte();
                SendFrom(w, sender, in.Bytes(in.Word() % (kMaxDatagram + 1)));
                break;
            }
            case 2: {
                const unsigned int sender = in.Byte();
                const unsigned int length = in.Word() % (kMaxDatagram + 1);
                SendFrom(w, sender, corvane_fuzz::Repeated(in.Bytes(in.Byte()), length));
                break;
            }
            case 3: {
                const unsigned int sender = in.Byte();
                const unsigned int length = in.Word() % (kMaxDatagram + 1);
                const std::string line = in.Bytes(in.Byte() % 64) + "\n";
                SendFrom(w, sender,
                         corvane_fuzz::Repeated(
                             "|" + std::string(corvane_fuzz::kFuzzPanelConfig) + line, length));
                break;
            }
            case 4: {
                const unsigned int port = in.Byte();
                SendSerial(w, port, (port / kSerialBoards) % 2, in.Bytes(in.Byte()));
                break;
            }
            case 5: {
                const unsigned int port = in.Byte();
                const unsigned int length = in.Word();
                SendSerial(w, port, (port / kSerialBoards) % 2,
                           corvane_fuzz::Repeated(in.Bytes(in.Byte()), length));
                break;
            }
            case 6: {
                const int n = in.Byte() % (BoardCount() + 2);
                const unsigned int sender = in.Byte();
                SendFrom(w, sender, corvane_fuzz::EncodedInput(n, in.Bytes(in.Byte() % 64)));
                break;
            }
            case 7: {
                const unsigned int port = in.Byte();
                const int n = in.Byte() % (BoardCount() + 2);
                SendSerial(w, port, true, corvane_fuzz::EncodedInput(n, in.Bytes(in.Byte() % 64)));
                break;
            }
            case 8:
                Frames(w, 1 + in.Byte() % 4);
                break;
            case 9:
                corvane_fuzz::TimedCallWithFramePeriod(
                    kFramePeriods[in.Byte() % (sizeof kFramePeriods / sizeof kFramePeriods[0])]);
                w.run->PollBoards();
                PollSerial(w);
                break;
            case 10:
                SetDataref(in);
                break;
            case 11: {
                const unsigned int which = in.Byte();
                if (which % 4 < kSerialBoards)
                    w.serial[which % 4].board.reset();
                else
                    ResetPlugin();
                break;
            }
        }
    }
    Frames(w, 2);
    for (auto& peer : w.strangers) peer->Drain();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    corvane_fuzz::RunInput(TestOneInput, data, size);
    return 0;
}
