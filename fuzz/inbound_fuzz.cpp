// Inbound traffic: arbitrary datagrams from known and unknown loopback senders and arbitrary byte
// streams on a serial board's pseudo-terminal, cut at arbitrary points and interleaved with
// flight-loop calls and dataref changes, into a plug-in whose boards of every kind are connected.
//
// Each input starts from the same state: a full reset (the menu's "Reconnect"), after which every
// board identifies itself again and opens its outputs. The input is then read as operations:
//   0  datagram of up to 255 bytes from sender (next byte)
//   1  datagram of up to 4080 bytes from sender (next byte)
//   2  up to 255 raw bytes on the serial line
//   3  up to 255 bytes on the serial line, braced as one frame
//   4  input message (board number byte, type letter through the code letters) from a sender
//   5  the same on the serial line
//   6  one to four flight-loop calls
//   7  a dataref of the boards' outputs set to a value read from the input
// Senders: 0-2 the LAN boards, 3 the panel, 4-5 hosts the plug-in does not know, 6 the plug-in's
// own host number.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "config/board_tables.h"
#include "config/plugin_folder.h"
#include "fuzz_support.h"
#include "plugin/lifecycle.h"
#include "simdata/sim_time.h"
#include "support/plugin_harness.h"
#include "xphost.h"

namespace {

struct World {
    std::string devices;
    std::unique_ptr<corvane_test::PluginRun> run;
    std::vector<boardsim::Board*> lan;  // the LAN boards, then the panel
    boardsim::Board* serial = nullptr;
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

World& TheWorld() {
    static World* world = [] {
        auto* w = new World;
        w->devices = corvane_fuzz::UseDeviceFolder();
        corvane_test::PluginOptions options;
        options.dataCfg = corvane_fuzz::kFuzzDataCfg;
        options.usbOff = false;
        options.settings = "USB_DEVICE_COUNT = 1\nSCANNING_TIMEOUT = 300\n";
        w->run = corvane_fuzz::StartQuietRun(options);
        const int port = w->run->port();
        w->lan.push_back(&w->run->AddBoard(LanOptions(2, port, 1)));
        w->lan.push_back(&w->run->AddBoard(LanOptions(3, port, 2)));
        w->lan.push_back(&w->run->AddBoard(LanOptions(4, port, 1)));
        boardsim::Options panel = LanOptions(5, port, 0);
        panel.panelConfig = corvane_fuzz::kFuzzPanelConfig;
        w->lan.push_back(&w->run->AddBoard(panel));
        boardsim::Options serial;
        serial.serialLink = w->devices + "/ttyUSB0";
        serial.boardId = 3;
        serial.autoGate = true;
        serial.requestBlocks = true;
        w->serial = &w->run->AddBoard(serial);
        w->strangers.push_back(std::make_unique<corvane_fuzz::LoopbackPeer>(20));
        w->strangers.push_back(std::make_unique<corvane_fuzz::LoopbackPeer>(21));
        w->strangers.push_back(std::make_unique<corvane_fuzz::LoopbackPeer>(1));
        return w;
    }();
    return *world;
}

// Every board identifies itself again and opens its outputs.
void Reconnect(World& w) {
    std::srand(1);
    std::vector<int> uploads;
    for (boardsim::Board* board : w.lan) uploads.push_back(board->uploadCount());
    uploads.push_back(w.serial->uploadCount());
    ResetPlugin();
    w.run->CallUntil(
        [&] {
            for (size_t k = 0; k < w.lan.size(); ++k)
                if (w.lan[k]->uploadCount() == uploads[k]) return false;
            return w.serial->uploadCount() > uploads.back();
        },
        200);
    w.run->Call(3);
    for (boardsim::Board* board : w.lan) board->clearReceived();
    w.serial->clearReceived();
    for (auto& peer : w.strangers) peer->Drain();
}

void SendFrom(World& w, unsigned int sender, const std::string& bytes) {
    sender %= 7;
    if (sender < w.lan.size())
        w.lan[sender]->SendUnframed(bytes);
    else
        w.strangers[sender - w.lan.size()]->SendTo(w.run->port(), bytes);
}

const char* const kOutputDatarefs[] = {"fuzz/int",     "fuzz/float",    "fuzz/double",
                                       "fuzz/heading", "fuzz/floats",   "fuzz/ints",
                                       "fuzz/bytes",   "fuzz/int_float"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    World& w = TheWorld();
    Reconnect(w);
    corvane_fuzz::Reader in(data, size);
    while (!in.done()) {
        switch (in.Byte() % 8) {
            case 0: {
                const unsigned int sender = in.Byte();
                SendFrom(w, sender, in.Bytes(in.Byte()));
                break;
            }
            case 1: {
                const unsigned int sender = in.Byte();
                SendFrom(w, sender, in.Bytes(16u * in.Byte()));
                break;
            }
            case 2:
                w.serial->SendUnframed(in.Bytes(in.Byte()));
                break;
            case 3:
                w.serial->SendRaw(in.Bytes(in.Byte()));
                break;
            case 4: {
                const int n = in.Byte() % (BoardCount() + 2);
                const unsigned int sender = in.Byte();
                SendFrom(w, sender, corvane_fuzz::EncodedInput(n, in.Bytes(in.Byte() % 64)));
                break;
            }
            case 5: {
                const int n = in.Byte() % (BoardCount() + 2);
                w.serial->SendRaw(corvane_fuzz::EncodedInput(n, in.Bytes(in.Byte() % 64)));
                break;
            }
            case 6:
                w.run->Call(1 + in.Byte() % 4);
                break;
            case 7: {
                const char* name = kOutputDatarefs[in.Byte() % 8];
                uint32_t bits = 0;
                for (int k = 0; k < 4; ++k) bits |= static_cast<uint32_t>(in.Byte()) << (8 * k);
                xphost::SetDataref(name, std::to_string(static_cast<int32_t>(bits) / 64.0));
                break;
            }
        }
    }
    w.run->Call(2);
    for (auto& peer : w.strangers) peer->Drain();
    return 0;
}
