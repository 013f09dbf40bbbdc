// LAN links: where probes go, which senders count, empty datagrams and repeated identifications,
// over real UDP on loopback (a foreign sender inside a network namespace of the test's own).
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "config/board_tables.h"
#include "config/status_text.h"
#include "exchange/flight_loop.h"
#include "support/plugin_harness.h"
#include "transport/lan_socket.h"
#include "xphost.h"

namespace {

const char* const kBeaconBoard = "*3\n[I]\nD5 sim/cockpit/electrical/beacon_lights_on 1\n";

// Sends bytes as one datagram from address (any free port) to the plug-in on 127.0.0.1.
void SendFrom(const std::string& address, int pluginPort, const std::string& bytes) {
    const int s = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in from{}, to{};
    from.sin_family = to.sin_family = AF_INET;
    inet_pton(AF_INET, address.c_str(), &from.sin_addr);
    inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
    to.sin_port = htons(static_cast<uint16_t>(pluginPort));
    EXPECT_EQ(bind(s, reinterpret_cast<sockaddr*>(&from), sizeof from), 0) << address;
    sendto(s, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    close(s);
}

// Runs body in a child process, in a network namespace of its own whose loopback also holds
// `address`. The child's exit code: 0 passed, 1 failed, 77 when no namespace can be made.
int InOwnNetwork(const std::string& address, const std::function<void()>& body) {
    const std::string uid = std::to_string(getuid()), gid = std::to_string(getgid());
    const pid_t child = fork();
    if (child == 0) {
        if (unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0) _exit(77);
        corvane_test::WriteFile("/proc/self/setgroups", "deny");
        corvane_test::WriteFile("/proc/self/uid_map", "0 " + uid + " 1");
        corvane_test::WriteFile("/proc/self/gid_map", "0 " + gid + " 1");
        const std::string up = "ip link set lo up && ip addr add " + address + "/32 dev lo";
        if (std::system(up.c_str()) != 0) _exit(77);
        body();
        _exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 2;
}

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
    const int result = InOwnNetwork("10.1.2.25", [] {
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
