// The plug-in as the simulator and the person at the screen drive it: the entry points (enable,
// disable, a reload of the plug-in through the host), the messages the simulator sends (an
// airport or scenery loaded at various flight times, and others), the menu items, the status
// window's USB check box, Reconnect button and close box, the plug-in's own datarefs (read,
// written, their sources set to hard values) and its own commands (once, begun, ended), a LAN
// board's presses and releases, and flight-loop calls with ordinary and hostile frame periods, in
// orders chosen by the input. Every flight-loop call, message, menu pick and command is timed: one
// longer than the limit is a finding (a reset through Reconnect or the check box reads data.cfg
// and is not timed).
//
// Each input starts from a fresh load of the plug-in (a reload through the host) with its LAN
// board connected. The input is then read as operations (the first byte of each, modulo 10):
//   0  XPluginDisable
//   1  XPluginEnable
//   2  a reload: through the menu (at the end of the frame) or by the host now
//   3  a message (next byte) at a flight time (next byte)
//   4  a menu item: "Status", "Reconnect" or "Reload Plugins"
//   5  the window: the Reconnect button, the USB check box cleared or set, the close box
//   6  the own datarefs: read, written, or a source dataref set to a hard value
//   7  an own command: run once, begun or ended
//   8  one to four frames, or one flight-loop call with a hostile frame period
//   9  the board presses or releases one of its inputs, or asks for its output gate
// While the plug-in is disabled the simulator calls none of its flight loops, menus or widgets:
// operations 4, 5 and 8 do nothing then (its datarefs and commands stay registered until it
// stops, and a board may send all the same).
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "XPLMDataAccess.h"
#include "XPLMPlugin.h"
#include "fuzz_support.h"
#include "plugin/lifecycle.h"
#include "support/plugin_harness.h"
#include "xphost.h"

