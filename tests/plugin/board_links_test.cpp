// Boards on their links, through the real plug-in. On USB serial lines: real pseudo-terminals
// linked into a device folder of the test, found at the start, and plugged in, pulled and plugged
// back while flying; the status window's USB check box; the sender on a line that stops reading
// or goes away. On the LAN: real UDP on loopback, one flight through the probe, identification,
// refused library versions, the upload, replies, the status lines and the end of the scan; where
// probes go, which senders count (a foreign sender inside a network namespace of the test's own),
// empty datagrams and repeated identifications.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <pty.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "XPLMPlugin.h"
#include "config/board_monitor.h"
#include "config/board_tables.h"
#include "config/settings.h"
#include "config/status_text.h"
#include "exchange/flight_loop.h"
#include "exchange/identification.h"
#include "exchange/monitor_text.h"
#include "exchange/port_cause_line.h"
#include "exchange/usb_reconnect.h"
#include "exchange/wire_protocol.h"
#include "support/host_process.h"
#include "support/plugin_harness.h"
#include "transport/lan_socket.h"
#include "transport/port_causes.h"
#include "transport/serial_hotplug.h"
#include "transport/serial_ports.h"
#include "xphost.h"

using corvane_test::SendFrom;
using ::testing::HasSubstr;
using ::testing::UnorderedElementsAreArray;

