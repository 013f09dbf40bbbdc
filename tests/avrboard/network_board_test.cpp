// The plug-in (on 127.0.0.1) meets the board library's network firmware on virtual boards with a
// W5100 or W5500 at other loopback addresses: found by its probe, configured and driven; an
// address from the DHCP responder, or the fixed one when no server answers; a board switched on
// late, reset in flight or with its cable out for a moment served again at once; a cable pulled
// for long enough that the board puts its outputs dark, and served again when it is back.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "config/board_tables.h"
#include "support/avr_cockpit.h"
#include "support/piped_process.h"
#include "xphost.h"

namespace {

using corvane_test::AvrBoardProcess;
using corvane_test::AvrBoardSetup;
using corvane_test::AvrCockpit;
using corvane_test::AvrCockpitSetup;

// A Mega (board ID 3) and an Uno (board ID 4): a button on 2 holding a command (R), a lamp and a
// servo on one dataref each. A button on 10 of the Mega and a lamp on 13 of the Uno would take
// the chip's select and the SPI clock: the library leaves those pins to the chip.
const char kCfg[] = R"(*3
[A]
R D2+
[I]
D2+ net/press_mega
D10+ net/press_mega
[O]
30L 0 net/lamp
22S 0 net/servo 1 0,1 1000,2000
*4
[A]
R D2+
[I]
D2+ net/press_uno
[O]
7L 0 net/lamp
9S 0 net/servo 1 0,1 1000,2000
13L 0 net/lamp
)";

const char kDatarefs[] = R"(command net/press_mega Held while pressed
command net/press_uno Held while pressed
net/lamp int rw 0
net/servo float rw 0
)";

AvrBoardSetup Board(const std::string& mcu, const std::string& chip, int id,
                    const std::vector<std::string>& network) {
    AvrBoardSetup board;
    board.mcu = mcu;
    board.firmware = std::string(CORVANE_AVR_FIRMWARE_DIR) + "/corvane-" + chip + "-ethernet.elf";
    board.boardId = id;
    board.network = network;
    return board;
}

long Number(const std::string& answer) {
    return std::strtol(answer.c_str() + answer.rfind(' '), nullptr, 10);
}

class NetworkBoardTest : public ::testing::Test {
  protected:
    void Start(const AvrBoardSetup& first, const std::vector<AvrBoardSetup>& more,
               const std::string& settings = "") {
        AvrCockpitSetup setup;
        static_cast<AvrBoardSetup&>(setup) = first;
        setup.boardProgram = CORVANE_AVR_BOARD;
        setup.dataCfg = kCfg;
        setup.extraDatarefs = kDatarefs;
        setup.settings = settings;
        setup.moreBoards = more;
        setup.beforePlugin = beforePlugin_;
        const std::string missing = AvrCockpit::Missing(setup);
        if (!missing.empty()) GTEST_SKIP() << missing;
        cockpit_ = std::make_unique<AvrCockpit>(setup);
        ASSERT_TRUE(cockpit_->ready());
    }
    // Flies until `boards` boards have their outputs on, after more than `configurations`
    // uploads.
    bool Served(size_t boards, double seconds = 30.0, size_t configurations = 0) {
        return cockpit_->FlyUntil(
            [&] {
                size_t on = 0;
                for (size_t b = 0; b < AllowOutput.size(); ++b) on += AllowOutput[b] ? 1 : 0;
                return on == boards && Configurations() > configurations;
            },
            seconds);
    }
    size_t Configurations() {
        return corvane_test::CountOf(xphost::DebugLog(), "Config sent: 61 bytes");
    }
    std::string Ask(size_t board, const std::string& line) {
        return cockpit_->board(board).Ask(line);
    }
    bool PulseNear(size_t board, const std::string& pin, long micros) {
        return cockpit_->FlyUntil(
            [&] { return std::labs(Number(Ask(board, "pulse " + pin)) - micros) < 10; });
    }
    // A press on pin 2 holds the board's command until the release.
    void PressRunsCommand(size_t board, const std::string& command) {
        EXPECT_EQ(Ask(board, "press 2"), "ok");
        EXPECT_TRUE(cockpit_->FlyUntil([&] { return xphost::IsCommandActive(command); }));
        EXPECT_EQ(Ask(board, "release 2"), "ok");
        EXPECT_TRUE(cockpit_->FlyUntil([&] { return !xphost::IsCommandActive(command); }));
    }

    std::function<void(AvrCockpit&)> beforePlugin_;
    std::unique_ptr<AvrCockpit> cockpit_;
};

