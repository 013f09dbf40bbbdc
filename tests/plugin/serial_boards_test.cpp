// Boards on USB serial lines, on real pseudo-terminals linked into a device folder of the test:
// found at the start, and plugged in, pulled and plugged back while flying.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "config/board_tables.h"
#include "config/settings.h"
#include "config/status_text.h"
#include "exchange/usb_reconnect.h"
#include "exchange/wire_protocol.h"
#include "support/plugin_harness.h"
#include "transport/serial_hotplug.h"
#include "transport/serial_ports.h"
#include "xphost.h"

using ::testing::HasSubstr;
using ::testing::UnorderedElementsAre;

namespace {

// Waits until the plug-in's port p has bytes to read (pseudo-terminals pass them on a moment after
// the write), so that one call is sure to see them.
void AwaitPortInput(size_t p) {
    if (p >= comport.size() || comport[p] < 0) return;
    pollfd waiting{comport[p], POLLIN, 0};
    poll(&waiting, 1, 2000);
}

// Waits until the plug-in's first port holds at least `bytes`.
void AwaitPortBytes(int bytes) {
    for (int k = 0; k < 2000 && !comport.empty(); ++k) {
        int waiting = 0;
        if (ioctl(comport[0], FIONREAD, &waiting) == 0 && waiting >= bytes) return;
        usleep(1000);
    }
}

const char* const kUsbSection =
    "[I]\nD6 test/usb_switch 1\n[O]\n7L 0 test/lamp\n20 2 test/needle\n";
const char* const kLanSection = "[I]\nD5 test/lan_switch 1\n[O]\n8L 0 test/lan_lamp\n";
const char* const kDatarefs =
    "test/lamp int rw 1\ntest/needle float rw 2.5\ntest/usb_switch int rw 0\n"
    "test/lan_switch int rw 0\ntest/lan_lamp int rw 0\n";

bool LogHas(const std::string& text) {
    return xphost::DebugLog().find(text) != std::string::npos;
}

class SerialBoards : public ::testing::Test {
  protected:
    void SetUp() override {
        devices_ = corvane_test::MakeTempFolder("corvane-dev");
        setenv("CORVANE_DEVICE_DIR", devices_.c_str(), 1);
    }
    void TearDown() override {
        run_.reset();
        boards_.clear();
        unsetenv("CORVANE_DEVICE_DIR");
        corvane_test::RemoveFolder(devices_);
    }

    boardsim::Board& MakeBoard(const std::string& name, int id, bool twin = false,
                               bool answerProbe = true, boardsim::Options options = {}) {
        options.serialLink = devices_ + "/" + name;
        options.twin = twin;
        options.answerProbe = answerProbe;
        options.boardId = id;
        boards_.push_back(std::make_unique<boardsim::Board>(options));
        EXPECT_TRUE(boards_.back()->ok()) << boards_.back()->error();
        if (run_) run_->Watch(*boards_.back());  // plugged in while flying
        return *boards_.back();
    }

    corvane_test::PluginRun& Start(const std::string& settings, const std::string& dataCfg = "",
                                   const std::string& datarefs = "") {
        corvane_test::PluginOptions options;
        options.usbOff = false;
        options.settings = settings;
        options.dataCfg = dataCfg;
        options.extraDatarefs = datarefs;
        run_ = std::make_unique<corvane_test::PluginRun>(options);
        for (auto& board : boards_) run_->Watch(*board);
        return *run_;
    }

    std::string Path(const std::string& name) const { return devices_ + "/" + name; }