namespace {

// Board ID 1 uses the plug-in's own datarefs for LEDs and its own starter commands as held
// inputs.
const char* const kDataCfg =
    "*1\n"
    "[I]\n"
    "D4+ corvane/starter_ignition_1\n"
    "D5+ corvane/starter_ignition_4\n"
    "D6+ fuzz/engage_starter_1\n"
    "B3 fuzz/command\n"
    "A1 fuzz/float 0,0,100\n"
    "[O]\n"
    "13L 0 corvane/flaps_in_transition\n"
    "12L 0 corvane/altitude_hold_status\n"
    "11L 0 fuzz/int\n";

const char* const kBoardInputs[] = {"D4", "D5", "D6", "B3"};

const char* const kOwnDatarefs[] = {"corvane/flaps_in_transition", "corvane/altitude_hold_status"};
const char* const kSourceDatarefs[] = {"sim/cockpit2/controls/flap_ratio",
                                       "sim/flightmodel2/controls/flap_handle_deploy_ratio",
                                       "sim/cockpit2/autopilot/altitude_hold_status"};
const char* const kCommandPhases[] = {"once", "begin", "end"};

const int kMessages[] = {XPLM_MSG_AIRPORT_LOADED,
                         XPLM_MSG_SCENERY_LOADED,
                         XPLM_MSG_PLANE_CRASHED,
                         XPLM_MSG_PLANE_LOADED,
                         XPLM_MSG_AIRPLANE_COUNT_CHANGED,
                         XPLM_MSG_PLANE_UNLOADED,
                         XPLM_MSG_WILL_WRITE_PREFS,
                         XPLM_MSG_LIVERY_LOADED,
                         0,
                         -1};
const float kFlightTimes[] = {0.0f, 1.0f,  4.99f,    5.0f,      5.01f, 600.0f,
                              NAN,  -1.0f, INFINITY, -INFINITY, 1e-45f};
const float kFramePeriods[] = {0.0f, NAN, INFINITY, -0.025f, 1e-45f, 3.4e38f, 0.025f};

template <typename T, size_t N>
const T& Pick(const T (&table)[N], unsigned int k) {
    return table[k % N];
}

struct World {
    std::unique_ptr<corvane_test::PluginRun> run;
    boardsim::Board* board = nullptr;
    std::string settings;  // config.ini as the run wrote it
};

World& TheWorld() {
    static World* world = [] {
        auto* w = new World;
        corvane_fuzz::UseDeviceFolder();
        corvane_test::PluginOptions options;
        options.dataCfg = kDataCfg;
        w->run = corvane_fuzz::StartQuietRun(options);
        boardsim::Options board = w->run->LanBoardOptions(2, 1);
        board.autoGate = true;
        w->board = &w->run->AddBoard(board);
        w->settings = corvane_test::ReadFile(w->run->folder() + "/config.ini");
        xphost::SetReloadHook(corvane_test::RestoreLoadState);
        return w;
    }();
    return *world;
}

bool Enabled() {
    return xphost::PluginEnabled();
}

void Frames(World& w, int count) {
    if (Enabled()) corvane_fuzz::TimedFrames(*w.run, count);
}

// A fresh load of the plug-in with the settings of the run, past its start-up and the first
// calls of its main callback, with the board connected.
void FreshLoad(World& w) {
    corvane_test::WriteFile(w.run->folder() + "/config.ini", w.settings);
    XPLMSetDataf(XPLMFindDataRef("sim/time/total_flight_time"), 0.0f);
    for (const char* name : kSourceDatarefs) xphost::SetDataref(name, "0");
    std::srand(1);
    const int uploads = w.board->uploadCount();
    xphost::ReloadPlugin();
    for (int n = 0; n < 120 && w.board->uploadCount() == uploads; ++n) Frames(w, 1);
    Frames(w, 2);
    w.board->clearReceived();
}

// Ends what the input left begun in the host, so that the next input starts clean.
void EndBegunCommands() {
    static const char* const kHeld[] = {
        "corvane/starter_ignition_1",    "corvane/starter_ignition_2",
        "corvane/starter_ignition_3",    "corvane/starter_ignition_4",
        "sim/starters/engage_starter_1", "sim/starters/engage_starter_2",
        "sim/starters/engage_starter_3", "sim/starters/engage_starter_4",
        "fuzz/engage_starter_1"};
    for (const char* name : kHeld)
        if (xphost::IsCommandActive(name)) xphost::RunCommand(name, "end");
}

void Message(corvane_fuzz::Reader& in) {
    const int message = Pick(kMessages, in.Byte());
    XPLMSetDataf(XPLMFindDataRef("sim/time/total_flight_time"), Pick(kFlightTimes, in.Byte()));
    corvane_fuzz::Timed("a message from the simulator",
                        [&] { xphost::SendPluginMessage(message); });
}

void Menu(World& w, unsigned int k) {
    if (!Enabled()) return;
    if (k % 3 == 1) {
        xphost::ChooseMenu("Corvane/Reconnect");  // reads data.cfg: outside the budget
        return;
    }
    corvane_fuzz::Timed("a menu item", [&] {
        xphost::ChooseMenu(k % 3 == 0 ? "Corvane/Status" : "Corvane/Reload Plugins");
    });
    w.run->PollBoards();
}

void Window(unsigned int k) {
    if (!Enabled()) return;
    switch (k % 4) {
        case 0:
            xphost::ClickButton("Reconnect");
            break;
        case 1:
        case 2:
            xphost::SetCheckBox("Enable USB", static_cast<int>(k % 4 - 1));
            break;
        case 3:
            corvane_fuzz::Timed("the close box", [] { xphost::PressCloseBox(); });
            break;
    }
}

void OwnDatarefs(corvane_fuzz::Reader& in) {
    const unsigned int k = in.Byte();
    const unsigned int value = in.Byte();
    corvane_fuzz::Timed("the plug-in's datarefs", [&] {
        switch (k % 3) {
            case 0:
                for (const char* name : kOwnDatarefs) XPLMGetDatai(XPLMFindDataRef(name));
                break;
            case 1:
                XPLMSetDatai(XPLMFindDataRef(Pick(kOwnDatarefs, k / 3)),
                             static_cast<int>(value) - 128);
                break;
            case 2: {
                // The simulator writes its read-only datarefs too: the host's text access does
                // that, for every value but NaN and the infinities, which go in directly.
                const char* name = Pick(kSourceDatarefs, k / 3);
                const XPLMDataRef source = XPLMFindDataRef(name);
                const double hard = corvane_fuzz::HardValue(value);
                if (XPLMGetDataRefTypes(source) & xplmType_Int)
                    xphost::SetDataref(name, std::to_string(value % 4));
                else if (std::isfinite(hard))
                    xphost::SetDataref(name, corvane_fuzz::NumberText(hard));
                else
                    XPLMSetDataf(source, static_cast<float>(hard));
                break;
            }
        }
    });
}

void OwnCommand(unsigned int k) {
    const std::string name = "corvane/starter_ignition_" + std::to_string(1 + k % 4);
    corvane_fuzz::Timed("a command of the plug-in",
                        [&] { xphost::RunCommand(name, Pick(kCommandPhases, k / 4)); });
}

void Calls(World& w, unsigned int k) {
    if (!Enabled()) return;
    if (k % 2 == 0 || FirstLaunch == 1) {
        Frames(w, 1 + static_cast<int>(k / 2 % 4));
        return;
    }
    corvane_fuzz::TimedCallWithFramePeriod(Pick(kFramePeriods, k / 2));
    w.run->PollBoards();
}

void BoardInput(World& w, unsigned int k) {
    const std::string tag = Pick(kBoardInputs, k / 4);
    switch (k % 4) {
        case 0:
            w.board->Press(tag);
            break;
        case 1:
            w.board->Release(tag);
            break;
        case 2:
            w.board->MoveAxis("A1", static_cast<int>(k * 13 % 1100));
            break;
        case 3:
            w.board->RequestGate();
            break;
    }
}

void TestOneInput(const uint8_t* data, size_t size) {
    World& w = TheWorld();
    FreshLoad(w);
    corvane_fuzz::Reader in(data, size);
    while (!in.done()) {
        switch (in.Byte() % 10) {
            case 0:
                xphost::DisablePlugin();
                break;
            case 1:
                xphost::EnablePlugin();  // after the first start-up: a full reset, untimed
                break;
            case 2:
                if (in.Byte() % 2 == 0 && Enabled())
                    xphost::ChooseMenu("Corvane/Reload Plugins");
                else
                    xphost::ReloadPlugin();
                break;
            case 3:
                Message(in);
                break;
            case 4:
                Menu(w, in.Byte());
                break;
            case 5:
                Window(in.Byte());
                break;
            case 6:
                OwnDatarefs(in);
                break;
            case 7:
                OwnCommand(in.Byte());
                break;
            case 8:
                Calls(w, in.Byte());
                break;
            case 9:
                BoardInput(w, in.Byte());
                break;
        }
    }
    Frames(w, 2);
    EndBegunCommands();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    corvane_fuzz::RunInput(TestOneInput, data, size);
    return 0;
}
