// Boards on the LAN: the probe, identification, the configuration upload and the replies, over
// real UDP on loopback.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "config/board_tables.h"
#include "config/settings.h"
#include "config/status_text.h"
#include "exchange/wire_protocol.h"
#include "support/plugin_harness.h"
#include "transport/lan_socket.h"
#include "xphost.h"

using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

const char* const kBoardThree =
    "*3\n"
    "[A]\n"
    "B 30 33 40 41 44\n"
    "G 20\n"
    "L 21\n"
    "N 22\n"
    "[I]\n"
    "D5 sim/lights/landing_lights_toggle\n"
    "D12+ sim/flight_controls/landing_gear_down\n"
    "[O]\n"
    "7L 0 sim/cockpit2/controls/gear_handle_down\n"
    "6L 0 sim/cockpit/electrical/beacon_lights_on\n";

std::string Pins(const std::string& upload) {
    return upload.substr(1, 54);
}

TEST(LanBoards, ProbedBoardIdentifiesAndReceivesItsUpload) {
    corvane_test::PluginOptions options;
    options.dataCfg = kBoardThree;
    corvane_test::PluginRun run(options);
    boardsim::Board& board = run.AddLanBoard(25, 3, 124);
    ASSERT_TRUE(run.ConnectAll(400));
    EXPECT_GE(board.probeCount(), 1);
    EXPECT_EQ(board.boardNumber(), 1);
    ASSERT_EQ(BoardCount(), 1);
    EXPECT_EQ(OutDevice[0], 3u);
    EXPECT_EQ(SerialIndex[0], -1);

    std::string upload;
    for (const std::string& message : board.received())
        if (message.size() == 61 && message[0] == '~') upload = message;
    ASSERT_EQ(upload.size(), 61u);
    EXPECT_EQ(upload.substr(55, 5), CodeCurrent.substr(0, 5));
    EXPECT_EQ(upload[60], 1);
    const std::string pins = Pins(upload);
    EXPECT_EQ(pins[30], 5);
    EXPECT_EQ(pins[33], 5);
    EXPECT_EQ(pins[40], 6);
    EXPECT_EQ(pins[41], 6);
    EXPECT_EQ(pins[44], 4);
    EXPECT_EQ(pins[20], 11);
    EXPECT_EQ(pins[21], 7);
    EXPECT_EQ(pins[22], 13);
    EXPECT_EQ(pins[5], 1);
    EXPECT_EQ(pins[12], 1);
    EXPECT_EQ(pins[6], 7);
    EXPECT_EQ(pins[7], 7);
    EXPECT_EQ(pins[0], 0);
}

TEST(LanBoards, LaterPinWritesWin) {
    corvane_test::PluginOptions options;
    // Pin 5 is first an input, then an LED output: the output, written later, stands.
    options.dataCfg = "*3\n[I]\nD5 sim/lights/landing_lights_toggle\n[O]\n5L 0 sim/x\n";
    corvane_test::PluginRun run(options);
    boardsim::Board& board = run.AddLanBoard(25, 3);
    ASSERT_TRUE(run.ConnectAll(400));
    ASSERT_EQ(board.pinModes().size(), 54u);
    EXPECT_EQ(board.pinModes()[5], 7);
}

TEST(LanBoards, SecondBoardGetsTheNextIndexAndTheProbeSkipsKnownAddresses) {
    corvane_test::PluginRun run({});
    boardsim::Board& first = run.AddLanBoard(25, 3);
    boardsim::Board& second = run.AddLanBoard(26, 4);
    ASSERT_TRUE(run.ConnectAll(400));
    EXPECT_EQ(first.boardNumber(), 1);
    EXPECT_EQ(second.boardNumber(), 2);
    ASSERT_EQ(UsedAddr.size(), 3u);
    EXPECT_EQ(UsedAddr[0], 1);
    const int probesBefore = first.probeCount();
    run.Call(300);  // more than one round of the 256 host numbers
    EXPECT_EQ(first.probeCount(), probesBefore);
}

