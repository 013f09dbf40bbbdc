// The checker's engine run inside the plug-in while it serves boards, as the Studio runs it: the
// check reads its text into board rows of its own, and the live tables, filed sections, status
// window, missing names, own datarefs in use and Log.txt stay exactly as they were; the boards go
// on being served and a board found afterwards gets the next row and status line.
#include <gmock/gmock.h>

#include <tuple>

#include "check/board_view.h"
#include "check/verdict.h"
#include "config/board_tables.h"
#include "config/config_file.h"
#include "config/missing_names.h"
#include "config/status_text.h"
#include "simdata/custom_refs.h"
#include "support/plugin_harness.h"
#include "xphost.h"

using ::testing::HasSubstr;

namespace {

// Everything of the live state that a check could change, as values.
struct LiveState {
    std::vector<corvane_check::BoardView> rows;
    std::vector<std::string> status, links, sections, missing, continuous;
    std::vector<unsigned int> ids, customInUse;
    std::vector<std::vector<int>> sectionLines;
    std::vector<int> statusLines, serialIndexes;
    std::vector<char> gates;
    std::string debugAddress, window, log;
    int messageLine = 0;

    static LiveState Now() {
        LiveState s;
        for (int b = 0; b < BoardCount(); ++b) s.rows.push_back(corvane_check::ViewOfBoard(b));
        s.status = InstructionsText;
        s.links = BoardLinkName;
        s.sections = ArduinoConfigFile;
        for (const MissingName& m : MissingNames)
            s.missing.push_back(m.name + " " + MissingNamePlace(m));
        s.continuous = ContinuousTag;
        s.ids = ArduinoID;
        s.customInUse = CustomIndices;
        s.sectionLines = ArduinoConfigLines;
        s.statusLines = BoardStatusLine;
        s.serialIndexes = SerialIndex;
        s.gates = allow_output;
        s.debugAddress = DebugAddress;
        s.window = xphost::WindowText();
        s.log = xphost::DebugLog();
        s.messageLine = message_line_number;
        return s;
    }
    auto Tied() const {
        return std::tie(rows, status, links, sections, missing, continuous, ids, customInUse,
                        sectionLines, statusLines, serialIndexes, gates, debugAddress, window, log,
                        messageLine);
    }
};

// A file that touches every kind of the readers' state: several board rows (one with the board
// ID being served), settings that log, a name the simulator does not know yet, an own dataref,
// control bytes, a repeated board ID and a board ID 0 section.
const char* const kCheckedText =
    "*1\n[A]\nL 21\nN 22\nG 20\n[I]\nD7+ sim/cockpit2/switches/taxi_light_on 1\n"
    "D8+ addon/lights/not_loaded_yet 1\n[O]\n30L 0 corvane/flaps_in_transition\n"
    "31L 0 addon/lights/not_loaded_either\n"
    "*2\n[I]\nD5+\x01 sim/cockpit2/switches/beacon_on 1\n"
    "*1\n[O]\n13L 0 sim/cockpit2/switches/landing_lights_on\n"
    "*0\n[O]\n1 0 sim/cockpit2/switches/beacon_on\n";

TEST(CheckInsidePlugin, LeavesTheLiveStateAsItWasAndTheBoardsServed) {
    corvane_test::PluginRun run(
        {"*1\n[I]\nD5+ sim/cockpit2/switches/beacon_on 1\nD5- sim/cockpit2/switches/beacon_on 0\n"
         "[O]\n13L 0 sim/cockpit2/switches/landing_lights_on\n12L 0 addon/lights/gone\n"});
    boardsim::Options served = run.LanBoardOptions(26, 1);
    served.autoGate = true;
    boardsim::Board& board = run.AddBoard(served);
    ASSERT_TRUE(run.ConnectAll(400));
    ASSERT_TRUE(run.CallUntil([&] { return board.gateLetter() != 0; }, 100));
    ASSERT_EQ(MissingNames.size(), 1u);
    ASSERT_TRUE(xphost::ChooseMenu("Corvane/Status"));
    ASSERT_THAT(xphost::WindowText(), HasSubstr("1. LAN Arduino #1"));
    const LiveState before = LiveState::Now();

    for (const char* name : {"data.cfg", "profiles/B738.cfg", "panel", "data.cfg"}) {
        const corvane_check::Verdict verdict = corvane_check::CheckConfigText(name, kCheckedText);
        EXPECT_FALSE(verdict.boards.empty()) << name;
        EXPECT_FALSE(verdict.Issues().empty()) << name;
        EXPECT_TRUE(LiveState::Now().Tied() == before.Tied()) << name;
    }
    // The check read its own rows: the names it found are the simulator's, the missing ones told.
    const corvane_check::Verdict verdict = corvane_check::CheckConfigText("data.cfg", kCheckedText);
    ASSERT_EQ(verdict.boards.size(), 4u);
    EXPECT_EQ(verdict.boards[0].view.outputs.at(0).found, "int");
    EXPECT_EQ(verdict.boards[0].view.outputs.at(1).found, "unknown");
    EXPECT_EQ(verdict.boards[0].upload.back(), 1);
    EXPECT_EQ(verdict.boards[1].upload.back(), 2);

    // The board is served as before: its press sets the dataref, the lamp follows.
    xphost::SetDataref("sim/cockpit2/switches/landing_lights_on", "1");
    board.Press("D5");
    ASSERT_TRUE(run.CallUntil(
        [&] {
            return xphost::GetNumber("sim/cockpit2/switches/beacon_on") == 1 && board.leds()[13];
        },
        200));
    // A board found after the check gets the next row, and the status line after the first.
    boardsim::Board& second = run.AddLanBoard(27, 2);
    ASSERT_TRUE(run.ConnectAll(400));
    ASSERT_EQ(BoardCount(), 2);
    EXPECT_EQ(second.boardNumber(), 2);
    EXPECT_EQ(BoardStatusLine[1], BoardStatusLine[0] + 1);
    EXPECT_THAT(xphost::WindowText(), HasSubstr("2. LAN Arduino #2"));
    EXPECT_EQ(corvane_check::ViewOfBoard(0), before.rows.at(0));
}

}  // namespace
