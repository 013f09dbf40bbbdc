// data.cfg text: the start-up's LoadConfig files it into sections, ReadConfigFile builds a board
// row from the section of every board ID it holds (and from the same text sent by a Helvan
// panel), and then flight-loop calls send every board its outputs while the datarefs change and
// every configured input is applied, as plain presses, value messages and repeat counts. Each
// flight-loop call and each board's identification is timed.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "config/board_tables.h"
#include "config/config_file.h"
#include "config/plugin_folder.h"
#include "exchange/held_inputs.h"
#include "exchange/output_gate.h"
#include "fuzz_support.h"
#include "plugin/lifecycle.h"
#include "simdata/sim_time.h"
#include "support/plugin_harness.h"
#include "transport/lan_socket.h"
#include "transport/serial_ports.h"
#include "xphost.h"

namespace {

// Board rows one input may create: nine Arduino IDs, one without a section, the panel, and one
// row read twice.
constexpr int kMaxBoards = 12;

struct World {
    std::unique_ptr<corvane_test::PluginRun> run;
    std::vector<std::unique_ptr<corvane_fuzz::LoopbackPeer>> peers;  // one per board row
};

World& TheWorld() {
    static World* world = [] {
        auto* w = new World;
        corvane_fuzz::UseDeviceFolder();
        corvane_test::PluginOptions options;
        options.settings = "SCANNING_TIMEOUT = 0\n";
        w->run = corvane_fuzz::StartQuietRun(options);
        for (int k = 0; k < kMaxBoards; ++k)
            w->peers.push_back(std::make_unique<corvane_fuzz::LoopbackPeer>(10 + k));
        return w;
    }();
    return *world;
}

void RemoveMemoryFiles(const std::string& folder) {
    std::error_code ignored;
    for (int b = 0; b < kMaxBoards; ++b)
        std::filesystem::remove(folder + "/memory" + std::to_string(b) + ".txt", ignored);
}

// A board identifies itself from peer k: the current link is that peer, and its row is built, as
// a flight-loop call does it (and timed as one).
void ReadBoard(World& w, const std::string& text, int board, unsigned int id) {
    MessageIsSerial = 0;
    serv_addr = w.peers[static_cast<size_t>(BoardCount()) % w.peers.size()]->address();
    corvane_fuzz::Timed("a board's identification", [&] {
        ReleaseBoardHeldInputs(board);
        ReadConfigFile(text, board, id);
    });
}

// The section text the identification of board ID id reads: its first section, or none.
std::string SectionOf(unsigned int id) {
    for (size_t k = 0; k < ArduinoID.size() && k < ArduinoConfigFile.size(); ++k)
        if (ArduinoID[k] == id) return ArduinoConfigFile[k];
    return std::string();
}

void SetOutputDatarefs(int round) {
    for (int b = 0; b < BoardCount(); ++b) {
        for (size_t j = 0; j < OutDrefs[b].size(); ++j) {
            if (OutDrefs[b][j].size() < 3) continue;
            const double value = (round * 37 + static_cast<int>(j) * 11) % 400 / 4.0 - 20.0;
            xphost::SetDataref(OutDrefs[b][j][2], std::to_string(value));
        }
    }
}

// Every input of every board once as sent alone, once with a value and once with a repeat count.
void SendInputs(World& w) {
    const int port = w.run->port();
    const corvane_fuzz::LoopbackPeer& peer = *w.peers[0];
    for (int b = 0; b < BoardCount(); ++b) {
        for (size_t i = 0; i < Datatags[b].size(); ++i) {
            const std::string& t = Datatags[b][i];
            peer.SendTo(port, corvane_fuzz::EncodedInput(b + 1, t));
            peer.SendTo(port, corvane_fuzz::EncodedInput(b + 1, t + " 750"));
            peer.SendTo(port, corvane_fuzz::EncodedInput(b + 1, t + " \x03"));
            if (!t.empty() && t.back() == '+')
                peer.SendTo(port,
                            corvane_fuzz::EncodedInput(b + 1, t.substr(0, t.size() - 1) + "-"));
        }
        corvane_fuzz::TimedFrames(*w.run);
    }
}

void TestOneInput(const uint8_t* data, size_t size) {
    World& w = TheWorld();
    const std::string text(reinterpret_cast<const char*>(data), size);
    corvane_test::WriteFile(w.run->folder() + "/data.cfg", text);
    RemoveMemoryFiles(w.run->folder());
    std::srand(1);
    ResetPlugin();  // its start-up runs LoadConfig

    std::set<unsigned int> ids;
    for (unsigned int id : ArduinoID)
        if (id != 0 && id != kNoBoardId) ids.insert(id);
    for (unsigned int id : ids) ReadBoard(w, SectionOf(id), BoardCount(), id);
    // A board ID without a section, then the panel, which sends the same text (up to a zero byte,
    // which no message carries), then the first board again over its existing row.
    for (unsigned int id = 1; id <= 9; ++id) {
        if (ids.count(id)) continue;
        ReadBoard(w, std::string(), BoardCount(), id);
        break;
    }
    std::string panel = text.substr(0, text.find('\0'));
    if (panel.empty() || panel[0] != '[') panel = "[O]\n" + panel;
    ReadBoard(w, panel, BoardCount(), 0);
    if (!ids.empty()) ReadBoard(w, SectionOf(*ids.begin()), 0, *ids.begin());

    for (int b = 0; b < BoardCount(); ++b) HandleOutputGate(b, allow_output[b]);
    for (int round = 0; round < 3; ++round) {
        SetOutputDatarefs(round);
        corvane_fuzz::TimedFrames(*w.run);
    }
    SendInputs(w);
    SetOutputDatarefs(3);
    corvane_fuzz::TimedFrames(*w.run, 2);
    for (auto& peer : w.peers) peer->Drain();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    corvane_fuzz::RunInput(TestOneInput, data, size);
    return 0;
}