TEST(LanBoards, TheSimulatorsOwnHostNumberNeverBecomesABoard) {
    corvane_test::PluginRun run({});
    boardsim::Board& impostor = run.AddLanBoard(1, 3);  // shares the simulator's own address
    impostor.SendIdentification();
    run.Call(5);
    EXPECT_EQ(BoardCount(), 0);
    EXPECT_EQ(impostor.boardNumber(), 0);
}

TEST(LanBoards, OldLibraryVersionIsRefusedWithAStatusLine) {
    corvane_test::PluginOptions options;
    options.dataCfg = kBoardThree;
    corvane_test::PluginRun run(options);
    boardsim::Board& old = run.AddLanBoard(25, 3, 120);
    old.SendIdentification();
    run.Call(3);
    EXPECT_EQ(StatusLine(3), "   1. Wrong library version - 1.20 (req. min. 1.24)");
    EXPECT_EQ(old.uploadCount(), 0);
    const size_t before = old.received().size();
    // Its later messages do no harm and get nothing back.
    old.SendIdentification();
    old.SendControl('a');
    old.SendControl('d');
    old.SendControl('w');
    old.SendRaw(std::string("\x01") + "D5 1");
    run.Call(3);
    size_t replies = 0;
    for (size_t k = before; k < old.received().size(); ++k)
        if (old.received()[k] != "XP") ++replies;
    EXPECT_EQ(replies, 0u);

    // A board that identifies later gets its own index and its own line.
    boardsim::Board& good = run.AddLanBoard(26, 3, 124);
    good.SendIdentification();
    run.Call(3);
    EXPECT_EQ(good.boardNumber(), 2);
    EXPECT_THAT(StatusLine(4), StartsWith("   2. LAN"));
}

TEST(LanBoards, VersionBelow119IsLeftOutOfTheLine) {
    corvane_test::PluginRun run({});
    boardsim::Board& old = run.AddLanBoard(25, 3, 100);
    old.SendIdentification();
    run.Call(2);
    EXPECT_EQ(StatusLine(3), "   1. Wrong library version - (req. min. 1.24)");
}

TEST(LanBoards, PanelLongFormIsReadAsBoardZeroAndAnsweredWithSevenBytes) {
    for (const std::string& config :
         {std::string("[O]\nA1 0 sim/cockpit2/controls/gear_handle_down\n"),
          std::string("A1 0 sim/cockpit2/controls/gear_handle_down\n")}) {
        corvane_test::PluginRun run({});
        boardsim::Board& panel = run.AddPanel(30, config);
        panel.SendIdentification();
        run.Call(3);
        ASSERT_EQ(BoardCount(), 1) << config;
        EXPECT_EQ(OutDevice[0], 0u);
        EXPECT_TRUE(AllowOutput[0]);
        EXPECT_EQ(panel.boardNumber(), 1);
        std::string reply;
        for (const std::string& message : panel.received())
            if (message.size() == 7 && message[0] == '~') reply = message;
        EXPECT_EQ(reply, "~" + CodeCurrent.substr(0, 5) + "\x01");
        EXPECT_THAT(StatusLine(3), HasSubstr("Helvan Panel"));
    }
}

TEST(LanBoards, ConfigurationBlockRequestsAreAnsweredWithTheirLengths) {
    corvane_test::PluginOptions options;
    options.dataCfg = kBoardThree;
    corvane_test::PluginRun run(options);
    boardsim::Board& board = run.AddLanBoard(25, 3);
    board.SendIdentification();
    run.Call(2);
    board.clearReceived();
    board.RequestBlocks();
    run.Call(2);
    std::vector<size_t> lengths;
    for (const std::string& message : board.received())
        if (message[0] == 'A' || message[0] == 'N' || message[0] == 'S')
            lengths.push_back(message.size());
    ASSERT_EQ(lengths.size(), 3u);
    EXPECT_EQ(lengths[0], 49u);
    EXPECT_EQ(lengths[1], SevenSegAdditional[0].size() + 2);
    EXPECT_EQ(lengths[2], StepperAdditional[0].size() + 2);
}