namespace {

// Waits until the plug-in's first port holds at least `bytes` (pseudo-terminals pass them on a
// moment after the write), so that one call is sure to see them.
void AwaitPortBytes(int bytes = 1, size_t port = 0) {
    for (int k = 0; k < 2000 && port < comport.size(); ++k) {
        if (corvane_test::WaitingBytes(comport[port]) >= bytes) return;
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
        Stop();
        unsetenv("CORVANE_DEVICE_DIR");
        corvane_test::RemoveFolder(devices_);
    }

    boardsim::Board& MakeBoard(const std::string& name, int id, bool twin = false,
                               bool answerProbe = true, boardsim::Options options = {}) {
        options.serialLink = Path(name);
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
        run_.reset();
        corvane_test::PluginOptions options(dataCfg, settings);
        options.usbOff = false;
        options.extraDatarefs = datarefs;
        run_ = std::make_unique<corvane_test::PluginRun>(options);
        for (auto& board : boards_) run_->Watch(*board);
        return *run_;
    }

    std::vector<std::string> Paths(const std::vector<std::string>& names) const {
        std::vector<std::string> paths;
        for (const std::string& name : names) paths.push_back(Path(name));
        return paths;
    }
    // Ends the plug-in's run and its boards.
    void Stop() {
        run_.reset();
        boards_.clear();
    }
    // Pulls every board's device out of the folder: its pseudo-terminal is closed.
    void Pull() {
        run_->ForgetBoards();
        boards_.clear();
    }
    std::string Path(const std::string& name) const { return devices_ + "/" + name; }

    std::string devices_;
    std::vector<std::unique_ptr<boardsim::Board>> boards_;
    std::unique_ptr<corvane_test::PluginRun> run_;
};

// The scan opens the names of USB serial devices only (on Linux ttyUSB or ttyACM and digits), not
// other names of the same terminal, and nothing with USB off. The line is raw, 8 bits, local; at
// 115200 it runs at that speed, at 9600 the device keeps its own.
TEST_F(SerialBoards, ScanOpensCandidatesOnlyAndNothingWithUsbOff) {
    boardsim::Board& board = MakeBoard("ttyUSB0", 1);
    boardsim::Board& other = MakeBoard("ttyACM12", 2);
    // Opened as well, the terminal would be busy: its first name holds it.
    for (const char* name : {"tty.usbmodem1411", "cu.usbserial-A1", "ttyS0", "rfcomm0", "ttyAMA0",
                             "TTYUSB0", "ttyUSB", "ttyACM1x", "ttyUSB0-wiring", "ttyUSB0.bak"})
        ASSERT_EQ(symlink(other.slavePath().c_str(), Path(name).c_str()), 0) << name;
    termios settings{};
    const int fd = open(board.slavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_EQ(tcgetattr(fd, &settings), 0);
    cfsetispeed(&settings, B4800);
    cfsetospeed(&settings, B4800);
    tcsetattr(fd, TCSANOW, &settings);
    close(fd);
    for (const auto& row : {std::make_pair("USB_BAUD = 9600\n", B4800),
                            std::make_pair("USB_BAUD = 115200\n", B115200)}) {
        Start(row.first);
        const auto port = std::find(ComPortName.begin(), ComPortName.end(), Path("ttyUSB0"));
        ASSERT_NE(port, ComPortName.end());
        ASSERT_EQ(tcgetattr(comport[port - ComPortName.begin()], &settings), 0);
        EXPECT_EQ(cfgetispeed(&settings), row.second);
        EXPECT_EQ(cfgetospeed(&settings), row.second);
        EXPECT_EQ(settings.c_cflag & (CSIZE | CLOCAL | CREAD),
                  static_cast<tcflag_t>(CS8 | CLOCAL | CREAD));
        EXPECT_TRUE(settings.c_iflag & IGNPAR);
        EXPECT_EQ(settings.c_lflag | settings.c_oflag, 0u);
    }
    // The two names of a macOS device; others have none.
    EXPECT_EQ(TwinPath(Path("tty.usbmodem1411")), Path("cu.usbmodem1411"));
    EXPECT_EQ(TwinPath(Path("cu.usbserial-A1")), Path("tty.usbserial-A1"));
    EXPECT_EQ(TwinPath(Path("ttyUSB0")), "");
    EXPECT_THAT(ComPortName, UnorderedElementsAreArray(Paths({"ttyUSB0", "ttyACM12"})));
    EXPECT_EQ(max_cycles, 3);
    EXPECT_TRUE(PortProblems.empty());
    Start("USB_DEVICE_COUNT = 0\n");
    EXPECT_TRUE(comport.empty());
    EXPECT_EQ(max_cycles, 1);
}

// Entries with a serial device's name that are no serial device (a file that `echo > /dev/ttyUSB0`
// leaves without an adapter, a FIFO, a folder, a link that leads nowhere, a character device that
// is no terminal) are never written, through several looks at the folder, nor is a builder's note
// beside them; each is told once, by its name, as not a serial device, in the log, the monitor
// and on the search line, and the board beside them is served.
TEST_F(SerialBoards, EntriesThatAreNoSerialDeviceAreNeverWrittenAndToldOnce) {
    boardsim::Board& board = MakeBoard("ttyACM0", 1);
    const std::string note = "n 5 = landing lights\n";
    for (const char* name : {"ttyUSB0", "ttyUSB0-wiring-notes.txt"})
        corvane_test::WriteFile(Path(name), note);
    ASSERT_EQ(mkfifo(Path("ttyUSB1").c_str(), 0600), 0);
    const int fifo = open(Path("ttyUSB1").c_str(), O_RDONLY | O_NONBLOCK);  // keeps what comes
    ASSERT_EQ(mkdir(Path("ttyUSB8").c_str(), 0755), 0);
    ASSERT_EQ(symlink(Path("gone").c_str(), Path("ttyUSB5").c_str()), 0);
    ASSERT_EQ(symlink("/dev/null", Path("ttyUSB9").c_str()), 0);
    corvane_test::PluginRun& run = Start("");
    run.Call(260);  // three looks at the folder after the start-up's
    EXPECT_EQ(board.boardNumber(), 1);
    EXPECT_THAT(ComPortName, UnorderedElementsAreArray(Paths({"ttyACM0"})));
    for (const char* name : {"ttyUSB0", "ttyUSB0-wiring-notes.txt"})
        EXPECT_EQ(corvane_test::ReadFile(Path(name)), note) << name;
    char got[8];
    EXPECT_EQ(read(fifo, got, sizeof got), 0);
    close(fifo);
    const std::string log = xphost::DebugLog();
    const std::vector<std::string> monitor = MonitorLines();
    for (const std::string name : {"ttyUSB0", "ttyUSB1", "ttyUSB5", "ttyUSB8", "ttyUSB9"}) {
        const std::string told = "No board on " + Path(name) + ": not a serial device\n";
        EXPECT_NE(log.find("Corvane: " + told), std::string::npos) << name;
        EXPECT_EQ(log.find(told), log.rfind(told)) << name;
        EXPECT_THAT(monitor, ::testing::Contains("   " + told.substr(0, told.size() - 1)));
        EXPECT_EQ(CauseOf(Path(name)), PortCause::NotSerialDevice) << name;
    }
    EXPECT_EQ(log.find("Found serial port: " + Path("ttyUSB")), std::string::npos);
    EXPECT_NE(log.find("Found serial port: " + Path("ttyACM0")), std::string::npos);
    EXPECT_EQ(log.find("Unable to open"), std::string::npos);
    EXPECT_THAT(StatusLine(SearchLine()),
                HasSubstr(": not a serial device (and 4 more: see Monitor)"));
}

// A board identifies over its line and gets its upload there; what it sent behind the
// identification in the same read is thrown away with the port's buffer. Then, on the same run:
// frames split across reads or several in one read, and garbage that never grows the buffer.
TEST_F(SerialBoards, IdentifiedBoardEarlyBytesFramesAndGarbage) {
    boardsim::Board& board = MakeBoard("ttyACM0", 3, false, false);
    corvane_test::PluginRun& run =
        Start("", "*3\n[I]\nD5 sim/none\nD6 sim/cockpit/electrical/beacon_lights_on 1\n");
    ASSERT_EQ(comport.size(), 1u);
    const std::string before = StatusLine(13);
    board.SendUnframed("{|A|3}{\001D6}");
    AwaitPortBytes();
    run.Call(3);
    ASSERT_EQ(BoardCount(), 1);
    EXPECT_EQ(StatusLine(13), before);
    EXPECT_EQ(xphost::GetNumber("sim/cockpit/electrical/beacon_lights_on"), 0);
    EXPECT_TRUE(SerialBuffer[0].empty());
    ASSERT_TRUE(run.CallUntil([&] { return board.boardNumber() == 1; }, 200));
    EXPECT_EQ(board.uploadCount(), 1);
    const int probes = board.probeCount();  // the search probes ports without a board only
    // Two frames in one write are both handled; a frame split across reads waits for its end; a
    // stray '}' yields nothing and of "{x{b}" only b counts.
    const struct {
        std::string bytes;
        const char* shown;
    } rows[] = {
        {"{" + board.EncodeInput("D5", "1") + "}{" + board.EncodeInput("D5", "2") + "}", "1: D5 2"},
        {"{" + board.EncodeInput("D5", "3"), "1: D5 2"},
        {"}", "1: D5 3"},
        {"}{x{" + board.EncodeInput("D5", "4") + "}", "1: D5 4"},
        {"{}", "1: D5 4"},
    };
    for (const auto& row : rows) {
        board.SendUnframed(row.bytes);
        AwaitPortBytes();
        run.Call(1);  // a loaded machine may leave the second frame to the next call
        EXPECT_TRUE(run.CallUntil(
            [&] { return ::testing::Matches(::testing::EndsWith(row.shown))(StatusLine(13)); }, 20))
            << row.bytes << " shows " << StatusLine(13);
    }
    EXPECT_TRUE(SerialBuffer[0].empty());
    // The stray '}' and the empty frame, not the calls that found nothing.
    EXPECT_EQ(DiscardedFrames, 2u);

    ::testing::internal::CaptureStderr();
    for (int k = 0; k < 100; ++k) {
        board.SendUnframed(std::string(1024, 'z'));
        AwaitPortBytes();
        run.Call(1);
        ASSERT_LE(SerialBuffer[0].size(), 81920u);
    }
    EXPECT_THAT(::testing::internal::GetCapturedStderr(), HasSubstr("Corvane: USB read error\n"));
    // 100 KB without a frame: the first 80 KB of them are thrown away, counted once.
    EXPECT_THAT(MonitorLines(), ::testing::Contains(HasSubstr("   Frames discarded: 3")));
    usleep(1100000);  // ports without a board are probed again every second
    run.Call(1);
    EXPECT_EQ(board.probeCount(), probes);
    EXPECT_GT(ScanTimeout, 0);
}

// Of three silent devices, the first and the third identify: with USB_DEVICE_COUNT = 2 the port
// between them is closed and the third moves down into its place.
TEST_F(SerialBoards, SecondBoardClosesTheUnclaimedPortBetweenAndResetProbesEachBoardOnce) {
    for (const char* name : {"ttyUSB0", "ttyUSB1", "ttyUSB2"}) MakeBoard(name, 3, false, false);
    corvane_test::PluginRun& run =
        Start("USB_DEVICE_COUNT = 2\nSCANNING_TIMEOUT = 1000\n",
              "*3\n[I]\nE7+ sim/cockpit2/autopilot/altitude_dial_ft 1+,100000\n");
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
    EXPECT_EQ(ComPortName, (std::vector<std::string>{pathA, pathC}));
    EXPECT_EQ(SerialIndices, (std::vector<int>{0, 1}));
    EXPECT_EQ(SerialIndex, (std::vector<int>{0, 1}));
    EXPECT_EQ(onPort[2]->boardNumber(), 2);
    EXPECT_EQ(onPort[1]->boardNumber(), 0);
    // The second port's frames are read once the first port has nothing, several in a call.
    const double dial = xphost::GetNumber("sim/cockpit2/autopilot/altitude_dial_ft");
    std::string burst;
    for (int k = 0; k < 20; ++k) burst += "{" + onPort[2]->EncodeInput("E7+") + "}";
    onPort[2]->SendUnframed(burst);
    AwaitPortBytes(static_cast<int>(burst.size()), 1);
    run.Call(3);
    EXPECT_GT(xphost::GetNumber("sim/cockpit2/autopilot/altitude_dial_ft"), dial + 3);

    // A reset probes each board once, a LAN board too; disabled, every port is closed for good:
    // the reset of the next enable skips their probes (and the closed socket's).
    boardsim::Board& lan = run.AddLanBoard(25, 5);
    lan.SendIdentification();
    ASSERT_TRUE(run.CallUntil([] { return BoardCount() == 3; }));
    const auto probes = [&] {
        run.PollBoards();
        return std::vector<int>{onPort[0]->probeCount(), onPort[2]->probeCount(), lan.probeCount()};
    };
    std::vector<int> after = probes();
    for (int& count : after) ++count;
    ASSERT_TRUE(xphost::ChooseMenu("Corvane/Reconnect"));
    for (int k = 0; k < 2000 && probes() != after; ++k) usleep(1000);
    usleep(20000);
    EXPECT_EQ(probes(), after);
    xphost::DisablePlugin();
    for (int fd : comport) EXPECT_EQ(fd, -1);
    xphost::EnablePlugin();
    usleep(20000);
    EXPECT_EQ(probes(), after);
}

// Once USB_DEVICE_COUNT boards are found, or when the scan ends, ports without a board are
// closed; USB_FIX keeps them all, and says why a kept port gives no board.
TEST_F(SerialBoards, UnclaimedPortsCloseUnlessUsbFixKeepsThem) {
    const struct {
        const char* settings;
        std::vector<std::string> open;  // first the board, which answers the probe
        const char* log;
    } rows[] = {
        {"USB_DEVICE_COUNT = 1\n", {"ttyACM0"}, "Corvane: Clearing unused"},
        {"USB_DEVICE_COUNT = 1\nUSB_FIX = 1\n",
         {"ttyUSB0", "ttyUSB7", "ttyUSB8"},
         "Corvane: USB_FIX active."},
        {"SCANNING_TIMEOUT = 10\n", {"ttyUSB0"}, "Corvane: Closing "},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.settings);
        Stop();
        MakeBoard(row.open[0], 3);
        MakeBoard("ttyUSB7", 4, false, false);  // silent, as the next
        MakeBoard("ttyUSB8", 5, false, false);
        ::testing::internal::CaptureStderr();
        corvane_test::PluginRun& run = Start(row.settings);
        ASSERT_EQ(comport.size(), 3u);
        ASSERT_TRUE(run.CallUntil([] { return BoardCount() == 1; }));
        if (std::string(row.settings).rfind("SCANNING", 0) == 0) {  // the scan's end
            EXPECT_TRUE(run.CallUntil([] { return ScanTimeout == 0; }, 50));
        }
        EXPECT_THAT(::testing::internal::GetCapturedStderr(), HasSubstr(row.log));
        EXPECT_THAT(ComPortName, UnorderedElementsAreArray(Paths(row.open)));
        EXPECT_EQ(max_cycles, static_cast<int>(row.open.size()) + 1);
        run.Call(400);  // a port kept without a board is told once it has stayed silent
        for (const char* silent : {"ttyUSB7", "ttyUSB8"})
            EXPECT_EQ(LogHas("No board on " + Path(silent) + ": no answer"), row.open.size() > 1);
    }
}

// A port that another program holds, locked or exclusively (root opens it all the same), is never
// written to and shows busy, once in the log, on the search line and in the monitor; it is taken
// at the next look once that program lets it go.
TEST_F(SerialBoards, PortHeldByAnotherProgramIsLeftAloneUntilLetGo) {
    for (const bool exclusive : {false, true}) {
        SCOPED_TRACE(exclusive ? "exclusive" : "locked");
        Stop();
        boardsim::Board& board = MakeBoard("ttyUSB0", 3);
        int ready[2], release[2];
        ASSERT_EQ(pipe(ready) | pipe(release), 0);
        const pid_t holder = fork();
        if (holder == 0) {
            close(ready[0]);
            close(release[1]);
            const int fd = open(board.slavePath().c_str(), O_RDWR | O_NOCTTY);
            char held = (exclusive ? ioctl(fd, TIOCEXCL) : flock(fd, LOCK_EX)) == 0 ? 'y' : 'n';
            if (write(ready[1], &held, 1) == 1 && read(release[0], &held, 1) >= 0 && exclusive)
                ioctl(fd, TIOCNXCL);
            _exit(0);  // a lock goes with the process
        }
        close(ready[1]);
        close(release[0]);
        char held = 0;
        ASSERT_EQ(read(ready[0], &held, 1), 1);
        close(ready[0]);
        ASSERT_EQ(held, 'y');
        corvane_test::PluginRun& run = Start("");
        run.Call(260);  // three looks at the folder: a busy port is never given up
        EXPECT_TRUE(comport.empty());
        EXPECT_TRUE(board.received().empty());
        EXPECT_EQ(ScanTimeout, 512);  // the search line's note is no board
        const std::string note = "No board on " + Path("ttyUSB0") + ": busy: another program holds";
        const std::string log = xphost::DebugLog();
        EXPECT_NE(log.find(note), std::string::npos);
        EXPECT_EQ(log.find(note), log.rfind(note));
        EXPECT_THAT(StatusLine(3), ::testing::EndsWith("   No board on ttyUSB0: busy"));
        EXPECT_THAT(MonitorLines(), ::testing::Contains(HasSubstr(note)));
        close(release[1]);
        waitpid(holder, nullptr, 0);
        EXPECT_TRUE(run.CallUntil([&] { return board.boardNumber() == 1; }, 200));
        EXPECT_THAT(StatusLine(4), ::testing::Not(HasSubstr("No board")));
        EXPECT_THAT(MonitorLines(), ::testing::Not(::testing::Contains(HasSubstr("No board"))));
    }
}

// A port that the simulator's user may not open tells the builder the fix, in the log, on the
// status window's search line and in the monitor (the host runs as an unprivileged user).
TEST_F(SerialBoards, PortTheUserMayNotOpenIsExplainedWithItsFix) {
    const passwd* nobody = getpwnam("nobody");
    if (geteuid() != 0 || !nobody || access("/usr/bin/setpriv", X_OK) != 0)
        GTEST_SKIP() << "needs root and /usr/bin/setpriv, to run the host as the user nobody";
    std::vector<std::string> asNobody = {
        "/usr/bin/setpriv", "--reuid=" + std::to_string(nobody->pw_uid),
        "--regid=" + std::to_string(nobody->pw_gid), "--clear-groups"};
    std::string check, ignored;
    for (const std::string& word : asNobody) check += word + " ";
    check += "test -x '" CORVANE_XPHOST "' -a -r '" + corvane_test::DefaultDatarefFile() + "'";
    if (corvane_test::RunCommand(check, &ignored) != 0)
        GTEST_SKIP() << "the user nobody cannot run " CORVANE_XPHOST " or read its datarefs";
    MakeBoard("ttyUSB0", 3);  // its pseudo-terminal belongs to root, mode 0620
    ASSERT_EQ(chmod(devices_.c_str(), 0755), 0);
    corvane_test::HostOptions options;
    options.everyUser = true;
    asNobody.push_back(CORVANE_XPHOST);
    corvane_test::HostProcess host({asNobody, CORVANE_PLUGIN_XPL, "lin_x64"}, options);
    ASSERT_TRUE(host.running());
    host.Ask("menu Corvane/Status");
    host.Ask("menu Corvane/Monitor");
    host.Ask("run 3");
    const std::string fix =
        "permission denied: add your user to the dialout group (sudo usermod -a -G dialout $USER), "
        "then log out and in";
    const std::string shown = host.Ask("window");
    EXPECT_THAT(shown, HasSubstr("   No board on ttyUSB0: permission denied\n"));
    EXPECT_THAT(shown, HasSubstr("   No board on " + Path("ttyUSB0") + ": " + fix + "\n"));
    std::string log;
    EXPECT_EQ(host.Quit(&log), 0);
    EXPECT_THAT(log, HasSubstr("Corvane: No board on " + Path("ttyUSB0") + ": " + fix));
}

// Ports without a board fill the monitor's lines the boards leave, the last line counting the
// rest; the status window's search line names the first and counts the others.
TEST(PortsWithoutABoard, FillTheRoomTheBoardsLeaveAndAreCountedOnTheSearchLine) {
    corvane_test::PluginRun run({});
    PortProblems.assign(2, PortProblem{"/dev/ttyUSB0", PortCause::Busy});
    ShowPortCausesOnSearchLine();
    EXPECT_THAT(StatusLine(SearchLine()),
                ::testing::EndsWith("   No board on ttyUSB0: busy (and 1 more: see Monitor)"));
    const std::string port = "   No board on /dev/ttyUSB0: " + PortCauseText(PortCause::Busy);
    for (size_t ports : {30u, 31u}) {  // three lines and 30 ports fill the 33 lines
        PortProblems.resize(ports, PortProblems.front());
        const std::vector<std::string> lines = MonitorLines();
        ASSERT_EQ(lines.size(), 33u);
        EXPECT_EQ(lines[31], port);
        EXPECT_EQ(lines[32], ports == 30 ? port : "   2 more ports without a board: see Log.txt");
    }
    PortProblems.clear();
    ShowPortCausesOnSearchLine();
    EXPECT_THAT(StatusLine(SearchLine()), ::testing::Not(HasSubstr("No board")));
    // Boards beyond the sixth are summed up on one line.
    while (BoardCount() < 6) CreateBoardRow(3, sockaddr_in{}, -1);
    const std::vector<std::string> six = MonitorLines();
    EXPECT_THAT(six, ::testing::Not(::testing::Contains(HasSubstr("more boards"))));
    while (BoardCount() < 9) CreateBoardRow(3, sockaddr_in{}, -1);
    EXPECT_EQ(MonitorLines().size(), six.size() + 1);
    for (int b : {5, 6, 8, 8}) NoteReceived(b, 4);
    NoteSent(7, 2);
    EXPECT_EQ(MonitorLines().back(),
              "   3 more boards: received 3 messages, sent 1, inputs applied 0");
    // The first 256 boards are counted.
    while (BoardCount() < 257) CreateBoardRow(3, sockaddr_in{}, -1);
    for (int b : {255, 256}) NoteReceived(b, 4);
    EXPECT_THAT(MonitorLines().back(), HasSubstr(" more boards: received 4 messages,"));
}

// Read over several calls, and answered on its own line at the end. Pulled while its text is
// read, it is not answered, nor is an answer logged.
TEST_F(SerialBoards, LargePanelConfigurationIsRead) {
    boardsim::Options options;
    for (int k = 1; k <= 600; ++k)
        options.panelConfig +=
            "A" + std::to_string(k) + " 0 sim/cockpit2/controls/gear_handle_down\n";
    MakeBoard("ttyACM0", 0, false, true, options);
    corvane_test::PluginRun& run = Start("");
    ASSERT_TRUE(run.CallUntil([] { return PanelBeingRead(0); }, 200));
    Pull();
    run.Call(5);
    EXPECT_FALSE(LogHas("ID sent"));
    MakeBoard("ttyACM0", 0, false, true, options);
    ASSERT_TRUE(run.ConnectAll(200));
    EXPECT_TRUE(LogHas("ID sent: 1"));  // a panel's answer
    ASSERT_EQ(BoardCount(), 1);
    EXPECT_EQ(OutDrefs[0].size(), 600u);
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

// A board that reads nothing for a while (its line full) while its outputs change on every call:
// what the line cannot take waits whole, new values wait as changed outputs, and once the board
// reads again it gets whole messages only and ends showing the last values.
TEST_F(SerialBoards, FullLineKeepsMessagesWholeAndTheLastValuesComeThrough) {
    boardsim::Options options;
    options.autoGate = true;
    boardsim::Board& board = MakeBoard("ttyACM0", 3, false, true, options);
    corvane_test::PluginRun& run = Start("", "*3\n[O]\n5P 0 test/pwm\n6D 0 test/value\n",
                                         "test/pwm float rw 0\ntest/value float rw 0\n");
    ASSERT_TRUE(run.ConnectAll(200));
    ASSERT_TRUE(run.CallUntil([] { return AllowOutput[0]; }, 200));
    run.ForgetBoards();
    for (int k = 0; k < 3000; ++k) {
        xphost::SetDataref("test/pwm", std::to_string(k % 250));
        xphost::SetDataref("test/value", std::to_string(k));
        run.Call();
    }
    xphost::SetDataref("test/pwm", "251");
    run.Call(2);
    run.Watch(board);
    EXPECT_TRUE(run.CallUntil([&] { return board.pwm()[5] == 251; }, 400));
    EXPECT_EQ(board.floats()[6], 2999.0f);
    EXPECT_EQ(board.messageCount("unknown"), 0);
    // Asked for all inputs after an airport load, a USB board gets the request on its port.
    ASSERT_TRUE(xphost::SetDataref("sim/time/total_flight_time", "0"));
    xphost::SendPluginMessage(XPLM_MSG_AIRPORT_LOADED);
    EXPECT_TRUE(run.CallUntil([&] { return board.requestAllCount() == 1; }, 20));
}

// The user's aircraft chooses the configuration: B738.acf takes profiles/b738.CFG through one full
// reset that ends the held starter first, a reload of it changes nothing, another aircraft than
// the user's loading changes nothing either (even while the user's next one is already in place),
// and an aircraft without a profile goes back to data.cfg; the buttons and lamps of a USB and a
// LAN board follow.
TEST_F(SerialBoards, AircraftChoosesItsProfileThroughOneFullReset) {
    const auto section = [](const std::string& lights, const std::string& lamp) {
        return "[I]\nB5 sim/lights/" + lights +
               "_toggle\nB7+ sim/starters/engage_starter_1\n[O]\n" +
               "13L 0 sim/cockpit2/switches/" + lamp + "\n";
    };
    const std::string cessna = section("landing_lights", "landing_lights_on");
    const std::string boeing = section("taxi_lights", "taxi_light_on");
    boardsim::Options options;
    options.autoGate = true;
    boardsim::Board& usb = MakeBoard("ttyUSB0", 1, false, true, options);
    corvane_test::PluginRun& run =
        Start("USB_DEVICE_COUNT = 1\n", "*1\n" + cessna + "*2\n" + cessna);
    std::filesystem::create_directories(run.folder() + "/profiles");
    corvane_test::WriteFile(run.folder() + "/profiles/b738.CFG", "*1\n" + boeing + "*2\n" + boeing);
    options = run.LanBoardOptions(25, 2);
    options.autoGate = true;
    boardsim::Board& lan = run.AddBoard(options);
    xphost::SetDataref("sim/cockpit2/switches/taxi_light_on", "1");
    ASSERT_TRUE(run.ConnectAll());
    usb.SendInput("B7+");
    run.Call(2);
    // The aircraft loaded and its index (0 the user's), whether the Boeing's profile is in force,
    // whether a reset emptied the boards.
    const char* const cessna172 = "Aircraft/Cessna 172SP/Cessna_172SP.acf";
    const struct {
        const char* aircraft;
        int plane;
        bool boeing, reset;
    } rows[] = {{"", 0, false, false},
                {"Aircraft/Boeing 737-800/B738.acf", 0, true, true},
                {"Aircraft/Boeing 737-800/B738.acf", 0, true, false},
                {cessna172, 1, true, false},
                {"Aircraft/Boeing 737-800/B738.acf", 63, true, false},
                {cessna172, 0, false, true}};
    EXPECT_THAT(xphost::ExecuteLine("plane 64 x.acf"), HasSubstr("error: plane N PATH"));
    for (const auto& row : rows) {
        if (row.plane > 0) xphost::SetUserAircraft(cessna172);  // the user's next, not loaded yet
        const std::string line =
            row.plane > 0 ? "plane " + std::to_string(row.plane) + " " : std::string("aircraft ");
        EXPECT_NE(xphost::ExecuteLine(line + row.aircraft).rfind("error", 0), 0u);  // "" asks
        EXPECT_EQ(BoardCount(), row.reset ? 0 : 2) << row.aircraft;
        EXPECT_EQ(xphost::IsCommandActive("sim/starters/engage_starter_1"), !*row.aircraft);
        EXPECT_THAT(StatusLine(kConfigFileLine), HasSubstr(row.boeing ? "b738.CFG" : "data.cfg"));
        EXPECT_TRUE(run.CallUntil(
            [&] { return usb.leds()[13] == row.boeing && lan.leds()[13] == row.boeing; }));
        xphost::TakeCommandTrace();
        usb.SendInput("B5");
        lan.SendInput("B5");
        run.Call(3);
        int runs = 0;
        for (const auto& event : xphost::TakeCommandTrace())
            runs +=
                event.phase == 0 && event.name == (row.boeing ? "sim/lights/taxi_lights_toggle"
                                                              : "sim/lights/landing_lights_toggle");
        EXPECT_EQ(runs, 2) << row.aircraft;
    }
}

// A USB board plugged in while flying, pulled and plugged back, while a LAN board goes on working
// without a reset.
class UsbBoardsComeAndGo : public SerialBoards {
  protected:
    corvane_test::PluginRun& Start(const std::string& settings) {
        return SerialBoards::Start(
            settings, std::string("*3\n") + kUsbSection + "*5\n" + kLanSection, kDatarefs);
    }
    // Plugs an Arduino with board ID 3 into the device folder.
    boardsim::Board& PlugUsbBoard(bool answerProbe = true, const std::string& name = "ttyACM0") {
        boardsim::Options options;
        options.configSection = kUsbSection;
        options.autoGate = true;
        return MakeBoard(name, 3, false, answerProbe, options);
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
    // and its outputs sent once it opens them; its port is descriptor 0 (as in a simulator
    // started with no standard input).
    ASSERT_TRUE(run.CallUntil([] { return ScanTimeout == 0; }, 100));
    boardsim::Board& first = PlugUsbBoard();
    close(0);
    ASSERT_TRUE(run.CallUntil([&] { return first.floats().count(20) == 1; }, 200));
    EXPECT_EQ(comport.at(static_cast<size_t>(SerialIndex.at(1))), 0);
    EXPECT_EQ(first.boardNumber(), 2);
    EXPECT_TRUE(first.leds()[7]);
    ASSERT_EQ(BoardCount(), 2);
    const std::string line = StatusLine(BoardStatusLine[1]);
    EXPECT_EQ(line, "   2. USB Arduino #3,   1 inputs,   2 outputs");
    run.Call(90);  // the next look at the folder leaves the board's own port alone
    EXPECT_FALSE(LogHas("busy"));

    // Pulled: shown disconnected at once, logged; the LAN board goes on.
    Pull();
    ASSERT_TRUE(run.CallUntil([&] { return StatusLine(BoardStatusLine[1]) != line; }, 120));
    EXPECT_EQ(StatusLine(BoardStatusLine[1]), line + " - disconnected");
    EXPECT_THAT(MonitorLines(), ::testing::Contains(HasSubstr("Arduino #3   disconnected")));
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
    EXPECT_FALSE(again.leds().at(7));  // sent, and dark
    EXPECT_EQ(BoardCount(), 2);
    EXPECT_EQ(StatusLine(BoardStatusLine[1]), line);
    EXPECT_THAT(MonitorLines(), ::testing::Contains(HasSubstr("Arduino #3   connected")));
    EXPECT_TRUE(LogHas("Corvane: USB board 2 (board ID 3) reconnected: " + devices_ + "/ttyACM0"));
    again.SendInput("D6");
    EXPECT_TRUE(run.CallUntil([] { return xphost::GetNumber("test/usb_switch") == 1; }, 40));
    ExpectLanBoardWorks(lan, 1);
    EXPECT_EQ(lan.uploadCount(), 1);
    EXPECT_EQ(lan.probeCount(), lanProbes);
    EXPECT_FALSE(LogHas("reconnecting"));
    // A port whose reads fail without a hang-up (its driver in a bad state) is closed as well.
    const size_t port = static_cast<size_t>(SerialIndex.at(1));  // board 2's
    const int folder = open(devices_.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_EQ(dup2(folder, comport.at(port)), comport[port]);
    close(folder);
    run.Call(1);
    EXPECT_EQ(comport[port], -1);
}

// Boards pulled together are shown disconnected at the next call, whatever their ports.
TEST_F(UsbBoardsComeAndGo, PulledBoardsAreToldAtTheNextCall) {
    PlugUsbBoard(true, "ttyACM0");
    MakeBoard("ttyACM1", 5);
    corvane_test::PluginRun& run = Start("USB_DEVICE_COUNT = 2\n");
    ASSERT_TRUE(run.CallUntil([] { return BoardCount() == 2; }, 200));
    Pull();
    run.Call();
    EXPECT_TRUE(UsbBoardIsAway(0) && UsbBoardIsAway(1));
}

// A device pulled while it is being asked about is closed at the next call, whatever its place
// among the devices being asked; plugged back before the folder is read again, it is asked anew.
TEST_F(UsbBoardsComeAndGo, DevicePulledWhileAskedIsClosedAtOnce) {
    corvane_test::PluginRun& run = Start("");
    PlugUsbBoard(false, "ttyACM0");
    PlugUsbBoard(false, "ttyACM1");
    ASSERT_TRUE(run.CallUntil([] { return NewSerialPorts.size() == 2; }, 200));
    for (const size_t place : {1u, 0u}) {
        const std::string pulled = NewSerialPorts[place].path;
        run.ForgetBoards();
        boards_.erase(boards_.begin() + (pulled == Path("ttyACM1") && boards_.size() == 2 ? 1 : 0));
        for (auto& board : boards_) run.Watch(*board);
        EXPECT_TRUE(run.CallUntil([&] { return NewSerialPorts.size() == place; }, 2)) << pulled;
        EXPECT_TRUE(LogHas("Corvane: Closing " + pulled));
    }
    boardsim::Board& back = PlugUsbBoard(true, "ttyACM0");
    EXPECT_TRUE(run.CallUntil([&] { return back.floats().count(20) == 1; }, 200));
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
    {
        // In a simulator started without standard input the new port gets descriptor 0, and is
        // closed like any other.
        struct WithoutStandardInput {
            const int saved = dup(0);
            WithoutStandardInput() { close(0); }
            ~WithoutStandardInput() {
                dup2(saved, 0);
                close(saved);
            }
        } without;
        ASSERT_TRUE(run.CallUntil([&] { return board->floats().count(20) == 1; }, 200));
        EXPECT_EQ(board->boardNumber(), 1);
        ASSERT_TRUE(run.CallUntil([] { return ScanTimeout == 0; }, 400));
        ASSERT_EQ(ComPortName.size(), 1u);
        EXPECT_EQ(ComPortName[0], devices_ + "/ttyACM1");
        EXPECT_EQ(comport[0], 0);
        EXPECT_EQ(SerialIndex[0], 0);
        xphost::DisablePlugin();
        FinishPortCloses();
        EXPECT_EQ(fcntl(0, F_GETFD), -1);
    }
    xphost::EnablePlugin();
}

// A device plugged in on which no board answers is asked about once a second for some seconds,
// then closed and left alone while it stays plugged in; USB_FIX keeps it open, unasked; with USB
// off it is never opened. Why it gives no board goes to the log once and stays on the search
// line: no answer, or bytes of another kind of device, also beside a board on another port, and
// for each of two devices plugged at once.
TEST_F(UsbBoardsComeAndGo, SilentOrForeignDeviceIsAskedForSomeSecondsOnlyAndExplained) {
    const struct {
        const char* settings;
        bool foreign, asked;
        size_t openAfter;
        const char* cause;
        int boards;  // working boards on ttyACM1
    } rows[] = {{"", false, true, 0, "no answer after 10 s", 0},
                {"", true, true, 0, "bytes that are not the boards' protocol", 0},
                {"USB_FIX = 1\n", false, true, 1, "no answer after 10 s", 0},
                {"SCANNING_TIMEOUT = 40\n", false, true, 0, "no answer after 10 s", 1},
                {"USB_DEVICE_COUNT = 0\n", false, false, 0, nullptr, 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.settings) + (row.foreign ? "foreign" : "silent"));
        Stop();
        if (row.boards) PlugUsbBoard(true, "ttyACM1");
        corvane_test::PluginRun& run = Start(row.settings);
        // The folder is read every 80 calls from the start (the run's start spent 2 of them): a
        // device plugged after the first read is found on the second.
        run.Call(78);
        boardsim::Board& silent = PlugUsbBoard(false);
        PlugUsbBoard(false, "ttyACM2");  // and a silent one beside it
        run.Call(79);
        EXPECT_TRUE(NewSerialPorts.empty());
        run.Call(1);
        if (row.foreign) {  // a framed message that is no identification makes no board either
            silent.SendUnframed("$GPRMC,123519,A*6A\r\n");
            silent.SendRaw("GPRMC,123519,A*6A");
        }
        // Asked for its 400 calls, the port is let go on the last, not later.
        run.Call(398);
        EXPECT_EQ(NewSerialPorts.size(), row.asked ? 2u : 0u);
        run.Call(1);
        EXPECT_EQ(NewSerialPorts.size(), 2 * row.openAfter);
        run.Call(123);
        EXPECT_EQ(silent.probeCount() >= 5 && silent.probeCount() <= 15, row.asked);
        const int probes = silent.probeCount();
        run.Call(200);
        EXPECT_EQ(silent.probeCount(), probes);
        EXPECT_EQ(BoardCount(), row.boards);
        const std::string log = xphost::DebugLog();
        const std::string note = "No board on " + Path("ttyACM0") + ": ";
        EXPECT_EQ(log.find(note), log.rfind(note));
        if (!row.cause) continue;
        EXPECT_TRUE(LogHas("Corvane: " + note + row.cause));
        EXPECT_TRUE(LogHas("Corvane: No board on " + Path("ttyACM2") + ": no answer after 10 s"));
        EXPECT_THAT(StatusLine(SearchLine()), HasSubstr("   No board on ttyACM"));
    }
}

// The status window's USB check box rewrites config.ini: when it cannot be written, when it
// holds the builder's lines, and when there is none (inside a network namespace of its own, as
// the files written leave the address to the plug-in's choice).
using UsbCheckBoxSettings = SerialBoards;
TEST_F(UsbCheckBoxSettings, FailedRewriteChangesNothingAndAMissingFileIsCreated) {
    corvane_test::InOwnNetwork("", [this] {
        MakeBoard("ttyUSB0", 4);
        corvane_test::PluginRun& run = Start("");
        ASSERT_TRUE(run.ConnectAll(200));
        ASSERT_TRUE(xphost::ChooseMenu("Corvane/Status"));
        const std::string settingsPath = run.folder() + "/config.ini";
        const std::string settings = corvane_test::ReadFile(settingsPath);

        // A folder where the new file would be written first makes the rewrite fail.
        ASSERT_EQ(mkdir((settingsPath + ".tmp").c_str(), 0755), 0);
        const size_t logged = xphost::DebugLog().size();
        ASSERT_TRUE(xphost::SetCheckBox("Enable USB", 0));
        EXPECT_EQ(xphost::CheckBoxState("Enable USB"), 1);
        EXPECT_EQ(StatusLine(13),
                  "   Last message received from device Corvane: config.ini "
                  "could not be written, USB stays on");
        EXPECT_THAT(xphost::WindowText(), HasSubstr("could not be written"));
        const std::string log = xphost::DebugLog().substr(logged);
        EXPECT_THAT(log, HasSubstr("Corvane: Could not write " + settingsPath + "\n"));
        EXPECT_THAT(log, ::testing::Not(HasSubstr("reconnecting")));
        EXPECT_EQ(corvane_test::ReadFile(settingsPath), settings);
        EXPECT_THAT(comport, ::testing::ElementsAre(::testing::Ge(0)));  // the port stays open

        // So does a write that stops partway (here at this process's file size limit).
        rmdir((settingsPath + ".tmp").c_str());
        signal(SIGXFSZ, SIG_IGN);
        rlimit size{};
        getrlimit(RLIMIT_FSIZE, &size);
        const rlimit small{8, size.rlim_max};
        setrlimit(RLIMIT_FSIZE, &small);
        ASSERT_TRUE(xphost::SetCheckBox("Enable USB", 0));
        setrlimit(RLIMIT_FSIZE, &size);
        EXPECT_EQ(xphost::CheckBoxState("Enable USB"), 1);
        EXPECT_EQ(corvane_test::ReadFile(settingsPath), settings);
        EXPECT_NE(access((settingsPath + ".tmp").c_str(), F_OK), 0);

        // Clearing the box appends exactly one line and keeps every other byte; setting it removes
        // every USB line but a commented one, and a byte-order mark stays at the start of the
        // file, though the line it began goes.
        const std::string mine = "# my cockpit\r\n" + settings + "\r\n";
        corvane_test::WriteFile(settingsPath, mine);
        ASSERT_TRUE(xphost::SetCheckBox("Enable USB", 0));
        EXPECT_EQ(corvane_test::ReadFile(settingsPath), mine + "USB_DEVICE_COUNT = 0\n");
        corvane_test::WriteFile(settingsPath, "\xEF\xBB\xBFUSB_DEVICE_COUNT = 0\n" + settings +
                                                  "#USB_DEVICE_COUNT = 3\n"
                                                  " USB_DEVICE_COUNT=2\nUSB_FIX = 1");
        ASSERT_TRUE(xphost::SetCheckBox("Enable USB", 1));
        EXPECT_EQ(corvane_test::ReadFile(settingsPath),
                  "\xEF\xBB\xBF" + settings + "#USB_DEVICE_COUNT = 3\nUSB_FIX = 1\n");
        EXPECT_EQ(USBcountVar, 1024);

        // Without config.ini, clearing the box creates it with the one line and frees the port.
        ASSERT_EQ(unlink(settingsPath.c_str()), 0);
        ASSERT_TRUE(xphost::SetCheckBox("Enable USB", 0));
        EXPECT_EQ(corvane_test::ReadFile(settingsPath), "USB_DEVICE_COUNT = 0\n");
        EXPECT_THAT(xphost::DebugLog().substr(logged), HasSubstr("reconnecting"));
        EXPECT_EQ(USBcountVar, 0);
        EXPECT_TRUE(comport.empty());
        EXPECT_EQ(xphost::CheckBoxState("Enable USB"), 0);

        // Set again while the file cannot be written: the box goes back to off.
        ASSERT_EQ(mkdir((settingsPath + ".tmp").c_str(), 0755), 0);
        ASSERT_TRUE(xphost::SetCheckBox("Enable USB", 1));
        EXPECT_EQ(xphost::CheckBoxState("Enable USB"), 0);
        EXPECT_THAT(StatusLine(13), HasSubstr("could not be written, USB stays off"));
        Stop();
    });
}

const char* const kBoardThree =
    "*3\n[A]\nB 30 33 40 41 44\nG 0\nL 21\nN 22\n[I]\nD5 sim/lights/landing_lights_toggle\n"
    "D12+ sim/flight_controls/landing_gear_down\n[O]\n7L 0 sim/cockpit2/controls/gear_handle_down\n"
    "6L 0 sim/cockpit/electrical/beacon_lights_on\n9N 0 sim/x 1 4 2\n5L 0 sim/x\n"
    "23L E3=1\n24S E3\n";

std::vector<std::string> Replies(const boardsim::Board& board) {
    std::vector<std::string> replies;
    for (const std::string& message : board.received())
        if (message != "XP") replies.push_back(message);
    return replies;
}

TEST(LanBoards, ProbeIdentificationUploadRepliesAndStatusLines) {
    corvane_test::PluginRun run({kBoardThree, "SCANNING_TIMEOUT = 1500\n"});
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
    EXPECT_EQ(ScanTimeout, 1500);  // the countdown waits for the first board
    EXPECT_EQ(StatusLine(3).size(), 3u);
    EXPECT_TRUE(Replies(stranger).empty());
    boardsim::Board& old = silent(27, 119);
    old.SendIdentification();
    run.Call(2);
    EXPECT_EQ(StatusLine(3), "   1. Wrong library version - 1.19 (req. min. 1.24)");
    boardsim::Board& older = silent(28, 118);  // shown without its number
    older.SendIdentification();
    run.Call(2);
    EXPECT_EQ(StatusLine(4), "   2. Wrong library version - (req. min. 1.24)");
    boardsim::Board& noDigit = silent(29, 124);  // an ID byte that is no decimal digit
    noDigit.SendRaw("|A\x7cx");
    run.Call(2);
    EXPECT_EQ(BoardCount(), 2);
    EXPECT_TRUE(SerialIndex[0] < 0 && SerialIndex[1] < 0);  // refused LAN boards own no port
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
    for (boardsim::Board* refused : {&old, &older}) EXPECT_TRUE(Replies(*refused).empty());
    EXPECT_TRUE(xphost::TakeCommandTrace().empty());
    const std::vector<int> pins = board.pinModes();
    ASSERT_EQ(pins.size(), 54u);
    const int uses[][2] = {{30, 5}, {33, 5}, {40, 6}, {41, 6}, {44, 4}, {0, 11}, {21, 7}, {22, 13},
                           {12, 1}, {6, 7},  {7, 7},  {20, 0}, {5, 7},  {23, 7}, {24, 0}};
    for (const auto& use : uses) EXPECT_EQ(pins[use[0]], use[1]) << "pin " << use[0];
    EXPECT_EQ(board.codeLetters(), CodeCurrent.substr(0, 5));
    EXPECT_EQ(StatusLine(5), "   3. LAN Arduino #3,   2 inputs,   6 outputs");
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
    // A second board gets the next index; ten bytes are still an Arduino board's identification.
    boardsim::Options padded = run.LanBoardOptions(26, 5);
    padded.identPadding = "678901";
    boardsim::Board& second = run.AddBoard(padded);
    second.SendIdentification();
    ASSERT_TRUE(run.CallUntil([&] { return second.boardNumber() != 0; }, 400));
    EXPECT_EQ(second.boardNumber(), 4);
    EXPECT_EQ(StatusLine(6), "   4. LAN Arduino #5");
    // Probes skip known addresses and reach a silent one once per round of the 256 host numbers;
    // an identification and a gate request from the simulator's own address make no board.
    SendFrom("127.0.0.1", run.port(), "|A|4");
    SendFrom("127.0.0.1", run.port(), "~d");
    const int probes = board.probeCount();
    std::vector<int> probed;
    for (int call = 1; call <= 770; ++call) {
        const int before = stranger.probeCount();
        run.Call();
        if (stranger.probeCount() != before) probed.push_back(call);
    }
    EXPECT_EQ(board.probeCount(), probes);
    EXPECT_EQ(BoardCount(), 4);
    ASSERT_EQ(probed.size(), 3u);
    EXPECT_EQ(probed[1] - probed[0], 256);
    EXPECT_EQ(probed[2] - probed[1], 256);
    // The end of the scan.
    ::testing::internal::CaptureStderr();
    run.CallUntil([] { return ScanTimeout == 0; }, 1600);
    const std::string log = ::testing::internal::GetCapturedStderr();
    EXPECT_THAT(log, HasSubstr("Corvane: Finishing scanning for devices...\n"));
    EXPECT_THAT(log, HasSubstr("Corvane: Scanning stopped. \n"));
    run.Call(1);
    EXPECT_EQ(StatusLine(7), "   ");
    // A board that restarts identifies again and rewrites its own line.
    board.SendIdentification();
    run.Call(1);
    EXPECT_EQ(BoardCount(), 4);
    EXPECT_EQ(StatusLine(5), "   3. LAN Arduino #3,   2 inputs,   6 outputs");
    EXPECT_EQ(StatusLine(6), "   4. LAN Arduino #5");
    // A library that is good later is taken normally at its old index.
    boardsim::Board& fixed = run.AddLanBoard(27, 3, 124);
    fixed.SendIdentification();
    run.Call(2);
    EXPECT_EQ(fixed.boardNumber(), 1);
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

// A board that restarts and identifies from another port gets its upload and outputs there. After
// the search, a board switched on later is found whether it announces itself or waits for a
// probe: while a board section has no board, the free addresses are probed again at the
// settings' port, a round every 30 s (1200 calls) spread evenly over it; once every section has
// its board, no address is probed.
TEST(LanLinks, BoardThatRestartsOrComesLateIsServed) {
    corvane_test::PluginRun run(
        {"*3\n[O]\n13L 0 sim/cockpit/electrical/beacon_lights_on\n*4\n*5\n*6\n",
         "SCANNING_TIMEOUT = 40\n"});
    boardsim::Options first = run.LanBoardOptions(25, 3);
    first.configSection = "[O]\n13L 0 sim/cockpit/electrical/beacon_lights_on\n";
    first.autoGate = true;
    run.AddBoard(first);
    ASSERT_TRUE(run.ConnectAll(100));
    ASSERT_TRUE(run.CallUntil([] { return ScanTimeout == 0; }, 100));
    boardsim::Options restarted = first;
    restarted.lanPort = corvane_test::FreeUdpPort();
    boardsim::Board& again = run.AddBoard(restarted);
    again.SendIdentification();
    xphost::SetDataref("sim/cockpit/electrical/beacon_lights_on", "1");
    EXPECT_TRUE(run.CallUntil([&] { return again.leds()[13]; }, 40));
    EXPECT_EQ(again.boardNumber(), 1);

    run.Call(800);
    boardsim::Board& announcing = run.AddLanBoard(30, 4);
    announcing.SendIdentification();
    EXPECT_TRUE(run.CallUntil([&] { return announcing.boardNumber() == 2; }, 5));
    boardsim::Board& waiting = run.AddLanBoard(31, 5);
    boardsim::Options silent = run.LanBoardOptions(100, 6);
    silent.answerProbe = false;
    boardsim::Board& far = run.AddBoard(silent);
    std::vector<int> probed;  // calls at which the boards at .31 and .100 were probed
    for (int call = 1; call <= 2500; ++call) {
        const int before = waiting.probeCount() + far.probeCount();
        run.Call();
        if (waiting.probeCount() + far.probeCount() != before) probed.push_back(call);
    }
    EXPECT_EQ(waiting.boardNumber(), 3);
    EXPECT_EQ(waiting.probeCount(), 1);
    ASSERT_EQ(probed.size(), 3u);  // .31, .100, .100 a round later
    EXPECT_NEAR(probed[1] - probed[0], (100 - 31) * 1200 / 256, 1);
    EXPECT_EQ(probed[2] - probed[1], 1200);

    boardsim::Board& last = run.AddLanBoard(40, 6);
    last.SendIdentification();
    EXPECT_TRUE(run.CallUntil([&] { return last.boardNumber() == 4; }, 5));
    const int farProbes = far.probeCount();
    run.Call(1300);
    EXPECT_EQ(far.probeCount(), farProbes);
}

TEST(LanLinks, DatagramsFromOutsideTheOwnPrefixAreDropped) {
    corvane_test::InOwnNetwork("10.1.2.25", [] {
        corvane_test::PluginRun run({kBeaconBoard});
        // A sender elsewhere whose last number equals the board's neither registers nor acts.
        SendFrom("10.1.2.25", run.port(), "|x|3");
        run.Call(2);
        EXPECT_EQ(BoardCount(), 0);
        boardsim::Board& board = run.AddLanBoard(25, 3);
        ASSERT_TRUE(run.ConnectAll(100));
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
}

// A send to a board that the network refuses: the log tells the count the send returned (-1),
// the board gets nothing and is answered in full once the network lets the plug-in reach it.
TEST(LanLinks, FailedSendIsLoggedWithItsResult) {
    corvane_test::InOwnNetwork("", [] {
        corvane_test::PluginRun run({kBeaconBoard});
        boardsim::Options quiet = run.LanBoardOptions(25, 3);
        quiet.answerProbe = false;
        boardsim::Board& board = run.AddBoard(quiet);
        const std::string port = std::to_string(run.port());
        // Everything the plug-in's socket sends to 127.0.0.25 is refused (EACCES); what the board
        // sends arrives.
        ASSERT_EQ(corvane_test::RunCommand("ip rule add pref 1 lookup local && ip rule del pref 0 "
                                           "&& ip rule add pref 0 to 127.0.0.25 sport " +
                                               port + " prohibit",
                                           nullptr),
                  0);
        const size_t logged = xphost::DebugLog().size();
        board.SendIdentification();
        run.Call(2);
        EXPECT_THAT(xphost::DebugLog().substr(logged),
                    HasSubstr("Corvane: Sending config\nCorvane: Config sent: -1 bytes\n"));
        EXPECT_EQ(board.uploadCount(), 0);
        ASSERT_EQ(corvane_test::RunCommand("ip rule del pref 0", nullptr), 0);
        board.SendIdentification();
        EXPECT_TRUE(run.CallUntil([&] { return board.boardNumber() == 1; }, 20));
        EXPECT_THAT(xphost::DebugLog().substr(logged),
                    HasSubstr("Corvane: Config sent: 61 bytes\n"));
    });
}

TEST(LanLinks, EmptyDatagramsAreSkippedAndReadingGoesOn) {
    corvane_test::PluginRun run({kBeaconBoard});
    boardsim::Board& board = run.AddLanBoard(25, 3);
    ASSERT_TRUE(run.ConnectAll(100));
    board.SendRaw("");
    board.SendRaw(std::string("\0D5", 3));
    board.SendInput("D5");
    EXPECT_TRUE(run.CallUntil(
        [] { return xphost::GetNumber("sim/cockpit/electrical/beacon_lights_on") == 1; }, 20));
}

// Whether a second identification right after the first reads the board's configuration again:
// the reader rewrites the board's status line, a repeat answered from the rows read leaves it.
// Repeats are answered, but only so many in one call.
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
        corvane_test::PluginRun run(std::string(kBeaconBoard) + "*4\n");
        boardsim::Board& board = run.AddLanBoard(25, 3);
        board.SendRaw(row.first);
        run.Call(1);
        ASSERT_EQ(BoardCount(), 1) << row.second;
        if (row.first == panelA) {  // the panel's long form: board ID 0, outputs open at once
            EXPECT_EQ(StatusLine(3), "   1. LAN Helvan Panel,   1 outputs");
            EXPECT_TRUE(AllowOutput[0]);
            const std::vector<std::string> replies = Replies(board);
            EXPECT_TRUE(!replies.empty() && replies[0] == "~" + CodeCurrent.substr(0, 5) + "\x01");
        }
        SetStatusLine(3, "marker");
        board.SendRaw(row.second);
        run.Call(1);
        EXPECT_EQ(StatusLine(3) != "marker", row.readAgain) << row.second;
        const auto answers = [&] {
            run.PollBoards();
            const std::vector<std::string>& got = board.received();
            return std::count_if(got.begin(), got.end(),
                                 [](const std::string& m) { return m[0] == '~'; });
        };
        EXPECT_EQ(answers(), 2) << row.second;
        if (row.readAgain) continue;
        // A flood of repeats: one call answers 16 of them at most (beside one fresh read, should
        // the last answer be more than a second old on a slow machine).
        for (int k = 0; k < 60; ++k) board.SendRaw(row.second);
        run.Call(1);
        EXPECT_LE(answers(), 2 + 1 + 16) << row.second;
    }
}

// The USB sender on a real pseudo-terminal whose other end the test holds: what the line does not
// take waits whole and in order, a message that finds 4 KB waiting is dropped whole, and a write
// that the line refuses (its other end gone) is told as failed, never as sent.
class SerialLine : public ::testing::Test {
  protected:
    void SetUp() override {
        devices_ = corvane_test::MakeTempFolder("corvane-line");
        int slave = -1;
        ASSERT_EQ(openpty(&master_, &slave, nullptr, nullptr, nullptr), 0);
        ASSERT_EQ(symlink(ttyname(slave), (devices_ + "/ttyUSB0").c_str()), 0);
        close(slave);
        fcntl(master_, F_SETFL, O_NONBLOCK);
        setenv("CORVANE_DEVICE_DIR", devices_.c_str(), 1);
        ClearSerialState();
        ScanSerialDevices();
        ASSERT_EQ(comport.size(), 1u);
    }
    void TearDown() override {
        CloseSerialDescriptors();
        ClearSerialState();
        FinishPortCloses();
        if (master_ >= 0) close(master_);
        unsetenv("CORVANE_DEVICE_DIR");
        corvane_test::RemoveFolder(devices_);
    }
    // Everything the board's end can read now.
    std::string Drain() const { return corvane_test::ReadWaiting(master_); }

    std::string devices_;
    int master_ = -1;
};

// A 61-byte message stamped with its number.
std::string Message(int k) {
    std::string text = "~" + std::to_string(k) + "|";
    text.resize(60, static_cast<char>('a' + k % 26));
    return text + "\n";
}

TEST_F(SerialLine, FullLineDeliversWholeMessagesInOrderAndDropsWholeOnesPastItsLimit) {
    std::string accepted;
    int dropped = 0;
    int k = 0;
    for (; k < 4000 && dropped < 3; ++k) {
        const std::string message = Message(k);
        ASSERT_TRUE(SendToPort(0, message.data(), static_cast<int>(message.size())));
        if (bytes_sent == static_cast<int>(message.size()))
            accepted += message;
        else if (bytes_sent == -1)
            ++dropped;
        else
            FAIL() << "message " << k << " told as " << bytes_sent << " bytes sent";
    }
    ASSERT_EQ(dropped, 3) << "the line never filled";
    // The board reads again: what waits goes out as the line takes it, and nothing else first.
    std::string received;
    for (int pass = 0; pass < 1000 && received.size() < accepted.size(); ++pass) {
        received += Drain();
        PortTakesMore(0);
        usleep(1000);
    }
    received += Drain();
    EXPECT_EQ(received, accepted);
    EXPECT_TRUE(PortTakesMore(0));
    // Once the line takes everything, a message goes out at once.
    const std::string next = Message(k);
    ASSERT_TRUE(SendToPort(0, next.data(), static_cast<int>(next.size())));
    EXPECT_EQ(bytes_sent, static_cast<int>(next.size()));
    usleep(20000);
    EXPECT_EQ(Drain(), next);
}

TEST_F(SerialLine, WriteTheLineRefusesIsToldAsFailed) {
    const std::string message = Message(1);
    ASSERT_TRUE(SendToPort(0, message.data(), static_cast<int>(message.size())));
    EXPECT_EQ(bytes_sent, static_cast<int>(message.size()));
    close(master_);  // the board's end is gone: the terminal refuses every write
    master_ = -1;
    for (int k = 0; k < 3; ++k) {
        ASSERT_TRUE(SendToPort(0, message.data(), static_cast<int>(message.size())));
        EXPECT_EQ(bytes_sent, -1) << "send " << k;
    }
    EXPECT_TRUE(PortHungUp(comport[0]));
    EXPECT_FALSE(SendToPort(1, message.data(), static_cast<int>(message.size())));
}

}  // namespace
