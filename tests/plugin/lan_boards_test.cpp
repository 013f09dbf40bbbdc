// Boards on the LAN, over real UDP on loopback: one flight through the probe, identification,
// refused library versions, the upload, replies, the status lines and the end of the scan; where
// probes go, which senders count (a foreign sender inside a network namespace of the test's own),
// empty datagrams and repeated identifications.
#include <arpa/inet.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "config/board_tables.h"
#include "config/settings.h"
#include "config/status_text.h"
#include "exchange/flight_loop.h"
#include "exchange/wire_protocol.h"
#include "support/plugin_harness.h"
#include "transport/lan_socket.h"
#include "xphost.h"

using ::testing::HasSubstr;
using corvane_test::SendFrom;

namespace {

const char* const kBoardThree =
    "*3\n[A]\nB 30 33 40 41 44\nG 20\nL 21\nN 22\n[I]\nD5 sim/lights/landing_lights_toggle\n"
    "D12+ sim/flight_controls/landing_gear_down\n[O]\n7L 0 sim/cockpit2/controls/gear_handle_down\n"
    "6L 0 sim/cockpit/electrical/beacon_lights_on\n9N 0 sim/x 1 4 2\n5L 0 sim/x\n";

std::vector<std::string> Replies(const boardsim::Board& board, size_t from = 0) {
    std::vector<std::string> replies;
    for (size_t k = from; k < board.received().size(); ++k)
        if (board.received()[k] != "XP") replies.push_back(board.received()[k]);
    return replies;
}

TEST(LanBoards, ProbeIdentificationUploadRepliesAndStatusLines) {
    corvane_test::PluginOptions options;
    options.dataCfg = kBoardThree;
    options.settings = "SCANNING_TIMEOUT = 600\n";
    corvane_test::PluginRun run(options);
    EXPECT_EQ(StatusLine(2), "   Connection status - Awaiting connection");
    // Boards that never become boards: old libraries, and a stranger asking for blocks and the
    // gate.
    const auto silent = [&](int host, int version) -> boardsim::Board& {
        boardsim::Options o = run.LanBoardOptions(host, 3);
        o.answerProbe = false;
        o.libraryVersion = version;
        return run.AddBoard(o);
    };
    boardsim::Board& stranger = silent(40, 124);
    stranger.SendControl('a');
    stranger.SendControl('d');
    run.Call(50);
    EXPECT_EQ(BoardCount(), 0);
    EXPECT_EQ(ScanTimeout, 600);  // the countdown waits for the first board
    EXPECT_EQ(StatusLine(3).size(), 3u);
    EXPECT_TRUE(Replies(stranger).empty());
    boardsim::Board& old = silent(27, 120);
    old.SendIdentification();
    run.Call(2);
    EXPECT_EQ(StatusLine(3), "   1. Wrong library version - 1.20 (req. min. 1.24)");
    boardsim::Board& older = silent(28, 100);
    older.SendIdentification();
    run.Call(2);
    EXPECT_EQ(StatusLine(4), "   2. Wrong library version - (req. min. 1.24)");
    boardsim::Board& noDigit = silent(29, 124);  // an ID byte that is no decimal digit
    noDigit.SendRaw("|A\x7cx");
    run.Call(2);
    EXPECT_EQ(BoardCount(), 2);
    for (boardsim::Board* refused : {&old, &older}) {
        refused->SendControl('a');
        refused->SendControl('d');
        refused->SendRaw(std::string("\x01") + "D5 1");
    }
    // The good board: its upload holds the pin uses of its section, later writes winning.
    boardsim::Board& board = run.AddLanBoard(25, 3);
    board.SendIdentification();
    ASSERT_TRUE(run.CallUntil([&] { return board.boardNumber() != 0; }, 400));
    EXPECT_EQ(board.boardNumber(), 3);
    EXPECT_EQ(BoardCount(), 3);
    EXPECT_TRUE(Replies(old).empty());
    EXPECT_TRUE(Replies(older).empty());
    EXPECT_TRUE(xphost::TakeCommandTrace().empty());
    const std::vector<int> pins = board.pinModes();
    ASSERT_EQ(pins.size(), 54u);
    const int uses[][2] = {{30, 5},  {33, 5}, {40, 6}, {41, 6}, {44, 4}, {20, 11}, {21, 7},
                           {22, 13}, {12, 1}, {6, 7},  {7, 7},  {0, 0},  {5, 7}};
    for (const auto& use : uses) EXPECT_EQ(pins[use[0]], use[1]) << "pin " << use[0];
    EXPECT_EQ(board.codeLetters(), CodeCurrent.substr(0, 5));
    EXPECT_EQ(StatusLine(2), "   Connection status - Connected to:");
    EXPECT_EQ(StatusLine(5), "   3. LAN Arduino #3,   2 inputs,   4 outputs");
    EXPECT_EQ(StatusLine(6).substr(3), "scanning...");
    const char spinner = StatusLine(6)[1];
    run.Call(1);
    EXPECT_NE(StatusLine(6)[1], spinner);
    // Block requests are answered with their lengths; the short 7-segment block keeps its pin.
    board.clearReceived();
    board.RequestBlocks();
    run.Call(2);
    std::vector<size_t> lengths;
    for (const std::string& m : board.received())
        if (m[0] == 'A' || m[0] == 'N' || m[0] == 'S') lengths.push_back(m.size());
    EXPECT_EQ(lengths, (std::vector<size_t>{49, 3, 2}));
    EXPECT_EQ(board.sevenSegConfig(), (std::vector<uint8_t>{9}));
    // A second board gets the next index; the probe skips known addresses.
    boardsim::Board& second = run.AddLanBoard(26, 5);
    second.SendIdentification();
    ASSERT_TRUE(run.CallUntil([&] { return second.boardNumber() != 0; }, 400));
    EXPECT_EQ(second.boardNumber(), 4);
    EXPECT_EQ(StatusLine(6), "   4. LAN Arduino #5");
    const int probes = board.probeCount();
    run.Call(300);  // more than one round of the 256 host numbers
    EXPECT_EQ(board.probeCount(), probes);
    // The end of the scan.
    ::testing::internal::CaptureStderr();
    run.CallUntil([] { return ScanTimeout == 0; }, 700);
    const std::string log = ::testing::internal::GetCapturedStderr();
    EXPECT_THAT(log, HasSubstr("\nFinishing scanning for devices..."));
    EXPECT_THAT(log, HasSubstr("\nScanning stopped. "));
    run.Call(1);
    EXPECT_EQ(StatusLine(7), "   ");
    // A board that restarts identifies again and rewrites its own line.
    board.SendIdentification();
    run.Call(1);
    EXPECT_EQ(BoardCount(), 4);
    EXPECT_EQ(StatusLine(5), "   3. LAN Arduino #3,   2 inputs,   4 outputs");
    EXPECT_EQ(StatusLine(6), "   4. LAN Arduino #5");
    // A library that is good later is taken normally at its old index.
    boardsim::Board& fixed = run.AddLanBoard(27, 3, 124);
    fixed.SendIdentification();
    run.Call(2);
    EXPECT_EQ(fixed.boardNumber(), 1);
}

TEST(LanBoards, TheSimulatorsOwnHostNumberNeverBecomesABoard) {
    corvane_test::PluginOptions options;
    options.settings = "SCANNING_TIMEOUT = 1000\n";
    corvane_test::PluginRun run(options);
    boardsim::Board& board = run.AddLanBoard(25, 3);
    board.SendIdentification();
    run.Call(2);
    ASSERT_EQ(BoardCount(), 1);
    // An identification and a gate request, sent from the simulator's own address: no board
    // and no reply.
    const int own = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(run.port()));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    for (const std::string m : {"|A\x7c"
                                "4",
                                "~d"})
        sendto(own, m.data(), m.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    run.Call(3);
    char reply[64];
    EXPECT_LT(recv(own, reply, sizeof reply, MSG_DONTWAIT), 0);
    close(own);
    EXPECT_EQ(BoardCount(), 1);
    // A board that does not answer is probed once per round of the 256 host numbers.
    boardsim::Options o = run.LanBoardOptions(40, 3);
    o.answerProbe = false;
    boardsim::Board& silent = run.AddBoard(o);
    std::vector<int> probed;
    for (int call = 1; call <= 600; ++call) {
        const int before = silent.probeCount();
        run.Call();
        if (silent.probeCount() != before) probed.push_back(call);
    }
    ASSERT_EQ(probed.size(), 3u);
    EXPECT_EQ(probed[1] - probed[0], 256);
    EXPECT_EQ(probed[2] - probed[1], 256);
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
        EXPECT_EQ(OutDrefs[0].size(), 1u);
        ASSERT_FALSE(Replies(panel).empty());
        EXPECT_EQ(Replies(panel)[0], "~" + CodeCurrent.substr(0, 5) + "\x01");
        EXPECT_EQ(StatusLine(3), "   1. LAN Helvan Panel,   1 outputs");
    }
}