TEST(LanBoards, ShortSevenSegmentBlockStillCarriesItsPin) {
    corvane_test::PluginOptions options;
    options.dataCfg = "*3\n[O]\n9N 0 sim/cockpit2/radios/actuators/com1_frequency_hz 1 4 2\n";
    corvane_test::PluginRun run(options);
    boardsim::Board& board = run.AddLanBoard(25, 3);
    board.SendIdentification();
    run.Call(2);
    ASSERT_EQ(SevenSegAdditional[0].size(), 1u);
    board.SendControl('n');
    run.Call(1);
    ASSERT_EQ(board.sevenSegConfig().size(), 1u);
    EXPECT_EQ(board.sevenSegConfig()[0], 9);
}

TEST(LanBoards, ControlRequestFromAnUnknownSenderIsDropped) {
    corvane_test::PluginRun run({});
    boardsim::Board& stranger = run.AddLanBoard(40, 3);
    stranger.SendControl('a');
    stranger.SendControl('d');
    run.Call(2);
    for (const std::string& message : stranger.received()) EXPECT_EQ(message, "XP");
}

TEST(StatusLines, BoardLineSearchLineSpinnerAndTheEndOfTheScan) {
    corvane_test::PluginOptions options;
    options.dataCfg = kBoardThree;
    options.settings = "SCANNING_TIMEOUT = 20\n";
    corvane_test::PluginRun run(options);
    EXPECT_EQ(StatusLine(2), "   Connection status - Awaiting connection");
    // Without a board the search goes on and the countdown waits.
    run.Call(50);
    EXPECT_EQ(ScanTimeout, 20);
    EXPECT_EQ(StatusLine(3).size(), 3u);

    boardsim::Board& board = run.AddLanBoard(25, 3);
    board.SendIdentification();
    run.Call(1);
    EXPECT_EQ(StatusLine(2), "   Connection status - Connected to:");
    EXPECT_EQ(StatusLine(3), "   1. LAN Arduino #3,   2 inputs,   2 outputs");
    ASSERT_GE(StatusLine(4).size(), 2u);
    EXPECT_EQ(StatusLine(4).substr(3), "scanning...");
    const char before = StatusLine(4)[1];
    run.Call(1);
    EXPECT_NE(StatusLine(4)[1], before);
    EXPECT_EQ(std::string("|/-\\").find(StatusLine(4)[1]) != std::string::npos, true);

    ::testing::internal::CaptureStderr();
    run.Call(25);
    const std::string log = ::testing::internal::GetCapturedStderr();
    EXPECT_THAT(log, HasSubstr("\nFinishing scanning for devices..."));
    EXPECT_THAT(log, HasSubstr("\nScanning stopped. "));
    EXPECT_EQ(StatusLine(4), "   ");
    EXPECT_EQ(ScanTimeout, 0);
}

TEST(StatusLines, ReidentifiedBoardRewritesItsOwnLine) {
    corvane_test::PluginOptions options;
    options.dataCfg = kBoardThree;
    corvane_test::PluginRun run(options);
    boardsim::Board& first = run.AddLanBoard(25, 3);
    boardsim::Board& second = run.AddLanBoard(26, 5);
    first.SendIdentification();
    run.Call(1);
    second.SendIdentification();
    run.Call(1);
    EXPECT_EQ(StatusLine(4), "   2. LAN Arduino #5");
    first.SendIdentification();
    run.Call(1);
    EXPECT_EQ(StatusLine(3), "   1. LAN Arduino #3,   2 inputs,   2 outputs");
    EXPECT_EQ(StatusLine(4), "   2. LAN Arduino #5");
    EXPECT_EQ(BoardCount(), 2);
}

}  // namespace
