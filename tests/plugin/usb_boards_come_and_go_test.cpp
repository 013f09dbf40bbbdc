// A USB board plugged in while flying, pulled and plugged back, on real pseudo-terminals in a
// device folder of the test, while a LAN board goes on working without a reset.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "config/board_tables.h"
#include "config/settings.h"
#include "config/status_text.h"
#include "exchange/usb_reconnect.h"
#include "support/plugin_harness.h"
#include "transport/serial_hotplug.h"
#include "transport/serial_ports.h"
#include "xphost.h"

namespace {

const char* const kUsbSection =
    "[I]\nD6 test/usb_switch 1\n[O]\n7L 0 test/lamp\n20 2 test/needle\n";
const char* const kLanSection = "[I]\nD5 test/lan_switch 1\n[O]\n8L 0 test/lan_lamp\n";
const char* const kDatarefs =
    "test/lamp int rw 1\ntest/needle float rw 2.5\ntest/usb_switch int rw 0\n"
    "test/lan_switch int rw 0\ntest/lan_lamp int rw 0\n";

bool LogHas(const std::string& text) {
    return xphost::DebugLog().find(text) != std::string::npos;
}

class UsbBoardsComeAndGo : public ::testing::Test {
  protected:
    void SetUp() override {
        devices_ = corvane_test::MakeTempFolder("corvane-dev");
        setenv("CORVANE_DEVICE_DIR", devices_.c_str(), 1);
        xphost::SetDebugEcho(false);
    }
    void TearDown() override {
        if (run_) run_->ForgetBoards();
        usb_.reset();
        run_.reset();
        unsetenv("CORVANE_DEVICE_DIR");
        corvane_test::RemoveFolder(devices_);
    }

    // A new run; a USB board plugged in before it stays and is found by the start-up scan.
    corvane_test::PluginRun& Start(const std::string& settings, bool keepUsbBoard = false) {
        if (run_) run_->ForgetBoards();
        if (!keepUsbBoard) usb_.reset();
        run_.reset();
        corvane_test::PluginOptions options;
        options.usbOff = false;
        options.settings = settings;
        options.dataCfg = std::string("*3\n") + kUsbSection + "*5\n" + kLanSection;
        options.extraDatarefs = kDatarefs;
        run_ = std::make_unique<corvane_test::PluginRun>(options);
        if (usb_) run_->Watch(*usb_);
        return *run_;
    }

    // Plugs an Arduino with board ID 3 into the device folder (a macOS name with its twin).
    boardsim::Board& PlugUsbBoard(bool answerProbe = true, const std::string& name = "ttyACM0") {
        boardsim::Options options;
        options.serialLink = devices_ + "/" + name;
        options.twin = name.rfind("tty.", 0) == 0;
        options.boardId = 3;
        options.configSection = kUsbSection;
        options.autoGate = true;
        options.answerProbe = answerProbe;
        usb_ = std::make_unique<boardsim::Board>(options);
        EXPECT_TRUE(usb_->ok()) << usb_->error();
        if (run_) run_->Watch(*usb_);
        return *usb_;
    }

    // The LAN board's input reaches its dataref and its output follows a new value.
    void ExpectLanBoardWorks(boardsim::Board& lan, int lamp) {
        xphost::SetDataref("test/lan_switch", "0");
        xphost::SetDataref("test/lan_lamp", std::to_string(lamp));
        lan.SendInput("D5");
        EXPECT_TRUE(run_->CallUntil(
            [&] {
                return xphost::GetNumber("test/lan_switch") == 1 && lan.leds()[8] == (lamp == 1);
            },
            40));
    }

