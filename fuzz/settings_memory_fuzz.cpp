// config.ini text and memory file text. The input is the settings file, a zero byte, then the
// memory file of board 0. The settings are read by a full reset and rewritten twice by the
// status window's USB check box (cleared, then set); the memory file is then used by a board
// whose inputs store dataref values into it and recall them, through the flight loop, each call of
// which is timed.
//
// Whatever the settings say, the harness appends its own IP_ADDRESS (127.0.0.1), STUDIO_PORT (0,
// no server) and PORT lines, which as the later ones win, and the serial scan looks only in an
// empty folder of its own: no fuzzed setting can make the plug-in probe a network, open a device
// or serve a page.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "XPStandardWidgets.h"
#include "config/board_tables.h"
#include "config/config_file.h"
#include "config/plugin_folder.h"
#include "fuzz_support.h"
#include "plugin/lifecycle.h"
#include "plugin/status_window.h"
#include "simdata/sim_time.h"
#include "support/plugin_harness.h"
#include "transport/lan_socket.h"
#include "transport/serial_ports.h"
#include "xphost.h"

namespace {

// Stores and recalls of a float, an int array element and a double, with depths of 3, 2 and a
// fractional 1.5, and recall cursors starting at 1, 3 and 2.
const char* const kMemorySection =
    "[I]\n"
    "M12 fuzz/float 3\n"
    "P12 fuzz/float\n"
    "M7 fuzz/ints 2 3\n"
    "P7 fuzz/ints 3 3\n"
    "M1 fuzz/double 1.5\n"
    "P1 fuzz/double 2\n"
    "M123 fuzz/heading 0\n"
    "P123 fuzz/heading -1\n";

struct World {
    std::unique_ptr<corvane_test::PluginRun> run;
    std::unique_ptr<corvane_fuzz::LoopbackPeer> peer;
};

World& TheWorld() {
    static World* world = [] {
        auto* w = new World;
        corvane_fuzz::UseDeviceFolder();
        w->run = corvane_fuzz::StartQuietRun({});
        w->peer = std::make_unique<corvane_fuzz::LoopbackPeer>(30);
        return w;
    }();
    return *world;
}

void Press(World& w, const std::string& text) {
    w.peer->SendTo(w.run->port(), corvane_fuzz::EncodedInput(1, text));
}

void TestOneInput(const uint8_t* data, size_t size) {
    World& w = TheWorld();
    const std::vector<std::string> parts = corvane_fuzz::SplitOnce(
        std::string(reinterpret_cast<const char*>(data), size), std::string(1, '\0'));
    const std::string& folder = w.run->folder();
    corvane_test::WriteFile(folder + "/config.ini",
                            parts[0] + "\nIP_ADDRESS = 127.0.0.1\nSTUDIO_PORT = 0\nPORT = " +
                                std::to_string(w.run->port()) + "\n");
    std::srand(1);
    ResetPlugin();
    ToggleUSBHandler(xpMsg_ButtonStateChanged, ToggleUSB, 0, 0);
    ToggleUSBHandler(xpMsg_ButtonStateChanged, ToggleUSB, 0, 1);

    corvane_test::WriteFile(folder + "/memory0.txt", parts[1]);
    MessageIsSerial = 0;
    serv_addr = w.peer->address();
    corvane_fuzz::Timed("a board's identification",
                        [] { ReadConfigFile(kMemorySection, BoardCount(), 1); });
    const char* const recalls[] = {"P12", "P7", "P1", "P123"};
    const char* const stores[] = {"M12", "M7", "M1", "M123"};
    for (int round = 0; round < 4; ++round) {
        for (const char* recall : recalls) Press(w, recall);
        corvane_fuzz::TimedFrames(*w.run);
    }
    for (int round = 0; round < 3; ++round) {
        xphost::SetDataref("fuzz/float", std::to_string(118.25 + round));
        xphost::SetDataref("fuzz/ints[2]", std::to_string(7 * round));
        xphost::SetDataref("fuzz/double", std::to_string(1234567.0 * round));
        xphost::SetDataref("fuzz/heading", std::to_string(-0.5 * round));
        for (const char* store : stores) Press(w, store);
        corvane_fuzz::TimedFrames(*w.run);
        for (const char* recall : recalls) Press(w, recall);
        corvane_fuzz::TimedFrames(*w.run);
    }
    w.peer->Drain();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    corvane_fuzz::RunInput(TestOneInput, data, size);
    return 0;
}