// Both boards are on the network before the plug-in starts, and its search finds them (if their
// announcements, every 2 s until they are configured, do not come first): the Uno with the
// responder's lease for 127.0.0.3, the Mega at its fixed 127.0.0.2 after no DHCP server answered.
// (A configured board answers the probe of a Reconnect: the long flight over the network.)
TEST_F(NetworkBoardTest, BoardsFoundByTheSearchConfiguredAndDriven) {
    corvane_test::PipedProcess responder;
    responder.Start({CORVANE_DHCP_RESPONDER, "--lease", "3600"});
    const std::string ready = responder.ReadLine();
    ASSERT_EQ(ready.rfind("ready ", 0), 0u) << ready;
    const std::string live = "127.0.0.1:" + ready.substr(6);
    const std::string dead = "127.0.0.1:" + std::to_string(corvane_test::FreeUdpPort());
    beforePlugin_ = [&responder](AvrCockpit& cockpit) {
        EXPECT_EQ(responder.ReadLine(), "ack 127.0.0.3");
        // The Mega's four DHCP requests and its first announcement, gone before the plug-in
        // listens.
        for (int k = 0; k < 600 && Number(cockpit.Stat("out", 1)) < 5; ++k) usleep(50000);
    };
    Start(Board("atmega328p", "uno", 4,
                {"--ethernet", "w5500", "--address", "127.0.0.3", "--dhcp", live}),
          {Board("atmega2560", "mega", 3,
                 {"--ethernet", "w5100", "--address", "127.0.0.2", "--simulator", "127.0.0.1",
                  "--dhcp", dead})});
    ASSERT_TRUE(Served(2)) << xphost::DebugLog();
    PressRunsCommand(0, "net/press_uno");
    PressRunsCommand(1, "net/press_mega");
    xphost::SetDataref("net/lamp", "1");
    xphost::SetDataref("net/servo", "0.5");
    EXPECT_TRUE(cockpit_->FlyUntilAnswer("pin 7", "pin 7 1"));
    EXPECT_TRUE(cockpit_->FlyUntil([&] { return Ask(1, "pin 30") == "pin 30 1"; }));
    EXPECT_TRUE(PulseNear(0, "9", 1500));
    EXPECT_TRUE(PulseNear(1, "22", 1500));
    EXPECT_EQ(cockpit_->Stat("full", 0), "full 0");
    EXPECT_EQ(cockpit_->Stat("full", 1), "full 0");
}

// A board switched on 20 s after the search, the same board reset, and its cable out for a
// second (the W5500 sees the link come back): each time served again within 3 s.
TEST_F(NetworkBoardTest, LateResetAndReplugedBoardsServedAgainAtOnce) {
    Start(Board("atmega2560", "mega", 3,
                {"--ethernet", "w5100", "--address", "127.0.0.2", "--simulator", "127.0.0.1"}),
          {}, "SCANNING_TIMEOUT = 40\n");
    ASSERT_TRUE(Served(1));
    xphost::SetDataref("net/lamp", "1");
    cockpit_->Fly(20.0);
    AvrBoardProcess& late = cockpit_->AddBoard(
        Board("atmega328p", "uno", 4, {"--ethernet", "w5500", "--address", "127.0.0.3"}));
    ASSERT_TRUE(late.ready());
    EXPECT_TRUE(Served(2, 3.0)) << xphost::DebugLog();
    EXPECT_TRUE(cockpit_->FlyUntil([&] { return late.Ask("pin 7") == "pin 7 1"; }));
    for (const char* line : {"reset", "unplug"}) {
        SCOPED_TRACE(line);
        const size_t before = Configurations();
        EXPECT_EQ(late.Ask(line), "ok");
        if (std::string(line) == "unplug") {
            cockpit_->Fly(1.0);
            EXPECT_EQ(late.Ask("plug"), "ok");
        }
        EXPECT_TRUE(Served(2, 3.0, before));
        EXPECT_TRUE(cockpit_->FlyUntil([&] { return late.Ask("pin 7") == "pin 7 1"; }));
        PressRunsCommand(1, "net/press_uno");
    }
}

// The W5100 cannot see its link: with the cable out for 10 s, the plug-in's pings and values stop
// coming, and after 8 s the board puts its lamp dark (its servo holds); back on the cable it
// announces itself and takes the values of the meantime.
TEST_F(NetworkBoardTest, PulledCableDarkensTheBoardUntilItIsServedAgain) {
    Start(Board("atmega2560", "mega", 3,
                {"--ethernet", "w5100", "--address", "127.0.0.2", "--simulator", "127.0.0.1"}),
          {});
    ASSERT_TRUE(Served(1));
    xphost::SetDataref("net/lamp", "1");
    xphost::SetDataref("net/servo", "0.5");
    EXPECT_TRUE(cockpit_->FlyUntilAnswer("pin 30", "pin 30 1"));
    EXPECT_TRUE(PulseNear(0, "22", 1500));
    EXPECT_EQ(cockpit_->Ask("unplug"), "ok");
    const auto pulled = AvrCockpit::Clock::now();
    cockpit_->Fly(6.0);
    EXPECT_EQ(cockpit_->Ask("pin 30"), "pin 30 1");  // not before 8 s of silence
    EXPECT_TRUE(cockpit_->FlyUntilAnswer("pin 30", "pin 30 0"));
    EXPECT_TRUE(PulseNear(0, "22", 1500));
    cockpit_->Fly(10.0 - std::chrono::duration<double>(AvrCockpit::Clock::now() - pulled).count());
    xphost::SetDataref("net/servo", "0.25");
    EXPECT_EQ(cockpit_->Ask("plug"), "ok");
    EXPECT_TRUE(PulseNear(0, "22", 1250));
    EXPECT_TRUE(cockpit_->FlyUntilAnswer("pin 30", "pin 30 1"));
    EXPECT_NE(cockpit_->Stat("missed"), "missed 0");
    EXPECT_EQ(cockpit_->Stat("full"), "full 0");
}

}  // namespace
