// data.cfg read into the board tables when real boards identify over the LAN.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "config/board_tables.h"
#include "config/status_text.h"
#include "support/plugin_harness.h"
#include "xphost.h"

using ::testing::StartsWith;

namespace {

// A section with a repeated [I] and [O] header, a clamped 7-segment display, a stepper and an
// analog channel, and a second board.
const char* const kTwoBoards =
    "Free text before any section\n"
    "*4\n"
    "[A]\n"
    "T D5+\n"
    "[I]\n"
    "D5+ sim/cockpit2/controls/gear_handle_down 1\n"
    "B7 sim/lights/landing_lights_toggle\n"
    "[O]\n"
    "2N 1 sim/cockpit2/controls/gear_handle_down 1 12 9\n"
    "@info\n"
    "Only words here, not stored.\n"
    "[I]\n"
    "D5+ sim/cockpit2/controls/gear_handle_down 0\n"
    "A3 sim/cockpit2/controls/gear_handle_down 0,1 1 250 3 7\n"
    "[O]\n"
    "4G 0 sim/cockpit2/controls/gear_handle_down 1 0,360 0,1 400\n"
    "*5\n"
    "[I]\n"
    "B2 sim/lights/landing_lights_toggle\n";

TEST(ConfigBoards, SectionsAreReadIntoTheRowsOfTheBoardsThatIdentify) {
    corvane_test::PluginOptions options;
    options.dataCfg = kTwoBoards;
    corvane_test::PluginRun run(options);
    boardsim::Board& four = run.AddLanBoard(25, 4);
    boardsim::Board& five = run.AddLanBoard(26, 5);
    ASSERT_TRUE(run.ConnectAll(400));
    ASSERT_EQ(BoardCount(), 2);
    const int b = four.boardNumber() - 1;
    ASSERT_TRUE(BoardExists(b));

    // The repeated headers add to the earlier entries, and each entry is completed as itself.
    ASSERT_EQ(Datatags[b], (std::vector<std::string>{"D5/1+", "B7", "D5/2+", "A3"}));
    EXPECT_EQ(Mode[b][0], 21);
    EXPECT_FLOAT_EQ(InputDefault[b][2], 0.0f);
    ASSERT_EQ(OutDrefs[b].size(), 2u);
    EXPECT_EQ(OutDrefs[b][0][4], "8");  // at most 8 digits
    EXPECT_EQ(OutDrefs[b][0][5], "8");  // the point within them
    EXPECT_EQ(Precision[b], (std::vector<int>{1, -1}));
    EXPECT_EQ(std::string(1, OutDrefs[b][1][0][1]), "G");

    // The board gets its blocks on request.
    four.clearReceived();
    four.RequestBlocks();
    run.Call(2);
    EXPECT_EQ(SevenSegAdditional[b], std::string(1, '\x02'));
    EXPECT_EQ(four.stepperConfig(), (std::vector<uint8_t>{4, 144, 1}));
    const std::vector<uint8_t> analog = four.analogConfig();
    ASSERT_EQ(analog.size(), 48u);
    EXPECT_EQ(analog[9], 102);
    EXPECT_EQ(analog[10], 3);
    EXPECT_EQ(analog[11], 7);

    // Each board line names its own board.
    const int lineFour = BoardStatusLine[b];
    const int lineFive = BoardStatusLine[five.boardNumber() - 1];
    EXPECT_NE(lineFour, lineFive);
    EXPECT_THAT(StatusLine(lineFour),
                ::testing::HasSubstr("LAN Arduino #4,   4 inputs,   2 outputs"));
    EXPECT_THAT(StatusLine(lineFive), ::testing::HasSubstr("LAN Arduino #5,   1 inputs"));
    EXPECT_EQ(BoardLinkName[b], "127.0.0.25");

    // Board 4 restarts and identifies again: its row is rebuilt and it rewrites its own line.
    const std::string fiveLine = StatusLine(lineFive);
    four.SendIdentification();
    run.Call(3);
    EXPECT_EQ(BoardCount(), 2);
    EXPECT_EQ(Datatags[b].size(), 4u);
    EXPECT_THAT(StatusLine(lineFour),
                ::testing::HasSubstr("LAN Arduino #4,   4 inputs,   2 outputs"));
    EXPECT_EQ(StatusLine(lineFive), fiveLine);
    EXPECT_THAT(StatusLine(lineFour), StartsWith("   " + std::to_string(lineFour - 2) + ". LAN"));
}

}  // namespace