const char* const kBeaconBoard = "*3\n[I]\nD5 sim/cockpit/electrical/beacon_lights_on 1\n";

TEST(LanLinks, ProbesGoToTheSettingsPortAfterADatagramFromAnotherPort) {
    corvane_test::PluginRun run({});
    // A silent board takes the probe of its address: that call reads no probe of the plug-in's
    // own (loopback delivers the others to its socket), only the datagram from another port.
    boardsim::Options silent = run.LanBoardOptions(5, 3);
    silent.answerProbe = false;
    run.AddBoard(silent);
    ASSERT_TRUE(run.CallUntil([] { return Next == 5; }, 300));
    SendFrom("127.0.0.40", run.port(), "hello");
    boardsim::Board& board = run.AddLanBoard(26, 4);
    EXPECT_TRUE(run.CallUntil([&] { return board.boardNumber() == 1; }, 300));
}

TEST(LanLinks, DatagramsFromOutsideTheOwnPrefixAreDropped) {
    const int result = corvane_test::InOwnNetwork("10.1.2.25", [] {
        corvane_test::PluginOptions options;
        options.dataCfg = kBeaconBoard;
        corvane_test::PluginRun run(options);
        // A sender elsewhere whose last number equals the board's neither registers nor acts.
        SendFrom("10.1.2.25", run.port(), "|x|3");
        run.Call(2);
        EXPECT_EQ(BoardCount(), 0);
        boardsim::Board& board = run.AddLanBoard(25, 3);
        ASSERT_TRUE(run.ConnectAll(100));
        EXPECT_EQ(board.boardNumber(), 1);
        const std::string line13 = StatusLine(13);
        SendFrom("10.1.2.25", run.port(), board.EncodeInput("D5"));
        run.Call(2);
        EXPECT_EQ(StatusLine(13), line13);
        EXPECT_EQ(xphost::GetNumber("sim/cockpit/electrical/beacon_lights_on"), 0);
        EXPECT_EQ(ForeignDatagrams, 2u);
        board.SendInput("D5");
        run.Call(1);
        EXPECT_EQ(xphost::GetNumber("sim/cockpit/electrical/beacon_lights_on"), 1);
    });
    if (result == 77) GTEST_SKIP() << "no network namespace on this machine";
    EXPECT_EQ(result, 0);
}