    std::string devices_;
    std::vector<std::unique_ptr<boardsim::Board>> boards_;
    std::unique_ptr<corvane_test::PluginRun> run_;
};

TEST(SerialCandidates, UsbAdapterNamesOnly) {
    EXPECT_TRUE(IsSerialCandidate("tty.usbmodem1411"));
    EXPECT_TRUE(IsSerialCandidate("cu.usbserial-A1"));
    EXPECT_TRUE(IsSerialCandidate("tty.wchusbserial14"));
    EXPECT_TRUE(IsSerialCandidate("cu.wchusbserial14"));
    EXPECT_TRUE(IsSerialCandidate("ttyUSB0"));
    EXPECT_TRUE(IsSerialCandidate("ttyACM12"));
    EXPECT_FALSE(IsSerialCandidate("tty.Bluetooth-Incoming-Port"));
    EXPECT_FALSE(IsSerialCandidate("ttyS0"));
    EXPECT_FALSE(IsSerialCandidate("tty.u"));
    EXPECT_FALSE(IsSerialCandidate("cu.us"));
    EXPECT_FALSE(IsSerialCandidate("TTYUSB0"));
}

TEST_F(SerialBoards, ScanOpensCandidatesOnlyAndNothingWithUsbOff) {
    MakeBoard("ttyUSB0", 1);
    MakeBoard("tty.usbmodem1411", 2);
    corvane_test::WriteFile(Path("tty.Bluetooth-Incoming-Port"), "");
    corvane_test::WriteFile(Path("ttyS0"), "");
    Start("USB_DEVICE_COUNT = 0\n");
    EXPECT_TRUE(comport.empty());
    EXPECT_EQ(max_cycles, 1);
    run_.reset();

    Start("");
    EXPECT_THAT(ComPortName, UnorderedElementsAre(Path("ttyUSB0"), Path("tty.usbmodem1411")));
    EXPECT_EQ(max_cycles, 3);
}

// The line is raw, 8 bits, local; at 115200 it runs at that speed, at any other speed the device
// keeps its own.
TEST_F(SerialBoards, LineSettingsAreRawAndOnly115200SetsTheSpeed) {
    for (const auto& row : {std::make_pair("USB_BAUD = 115200\n", B115200),
                            std::make_pair("USB_BAUD = 9600\n", B4800)}) {
        SCOPED_TRACE(row.first);
        run_.reset();
        boards_.clear();
        boardsim::Board& board = MakeBoard("ttyUSB0", 1);
        const int fd = open(board.slavePath().c_str(), O_RDWR | O_NOCTTY);
        ASSERT_GE(fd, 0);
        termios settings{};
        tcgetattr(fd, &settings);
        cfsetispeed(&settings, B4800);
        cfsetospeed(&settings, B4800);
        tcsetattr(fd, TCSANOW, &settings);
        close(fd);
        Start(row.first);
        ASSERT_EQ(comport.size(), 1u);
        ASSERT_EQ(tcgetattr(comport[0], &settings), 0);
        EXPECT_EQ(cfgetispeed(&settings), row.second);
        EXPECT_EQ(cfgetospeed(&settings), row.second);
        EXPECT_EQ(settings.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
        EXPECT_TRUE(settings.c_cflag & CLOCAL);
        EXPECT_TRUE(settings.c_cflag & CREAD);
        EXPECT_TRUE(settings.c_iflag & IGNPAR);
        EXPECT_EQ(settings.c_lflag, 0u);
        EXPECT_EQ(settings.c_oflag, 0u);
    }
}

TEST_F(SerialBoards, BytesSentBeforeTheUploadAreDiscarded) {
    MakeBoard("ttyUSB0", 3, false, false);
    corvane_test::PluginRun& run =
        Start("", "*3\n[I]\nD5 sim/cockpit/electrical/beacon_lights_on 1\n");
    ASSERT_EQ(comport.size(), 1u);
    const std::string before = StatusLine(13);
    // The identification and, behind it in the same read, an input the board sent too early:
    // the upload empties the port's buffer, so the input is never applied.
    boards_[0]->SendUnframed(
        "{|A\x7c"
        "3}{\x01"
        "D5}");
    AwaitPortInput(0);
    run.Call(3);
    ASSERT_EQ(BoardCount(), 1);
    EXPECT_EQ(StatusLine(13), before);
    EXPECT_EQ(xphost::GetNumber("sim/cockpit/electrical/beacon_lights_on"), 0);
    EXPECT_TRUE(SerialBuffer[0].empty());
}

// A board identifies over its line and gets its upload there; then, on the same run: frames
// split across reads or several in one read, garbage that never grows the buffer, and the device
// pulled out from under the plug-in.
TEST_F(SerialBoards, IdentifiedBoardFramesGarbageAndRemoval) {
    boardsim::Board& board = MakeBoard("ttyACM0", 3);
    corvane_test::PluginRun& run =
        Start("", "*3\n[I]\nD12+ sim/lights/landing_lights_toggle\nD5 sim/none\n");
    ASSERT_TRUE(run.ConnectAll(2000));
    EXPECT_EQ(board.boardNumber(), 1);
    EXPECT_EQ(board.uploadCount(), 1);
    ASSERT_EQ(board.pinModes().size(), 54u);
    EXPECT_EQ(board.pinModes()[12], 1);
    EXPECT_EQ(board.codeLetters(), CodeCurrent.substr(0, 5));
    ASSERT_EQ(BoardCount(), 1);
    ASSERT_EQ(comport.size(), 1u);
    EXPECT_EQ(SerialIndex[0], 0);
    EXPECT_EQ(SerialIndices[0], 0);
    EXPECT_EQ(StatusLine(3), "   1. USB Arduino #3,   2 inputs");

    // Two frames in one write are both handled in the same call; a frame split across reads
    // waits for its end; a stray '}' yields nothing and of "{x{b}" only b counts.
    const struct {
        std::string bytes;
        const char* shown;
    } rows[] = {
        {"{" + board.EncodeInput("D5", "1") + "}{" + board.EncodeInput("D5", "2") + "}", "1: D5 2"},
        {"{" + board.EncodeInput("D5", "3"), "1: D5 2"},
        {"}", "1: D5 3"},
        {"}{x{" + board.EncodeInput("D5", "4") + "}", "1: D5 4"},
    };
    for (const auto& row : rows) {
        board.SendUnframed(row.bytes);
        AwaitPortInput(0);
        run.Call(1);
        EXPECT_THAT(StatusLine(13), ::testing::EndsWith(row.shown)) << row.bytes;
    }
    EXPECT_TRUE(SerialBuffer[0].empty());

    ::testing::internal::CaptureStderr();
    for (int k = 0; k < 100; ++k) {
        board.SendUnframed(std::string(1024, 'z'));
        AwaitPortInput(0);
        run.Call(1);
        ASSERT_LE(SerialBuffer[0].size(), 81920u);
    }
    EXPECT_THAT(::testing::internal::GetCapturedStderr(), HasSubstr("\nUSB read error"));

    run.ForgetBoards();
    boards_.clear();  // closes the pty master and removes the link: the device is gone
    run.Call(100);
    EXPECT_EQ(BoardCount(), 1);
}

TEST_F(SerialBoards, SecondBoardClosesTheUnclaimedPortBetweenAndMovesDown) {
    for (const char* name : {"ttyUSB0", "ttyUSB1", "ttyUSB2"}) {
        boardsim::Options options;
        options.serialLink = Path(name);
        options.answerProbe = false;
        options.boardId = 3;
        boards_.push_back(std::make_unique<boardsim::Board>(options));
    }
    corvane_test::PluginRun& run = Start("USB_DEVICE_COUNT = 2\nSCANNING_TIMEOUT = 1000\n");
    ASSERT_EQ(comport.size(), 3u);
    ASSERT_EQ(max_cycles, 4);
    // Ports follow the directory's order: name the boards by the port they landed on.
    boardsim::Board* onPort[3] = {};
    for (int p = 0; p < 3; ++p)
        for (auto& board : boards_)
            if (board->address() == ComPortName[p]) onPort[p] = board.get();
    ASSERT_TRUE(onPort[0] && onPort[1] && onPort[2]);
    const std::string pathA = ComPortName[0], pathC = ComPortName[2];

    onPort[0]->SendIdentification();
    ASSERT_TRUE(run.CallUntil([] { return BoardCount() == 1; }));
    onPort[2]->SendIdentification();
    ASSERT_TRUE(run.CallUntil([] { return BoardCount() == 2; }));
    EXPECT_EQ(comport.size(), 2u);
    EXPECT_EQ(max_cycles, 3);
    ASSERT_EQ(ComPortName.size(), 2u);
    EXPECT_EQ(ComPortName[0], pathA);
    EXPECT_EQ(ComPortName[1], pathC);
    EXPECT_EQ(SerialIndices[0], 0);
    EXPECT_EQ(SerialIndices[1], 1);
    EXPECT_EQ(SerialIndex[0], 0);
    EXPECT_EQ(SerialIndex[1], 1);
    EXPECT_EQ(onPort[2]->boardNumber(), 2);
    EXPECT_EQ(onPort[1]->boardNumber(), 0);
}

TEST_F(SerialBoards, TwinsBothSurviveTheClearing) {
    boardsim::Board& board = MakeBoard("tty.usbmodem1411", 3, true);
    MakeBoard("ttyUSB7", 4, false, false);
    corvane_test::PluginRun& run = Start("USB_DEVICE_COUNT = 1\n");
    ASSERT_EQ(comport.size(), 3u);
    board.SendIdentification();
    ASSERT_TRUE(run.CallUntil([] { return BoardCount() == 1; }));
    EXPECT_THAT(ComPortName,
                UnorderedElementsAre(Path("tty.usbmodem1411"), Path("cu.usbmodem1411")));
    EXPECT_EQ(max_cycles, 3);
}

TEST_F(SerialBoards, UsbFixKeepsUnclaimedPortsOpen) {
    boardsim::Board& board = MakeBoard("ttyUSB0", 3);
    MakeBoard("ttyUSB1", 4, false, false);
    ::testing::internal::CaptureStderr();
    corvane_test::PluginRun& run = Start("USB_DEVICE_COUNT = 1\nUSB_FIX = 1\n");
    board.SendIdentification();
    ASSERT_TRUE(run.CallUntil([] { return BoardCount() == 1; }));
    EXPECT_THAT(::testing::internal::GetCapturedStderr(),
                HasSubstr("\nUSB_FIX active. All ports remain open."));
    EXPECT_EQ(comport.size(), 2u);
}

TEST_F(SerialBoards, EndOfTheScanClosesUnclaimedPorts) {
    MakeBoard("ttyUSB0", 3);
    boardsim::Options silent;
    silent.serialLink = Path("ttyUSB1");
    silent.answerProbe = false;
    boards_.push_back(std::make_unique<boardsim::Board>(silent));
    corvane_test::PluginRun& run = Start("SCANNING_TIMEOUT = 10\n");
    ASSERT_EQ(comport.size(), 2u);
    ASSERT_TRUE(run.CallUntil([] { return BoardCount() == 1; }));
    ASSERT_TRUE(run.CallUntil([] { return ScanTimeout == 0; }, 50));
    EXPECT_EQ(ScanTimeout, 0);
    ASSERT_EQ(comport.size(), 1u);
    EXPECT_EQ(ComPortName[0], Path("ttyUSB0"));
}

TEST_F(SerialBoards, ResetProbesEachBoardOnceAndDisableClosesThePortsForGood) {
    boardsim::Board& one = MakeBoard("ttyUSB0", 3);
    boardsim::Board& two = MakeBoard("ttyUSB1", 4);
    corvane_test::PluginRun& run = Start("USB_DEVICE_COUNT = 2\nSCANNING_TIMEOUT = 0\n");
    boardsim::Board& lan = run.AddLanBoard(25, 5);
    for (boardsim::Board* board : {&one, &two, &lan}) board->SendIdentification();
    ASSERT_TRUE(run.CallUntil([] { return BoardCount() == 3; }));
    const int probesOne = one.probeCount(), probesTwo = two.probeCount(),
              probesLan = lan.probeCount();
    ASSERT_TRUE(xphost::ChooseMenu("Corvane/Reconnect"));
    for (int k = 0; k < 2000; ++k) {
        run.PollBoards();
        if (one.probeCount() > probesOne && two.probeCount() > probesTwo &&
            lan.probeCount() > probesLan)
            break;
        usleep(1000);
    }
    usleep(20000);
    run.PollBoards();
    EXPECT_EQ(one.probeCount(), probesOne + 1);
    EXPECT_EQ(two.probeCount(), probesTwo + 1);
    EXPECT_EQ(lan.probeCount(), probesLan + 1);
    // Disabled, every port is closed for good: the reset of the next enable skips their probes
    // (and the closed socket's).
    xphost::DisablePlugin();
    for (int fd : comport) EXPECT_EQ(fd, -1);
    xphost::EnablePlugin();
    usleep(20000);
    run.PollBoards();
    EXPECT_EQ(one.probeCount(), probesOne + 1);
    EXPECT_EQ(two.probeCount(), probesTwo + 1);
    EXPECT_EQ(lan.probeCount(), probesLan + 1);
}

TEST_F(SerialBoards, BoardThatMissesTheFirstProbesIsFound) {
    boardsim::Board& board = MakeBoard("ttyACM0", 3, false, false);
    corvane_test::PluginRun& run = Start("");
    // Silent for 1.5 s after its port opened, as an Arduino that resets then.
    const auto wakes = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
    while (std::chrono::steady_clock::now() < wakes) {
        run.Call();
        usleep(20000);
    }
    const int missed = board.probeCount();
    bool answered = false;
    EXPECT_TRUE(run.CallUntil(
        [&] {
            usleep(20000);
            if (!answered && board.probeCount() > missed) answered = board.SendIdentification();
            return board.boardNumber() == 1;
        },
        200));
}

TEST_F(SerialBoards, LargePanelConfigurationIsRead) {
    boardsim::Options options;
    for (int k = 1; k <= 140; ++k)
        options.panelConfig +=
            "A" + std::to_string(k) + " 0 sim/cockpit2/controls/gear_handle_down\n";
    ASSERT_GT(options.panelConfig.size(), 6000u);
    MakeBoard("ttyACM0", 0, false, true, options);
    corvane_test::PluginRun& run = Start("");
    ASSERT_TRUE(run.ConnectAll(200));
    ASSERT_EQ(BoardCount(), 1);
    EXPECT_EQ(OutDevice[0], 0u);
    EXPECT_EQ(OutDrefs[0].size(), 140u);
}

TEST_F(SerialBoards, BurstOfFramesIsHandledWithinThreeCalls) {
    boardsim::Board& board = MakeBoard("ttyACM0", 3);
    corvane_test::PluginRun& run =
        Start("", "*3\n[I]\nE7+ sim/cockpit2/autopilot/altitude_dial_ft 1+,100000\n");
    ASSERT_TRUE(run.ConnectAll(200));
    // 25 frames of 82 bytes: a count byte of 1, then padding to the frame's length.
    const std::string frame = "{" + board.EncodeInput("E7+", "\x01" + std::string(74, 'x')) + "}";
    ASSERT_EQ(frame.size(), 82u);
    std::string burst;
    for (int k = 0; k < 25; ++k) burst += frame;
    board.SendUnframed(burst);
    AwaitPortBytes(static_cast<int>(burst.size()));
    run.Call(3);
    EXPECT_EQ(xphost::GetNumber("sim/cockpit2/autopilot/altitude_dial_ft"), 5025);
}

// A USB board plugged in while flying, pulled and plugged back, while a LAN board goes on working
// without a reset.
class UsbBoardsComeAndGo : public SerialBoards {
  protected:
    corvane_test::PluginRun& Start(const std::string& settings) {
        return SerialBoards::Start(
            settings, std::string("*3\n") + kUsbSection + "*5\n" + kLanSection, kDatarefs);
    }
    // Plugs an Arduino with board ID 3 into the device folder (a macOS name with its twin).
    boardsim::Board& PlugUsbBoard(bool answerProbe = true, const std::string& name = "ttyACM0") {
        boardsim::Options options;
        options.configSection = kUsbSection;
        options.autoGate = true;
        return MakeBoard(name, 3, name.rfind("tty.", 0) == 0, answerProbe, options);
    }
    void Pull() {
        run_->ForgetBoards();
        boards_.clear();
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
    Pull();
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
    corvane_test::PluginRun& run = Start("USB_DEVICE_COUNT = 1\nSCANNING_TIMEOUT = 200\n");
    ASSERT_TRUE(run.CallUntil([&] { return board->floats().count(20) == 1; }, 200));
    Pull();
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
        run_.reset();
        boards_.clear();
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
