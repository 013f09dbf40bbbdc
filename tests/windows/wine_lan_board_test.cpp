// The Windows Corvane.xpl as Windows' loader sees it: the functions it exports and the DLLs it
// imports, read with MinGW-w64's objdump. The checker corvane-check.exe installed beside it.
// The Windows plug-in in xphost.exe under Wine with a LAN board on loopback: the probe and the
// upload, inputs reaching the simulator, outputs byte for byte as the Linux build sends them,
// the memory file, the status window, Reconnect and the settings rewrite. And a board on a
// serial line: a pseudo-terminal mapped into the Wine prefix as COM10, found by the device scan,
// configured (the line settings read back from the terminal), and served both ways.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <set>
#include <sstream>

#include "support/plugin_harness.h"
#include "windows/wine_host.h"
#include "xphost.h"

using ::testing::HasSubstr;

namespace corvane_wine {
namespace {

TEST(WindowsPlugin, ExportsTheEntryPointsAndImportsOnlyTheSimulatorAndSystemDlls) {
    std::string tables;
    corvane_test::RunCommand("'" CORVANE_MINGW_OBJDUMP "' -p '" CORVANE_WIN_XPL "'", &tables);
    std::set<std::string> exported, imported;
    std::istringstream lines(tables);
    bool inExports = false;
    for (std::string line; std::getline(lines, line);) {
        if (line.empty()) inExports = false;
        if (line.find("[Ordinal/Name Pointer] Table") != std::string::npos) {
            inExports = true;
            continue;
        }
        const size_t bracket = line.find("] ");
        if (inExports && bracket != std::string::npos) exported.insert(line.substr(bracket + 2));
        const size_t dll = line.find("DLL Name: ");
        if (dll == std::string::npos) continue;
        for (char& c : line) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
        imported.insert(line.substr(dll + 10));
    }
    EXPECT_EQ(exported,
              (std::set<std::string>{"XPluginDisable", "XPluginEnable", "XPluginReceiveMessage",
                                     "XPluginStart", "XPluginStop"}));
    EXPECT_EQ(imported.count("XPLM_64.DLL"), 1u);
    EXPECT_EQ(imported.count("XPWIDGETS_64.DLL"), 1u);
    // No MinGW runtime DLL (libstdc++, libgcc, winpthread): only what every Windows has.
    const std::set<std::string> allowed = {"XPLM_64.DLL",  "XPWIDGETS_64.DLL", "KERNEL32.DLL",
                                           "WS2_32.DLL",   "IPHLPAPI.DLL",     "ADVAPI32.DLL",
                                           "SETUPAPI.DLL", "MSVCRT.DLL",       "UCRTBASE.DLL",
                                           "MSWSOCK.DLL",  "SHELL32.DLL"};
    for (const std::string& dll : imported)
        EXPECT_TRUE(allowed.count(dll) || dll.rfind("API-MS-WIN-CRT-", 0) == 0) << dll;
    // X-Plane 12's calls are found at run time, never imported: the plug-in loads in X-Plane 11.
    EXPECT_THAT(tables, HasSubstr("XPLMFindSymbol"));
    for (const char* call : {"XPLMCountDataRefs", "XPLMGetDataRefsByIndex", "XPLMGetDataRefInfo"})
        EXPECT_THAT(tables, ::testing::Not(HasSubstr(call)));
}

// Installed with the plug-in into X-Plane's plug-ins folder, corvane-check.exe finds X-Plane's
// lists from its own folder, wherever it is started, and names a misspelt dataref.
TEST(WindowsChecker, InstalledBesideThePluginItReadsXPlanesLists) {
    const std::string xplane = corvane_test::MakeTempFolder("corvane-wine-xplane");
    const std::string plugins = xplane + "/Resources/plugins", cfg = plugins + "/Corvane/data.cfg";
    std::string output;
    ASSERT_EQ(
        corvane_test::RunCommand(
            "cmake --install '" CORVANE_WIN_BUILD "' --prefix '" + plugins + "' 2>&1", &output),
        0)
        << output;
    EXPECT_EQ(corvane_test::ReadFile(plugins + "/Corvane/win_x64/Corvane.xpl").substr(0, 2), "MZ");
    corvane_test::WriteFile(plugins + "/DataRefs.txt",
                            "2 120100\nsim/cockpit2/switches/landing_lights_on\tint\ty\n");
    corvane_test::WriteFile(plugins + "/Commands.txt", "sim/lights/taxi_lights_toggle\tTaxi\n");
    corvane_test::WriteFile(cfg, "*1\n[I]\nD5+ sim/cockpit2/switches/landing_lite_on 1\n");
    UseTestPrefix();
    output.clear();
    EXPECT_EQ(corvane_test::RunCommand("cd / && '" CORVANE_WINE "' '" + plugins +
                                           "/Corvane/corvane-check.exe' --quiet '" + cfg +
                                           "' 2>/dev/null",
                                       &output),
              1);
    EXPECT_THAT(output, HasSubstr("data.cfg:3: suspect: 'sim/cockpit2/switches/landing_lite_on' "
                                  "is not a command or dataref of the simulator: it becomes an "
                                  "internal input; did you mean "
                                  "sim/cockpit2/switches/landing_lights_on?"));
    corvane_test::RemoveFolder(xplane);
}

using Frames = std::vector<std::string>;

// Board 3: a command button, an analog axis, a memory store and recall, an LED and a number.
const char* const kSection =
    "[I]\n"
    "D5 sim/lights/landing_lights_toggle\n"
    "A2 sim/test/float 0,100\n"
    "M12 sim/test/nav1 3\n"
    "P12 sim/test/nav1\n"
    "[O]\n"
    "7L 0 sim/test/int\n"
    "8 2 sim/test/float\n"
    "9L 0 addon/lamp\n";
const char* const kDatarefs =
    "sim/test/float float rw 0\n"
    "sim/test/int int rw 0\n"
    "sim/test/nav1 float rw 0\n"
    "command sim/lights/landing_lights_toggle Landing lights\n";

boardsim::Options BoardOptions(boardsim::Options options) {
    options.configSection = kSection;
    options.autoGate = true;
    return options;
}

// The output frames a board gets while the datarefs of its outputs take a few values (set gives
// both the value and runs a few frames).
Frames OutputFrames(const boardsim::Board& board, const std::function<void(const char*)>& set) {
    Frames frames;
    for (const char* value : {"1", "0", "2.5", "-7.25", "1234.5"}) {
        const size_t from = board.received().size();
        set(value);
        const Frames all = board.received();
        for (size_t k = from; k < all.size(); ++k)
            if (all[k].size() > 2 && all[k][0] == '{') frames.push_back(all[k]);
    }
    return frames;
}

// The same board and values with the Linux build, in-process.
Frames LinuxOutputFrames() {
    corvane_test::PluginOptions options(std::string("*3\n") + kSection);
    options.extraDatarefs = kDatarefs;
    corvane_test::PluginRun run(options);
    boardsim::Board& board = run.AddBoard(BoardOptions(run.LanBoardOptions(25, 3)));
    if (!run.ConnectAll(400) || !run.CallUntil([&] { return board.gateLetter() != 0; }, 50))
        return {"no connection"};
    run.Call(2);
    return OutputFrames(board, [&](const char* value) {
        xphost::SetDataref("sim/test/int", value);
        xphost::SetDataref("sim/test/float", value);
        run.Call(2);
    });
}

TEST(WineLanBoard, HandshakeInputsOutputsFilesStatusAndReconnect) {
    WineHost host({std::string("*3\n") + kSection, "USB_DEVICE_COUNT = 0\n", kDatarefs});
    ASSERT_TRUE(host.running());
    EXPECT_THAT(host.Ask("run 1.05"), HasSubstr("ok: time 1.050 s"));
    boardsim::Board& board = host.AddLanBoard(25, 3, BoardOptions({}));
    ASSERT_TRUE(host.CallUntil([&] { return board.boardNumber() == 1; }));
    EXPECT_GE(board.probeCount(), 1);
    ASSERT_EQ(board.uploadCount(), 1);  // 61 bytes, ending in the board number
    EXPECT_EQ(board.pinModes()[5], 1);  // an input
    EXPECT_EQ(board.pinModes()[7], 7);  // an LED
    ASSERT_TRUE(host.CallUntil([&] { return board.gateLetter() != 0; }, 50));
    host.Call(2);

    const auto set = [&](const std::string& name, const std::string& value) {
        host.Ask("set " + name + " " + value);
    };
    const Frames frames = OutputFrames(board, [&](const char* value) {
        set("sim/test/int", value);
        set("sim/test/float", value);
        host.Call(2);
    });
    EXPECT_FALSE(frames.empty());
    EXPECT_EQ(frames, LinuxOutputFrames());

    host.Ask("trace");
    board.SendInput("D5");
    host.Call();
    EXPECT_THAT(host.Ask("trace"), HasSubstr("sim/lights/landing_lights_toggle begin plugin"));
    board.MoveAxis("A2", 500);
    host.Call();
    EXPECT_EQ(host.Ask("get sim/test/float"), "sim/test/float = 50\n");
    // Wine's socket may hand a datagram over a frame later.
    const std::string memory = host.folder() + "/memory0.txt";
    for (const char* value : {"118.25", "121.5"}) {
        set("sim/test/nav1", value);
        board.SendInput("M12");
        const std::string stored = std::string("12 ") + value;
        host.CallUntil([&] { return corvane_test::ReadFile(memory).rfind(stored, 0) == 0; }, 20);
    }
    EXPECT_EQ(corvane_test::ReadFile(memory), "12 121.5,118.25\r\n");

    // An aircraft's dataref that comes late lights its LED (X-Plane 12 tells of new datarefs),
    // and X-Plane 12's list of every dataref, found at run time, names it.
    host.Ask("register addon/lamp int rw 1");
    EXPECT_TRUE(host.CallUntil([&] { return board.leds()[9]; }, 5));
    host.Ask("menu Corvane/Write dataref list");
    EXPECT_THAT(corvane_test::ReadFile(host.folder() + "/datarefs-live.txt"),
                HasSubstr("\naddon/lamp\tint\ty\n"));

    host.Ask("menu Corvane/Status");
    const std::string window = host.Ask("window");
    EXPECT_THAT(window, HasSubstr("   X-Plane IP: 127.0.0.1\n"));
    EXPECT_THAT(window, HasSubstr("Connected to"));
    host.Ask("click Reconnect");
    ASSERT_TRUE(host.CallUntil([&] { return board.uploadCount() == 2; }));
    host.Call(3);
    board.SendInput("P12");
    const std::string recalled = "sim/test/nav1 = 121.5\n";
    EXPECT_TRUE(host.CallUntil([&] { return host.Ask("get sim/test/nav1") == recalled; }, 20));

    // The USB check box rewrites config.ini (through a temporary file moved over it).
    const std::string settings = corvane_test::ReadFile(host.folder() + "/config.ini");
    host.Ask("check 1 Enable USB");
    EXPECT_THAT(corvane_test::ReadFile(host.folder() + "/config.ini"),
                ::testing::Not(HasSubstr("USB_DEVICE_COUNT")));
    host.Ask("check 0 Enable USB");
    EXPECT_EQ(corvane_test::ReadFile(host.folder() + "/config.ini"), settings);

    std::string log;
    EXPECT_EQ(host.Quit(&log), 0);
    EXPECT_THAT(log, HasSubstr("Corvane Plugin initialized"));
    EXPECT_THAT(log, HasSubstr("Corvane reconnecting..."));
}

TEST(WineSerialBoard, BoardOnAComPortIsFoundConfiguredAndServed) {
    const std::string devices = corvane_test::MakeTempFolder("corvane-wine-dev");
    boardsim::Options options = BoardOptions({});
    options.serialLink = devices + "/ttyUSB0";
    options.boardId = 3;
    boardsim::Board board(options);
    ASSERT_TRUE(board.ok()) << board.error();
    MapComPort("COM10", board.slavePath());
    // The terminal starts with settings no board speaks: slow, 7 bits, odd parity, both handshakes.
    // Reads the line's settings, or sets them.
    const auto lineSettings = [&](const termios* set = nullptr) {
        termios settings{};
        const int fd = open(board.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        EXPECT_EQ(set ? tcsetattr(fd, TCSANOW, set) : tcgetattr(fd, &settings), 0);
        close(fd);
        return settings;
    };
    termios start = lineSettings();
    cfsetispeed(&start, B4800);
    cfsetospeed(&start, B4800);
    start.c_cflag = (start.c_cflag & ~CSIZE) | CS7 | PARENB | PARODD | CRTSCTS;
    start.c_iflag |= IXON | IXOFF;
    lineSettings(&start);
    {
        WineHost host({std::string("*3\n") + kSection, "USB_DEVICE_COUNT = 1\nUSB_BAUD = 57600\n",
                       kDatarefs});
        ASSERT_TRUE(host.running());
        host.Watch(board);
        host.Ask("run 1.05");
        EXPECT_TRUE(host.CallUntil([&] { return board.boardNumber() == 1; }));
        EXPECT_TRUE(host.CallUntil([&] { return board.gateLetter() != 0; }, 100));
        // The port as it reports its line back: the settings' speed, 8 bits, no parity, no
        // handshake of either kind.
        const termios line = lineSettings();
        EXPECT_EQ(cfgetospeed(&line), static_cast<speed_t>(B57600));
        EXPECT_EQ(line.c_cflag & (CSIZE | PARENB | CRTSCTS), static_cast<tcflag_t>(CS8));
        EXPECT_EQ(line.c_iflag & (IXON | IXOFF), 0u);
        host.Ask("set sim/test/int 1");
        EXPECT_TRUE(host.CallUntil([&] { return board.leds()[7]; }, 20));
        host.Ask("trace");
        board.SendInput("D5");
        host.Call(3);
        EXPECT_THAT(host.Ask("trace"), HasSubstr("sim/lights/landing_lights_toggle begin plugin"));
        host.Ask("menu Corvane/Status");
        EXPECT_THAT(host.Ask("window"), HasSubstr("1. USB Arduino #3"));

        std::string log;
        EXPECT_EQ(host.Quit(&log), 0);
        EXPECT_THAT(log, HasSubstr("Corvane: Serial port COM10 opened"));
        // The port that fails to open is logged by its name, with the system's own words for it.
        EXPECT_THAT(log, HasSubstr("open_port: Unable to open serial port - COM43: "));
        EXPECT_THAT(log, ::testing::Not(HasSubstr("Unable to open serial port - COM43: error ")));
        EXPECT_THAT(log, ::testing::Not(HasSubstr("COMA")));
    }
    MapComPort("COM10", "");
    corvane_test::RemoveFolder(devices);
}

}  // namespace
}  // namespace corvane_wine