    std::string devices_;
    std::unique_ptr<boardsim::Board> usb_;
    std::unique_ptr<corvane_test::PluginRun> run_;
};

TEST_F(UsbBoardsComeAndGo, PulledBoardComesBackOnItsOwnIndex) {
    corvane_test::PluginRun& run = Start("SCANNING_TIMEOUT = 40\n");
    boardsim::Options lanOptions = run.LanBoardOptions(25, 5);
    lanOptions.configSection = kLanSection;
    lanOptions.autoGate = true;
    boardsim::Board& lan = run.AddBoard(lanOptions);
    ASSERT_TRUE(run.ConnectAll(400));
    ExpectLanBoardWorks(lan, 1);
    const int lanProbes = lan.probeCount();

    // Plugged in after the search has ended: found at the next look at the folder, configured,
    // and its outputs sent once it opens them.
    ASSERT_TRUE(run.CallUntil([] { return ScanTimeout == 0; }, 100));
    boardsim::Board& first = PlugUsbBoard();
    ASSERT_TRUE(run.CallUntil([&] { return first.floats().count(20) == 1; }, 200));
    EXPECT_EQ(first.boardNumber(), 2);
    EXPECT_EQ(first.pinModes()[7], 7);
    EXPECT_TRUE(first.leds()[7]);
    ASSERT_EQ(BoardCount(), 2);
    const std::string line = StatusLine(BoardStatusLine[1]);
    EXPECT_EQ(line, "   2. USB Arduino #3,   1 inputs,   2 outputs");

    // Pulled: shown disconnected at once, logged; the LAN board goes on.
    run.ForgetBoards();
    usb_.reset();
    ASSERT_TRUE(run.CallUntil([&] { return StatusLine(BoardStatusLine[1]) != line; }, 120));
    EXPECT_EQ(StatusLine(BoardStatusLine[1]), line + " - disconnected");
    EXPECT_TRUE(LogHas("Corvane: USB board 2 (board ID 3) disconnected: " + devices_ + "/ttyACM0"));
    ExpectLanBoardWorks(lan, 0);
    xphost::SetDataref("test/lamp", "0");
    xphost::SetDataref("test/needle", "7.25");
    run.Call(100);

    // Plugged back on a new pseudo-terminal: the same board index, its upload, every output with
    // its value of now, its inputs applied again; nothing else reset.
    boardsim::Board& again = PlugUsbBoard();
    ASSERT_TRUE(run.CallUntil([&] { return again.floats().count(20) == 1; }, 200));
    EXPECT_EQ(again.boardNumber(), 2);
    EXPECT_EQ(again.uploadCount(), 1);
    EXPECT_FLOAT_EQ(again.floats()[20], 7.25f);
    EXPECT_EQ(again.leds().count(7), 1u);
    EXPECT_FALSE(again.leds()[7]);
    EXPECT_EQ(BoardCount(), 2);
    EXPECT_EQ(StatusLine(BoardStatusLine[1]), line);
    EXPECT_TRUE(LogHas("Corvane: USB board 2 (board ID 3) reconnected: " + devices_ + "/ttyACM0"));
    again.SendInput("D6");
    EXPECT_TRUE(run.CallUntil([] { return xphost::GetNumber("test/usb_switch") == 1; }, 40));
    ExpectLanBoardWorks(lan, 1);
    EXPECT_EQ(lan.uploadCount(), 1);
    EXPECT_EQ(lan.probeCount(), lanProbes);
    EXPECT_FALSE(LogHas("reconnecting"));
}

// A board found by the start-up scan comes back under another device name, as Linux may give it,
// and keeps that port through the end of the search.
TEST_F(UsbBoardsComeAndGo, BoardOfTheStartComesBackUnderAnotherName) {
    boardsim::Board* board = &PlugUsbBoard();
    corvane_test::PluginRun& run = Start("USB_DEVICE_COUNT = 1\nSCANNING_TIMEOUT = 200\n", true);
    ASSERT_TRUE(run.CallUntil([&] { return board->floats().count(20) == 1; }, 200));
    run.ForgetBoards();
    usb_.reset();
    ASSERT_TRUE(run.CallUntil([] { return UsbBoardAway.size() == 1 && UsbBoardAway[0]; }, 120));
    board = &PlugUsbBoard(true, "ttyACM1");
    ASSERT_TRUE(run.CallUntil([&] { return board->floats().count(20) == 1; }, 200));
    EXPECT_EQ(board->boardNumber(), 1);
    ASSERT_TRUE(run.CallUntil([] { return ScanTimeout == 0; }, 400));
    ASSERT_EQ(ComPortName.size(), 1u);
    EXPECT_EQ(ComPortName[0], devices_ + "/ttyACM1");
    EXPECT_GE(comport[0], 0);
    EXPECT_EQ(SerialIndex[0], 0);
}

// A device plugged in on which no board answers is asked about once a second for some seconds
// through one of its names, then closed and left alone while it stays plugged in; USB_FIX keeps
// it open, unasked; with USB off it is never opened.
TEST_F(UsbBoardsComeAndGo, SilentDeviceIsAskedForSomeSecondsOnly) {
    const struct {
        const char* settings;
        const char* name;
        bool asked;
        size_t openAfter;
    } rows[] = {{"", "ttyACM0", true, 0},
                {"", "tty.usbmodem14", true, 0},
                {"USB_FIX = 1\n", "ttyACM0", true, 1},
                {"USB_DEVICE_COUNT = 0\n", "ttyACM0", false, 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.settings) + row.name);
        corvane_test::PluginRun& run = Start(row.settings);
        boardsim::Board& silent = PlugUsbBoard(false, row.name);
        run.Call(600);
        EXPECT_EQ(silent.probeCount() >= 5 && silent.probeCount() <= 15, row.asked);
        EXPECT_EQ(NewSerialPorts.size(), row.openAfter);
        const int probes = silent.probeCount();
        run.Call(200);
        EXPECT_EQ(silent.probeCount(), probes);
        EXPECT_EQ(BoardCount(), 0);
    }
}

}  // namespace