TEST(LanLinks, EmptyDatagramsAreSkippedAndReadingGoesOn) {
    corvane_test::PluginOptions options;
    options.dataCfg = kBeaconBoard;
    corvane_test::PluginRun run(options);
    boardsim::Board& board = run.AddLanBoard(25, 3);
    ASSERT_TRUE(run.ConnectAll(100));
    board.SendRaw("");
    board.SendRaw(std::string("\0D5", 3));
    board.SendInput("D5");
    run.Call(1);
    EXPECT_EQ(xphost::GetNumber("sim/cockpit/electrical/beacon_lights_on"), 1);
}

// Whether a second identification right after the first reads the board's configuration again:
// the reader rewrites the board's status line, a repeat answered from the rows read leaves it.
TEST(LanLinks, RepeatedIdentificationIsAnsweredWithoutReadingAgain) {
    const std::string panelA = "|[O]\nA1 0 sim/cockpit2/controls/gear_handle_down\n";
    const std::string panelB = "|[O]\nA2 0 sim/cockpit2/controls/gear_handle_down\n";
    const struct {
        std::string first, second;
        bool readAgain;
    } rows[] = {
        {"|x|3", "|x|3", false},  // same board ID
        {"|x|3", "|x|4", true},   // another board ID
        {panelA, panelA, false},  // same panel text
        {panelA, panelB, true},   // the panel's text changed
        {"|x|3", panelA, true},   // another form
    };
    for (const auto& row : rows) {
        corvane_test::PluginOptions options;
        options.dataCfg = std::string(kBeaconBoard) + "*4\n";
        corvane_test::PluginRun run(options);
        boardsim::Board& board = run.AddLanBoard(25, 3);
        board.SendRaw(row.first);
        run.Call(1);
        ASSERT_EQ(BoardCount(), 1) << row.second;
        SetStatusLine(3, "marker");
        board.SendRaw(row.second);
        run.Call(1);
        EXPECT_EQ(StatusLine(3) != "marker", row.readAgain) << row.second;
        int answers = 0;
        for (const std::string& message : board.received()) answers += message[0] == '~';
        EXPECT_EQ(answers, 2) << row.second;
    }
}

}  // namespace
