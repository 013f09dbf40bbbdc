// The settings file and the plug-in's folder: reading every key with the lenient parse, the USB
// check box rewrite (in-process and through the status window), files as text editors write them
// (a byte-order mark, keys aligned with tabs, carriage returns), the folder from the plug-in's
// path in every layout X-Plane loads plug-ins from (with either system's separators), and
// `cmake --install` into X-Plane's plug-ins folder, which keeps the builder's own files.
#include "config/settings.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>

#include "config/board_tables.h"
#include "config/plugin_folder.h"
#include "config/status_text.h"
#include "support/plugin_harness.h"
#include "transport/lan_socket.h"
#include "transport/serial_ports.h"
#include "xphost.h"

using ::testing::HasSubstr;
using ::testing::Not;

namespace {

namespace fs = std::filesystem;

// Rows of settings text and the settings it leaves: the reset values with the row's changes.
TEST(Settings, KeysValuesAndTheLenientParse) {
    const struct {
        const char* text;
        const char* changes;
    } rows[] = {
        {"IP_ADDRESS = 127.0.0.1\r\nPORT = 49001\r\nUSB_BAUD = 57600\r\nUSB_DEVICE_COUNT = 2\r\n"
         "SCANNING_TIMEOUT = 90\r\nUSB_FIX = 1\r\nRESET_EVENTS = 0\r\n",
         "ip=127.0.0.1 port=49001 baud=57600 usb=2 scan=90 fix=1 reset=0"},
        {"", ""},
        {"SCANNING_TIMEOUT = 2 0 0\n", "scan=200"},
        {"SCANNING_TIMEOUT = 150;\nUSB_DEVICE_COUNT=0\n", "usb=0 scan=150"},
        {"SCANNING_TIMEOUT = 300 = 9\n", "scan=300"},
        {"scanning_timeout = 7\n#SCANNING_TIMEOUT = 8\n = 9\nSCANNING_TIMEOUT\n\n"
         "SCANNING_TIMEOUT = abc\nPORT = 99999999999\n #PORT = 6000\n",
         ""},
        {"USB_FIX = yes\nRESET_EVENTS = 2\n", ""},
        {"USB_FIX = 1\nUSB_FIX = 7\nRESET_EVENTS = 0\nRESET_EVENTS = 1\n", "fix=1"},
        {"USB_FIX = 1\nUSB_FIX = 0\n", ""},
        {"USB_BAUD = 9600\nUSB_BAUD = 38400\nPORT = 1\nPORT = 2\n", "port=2 baud=38400"},
        {"USB_BAUD = 0\nPORT = -2147483648\n", "port=-2147483648 baud=0"},
        {"USB_BAUD = -5\nPORT = 4294967296\nIP_ADDRESS = 127.0.0.9\n", "ip=127.0.0.9"},
    };
    for (const auto& row : rows) {
        std::string expected = "ip= port=5080 baud=115200 usb=1024 scan=512 fix=0 reset=1 ";
        std::istringstream changes(row.changes);
        for (std::string change; changes >> change;) {
            const size_t at = expected.find(" " + change.substr(0, change.find('=') + 1)) + 1;
            expected.replace(at, expected.find(' ', at) - at, change);
        }
        ResetSettings();
        Baudrate = 115200;
        std::istringstream file(row.text);
        ReadSettings(file);
        EXPECT_EQ("ip=" + SpecifiedIP + " port=" + std::to_string(UDP_PORT) +
                      " baud=" + std::to_string(Baudrate) + " usb=" + std::to_string(USBcountVar) +
                      " scan=" + std::to_string(ScanTimeout) + " fix=" + std::to_string(USB_FIX) +
                      " reset=" + std::to_string(RESET_EVENTS) + " ",
                  expected)
            << row.text;
    }
    std::istringstream speed("USB_BAUD = 38400\n");
    ReadSettings(speed);
    ResetSettings();
    EXPECT_EQ(Baudrate, 38400u);  // the reset keeps the speed
    SpecifiedIP = "auto";
    Baudrate = 115200;
}

// Clearing appends exactly one line and keeps every other byte; setting removes every USB line
// but a commented one. (A failed write and a missing file: UsbCheckBoxSettings.)
TEST(UsbRewrite, RewriteKeepsEveryOtherLine) {
    foldername = corvane_test::MakeTempFolder("corvane-settings");
    const std::string path = foldername + "/config.ini";
    const std::string mine = "# my cockpit\r\nIP_ADDRESS = 127.0.0.1\r\n\r\nPORT = 49001\r\n";
    const struct {
        std::string before;
        int value;
        std::string after;
    } rows[] = {
        {mine, 0, mine + "USB_DEVICE_COUNT = 0\n"},
        {"PORT = 1\nUSB_DEVICE_COUNT = 0\n#USB_DEVICE_COUNT = 3\n USB_DEVICE_COUNT=2\nUSB_FIX = 1",
         1, "PORT = 1\n#USB_DEVICE_COUNT = 3\nUSB_FIX = 1\n"},
    };
    for (const auto& row : rows) {
        corvane_test::WriteFile(path, row.before);
        EXPECT_TRUE(RewriteUsbSetting(row.value));
        EXPECT_EQ(corvane_test::ReadFile(path), row.after);
    }
    corvane_test::RemoveFolder(foldername);
    foldername.clear();
}

void FailedRewriteThenMissingFile() {
    const std::string devices = corvane_test::MakeTempFolder("corvane-dev");
    setenv("CORVANE_DEVICE_DIR", devices.c_str(), 1);
    boardsim::Options serial;
    serial.serialLink = devices + "/ttyUSB0";
    serial.boardId = 4;
    boardsim::Board board(serial);
    ASSERT_TRUE(board.ok()) << board.error();
    corvane_test::PluginOptions options;
    options.usbOff = false;
    auto run = std::make_unique<corvane_test::PluginRun>(options);
    run->Watch(board);
    ASSERT_TRUE(run->ConnectAll(200));
    ASSERT_TRUE(xphost::ChooseMenu("Corvane/Status"));
    const std::string settingsPath = run->folder() + "/config.ini";
    const std::string settings = corvane_test::ReadFile(settingsPath);

    // A folder where the new file would be written first makes the rewrite fail.
    ASSERT_EQ(mkdir((settingsPath + ".tmp").c_str(), 0755), 0);
    const size_t logged = xphost::DebugLog().size();
    ASSERT_TRUE(xphost::SetCheckBox("Enable USB", 0));
    EXPECT_EQ(xphost::CheckBoxState("Enable USB"), 1);
    EXPECT_EQ(StatusLine(13),
              "   Last message received from device Corvane: config.ini could not be written, USB "
              "stays on");
    EXPECT_THAT(xphost::WindowText(), HasSubstr("could not be written"));
    const std::string log = xphost::DebugLog().substr(logged);
    EXPECT_THAT(log, HasSubstr("Corvane: Could not write " + settingsPath + "\n"));
    EXPECT_THAT(log, Not(HasSubstr("reconnecting")));
    EXPECT_EQ(corvane_test::ReadFile(settingsPath), settings);
    ASSERT_EQ(comport.size(), 1u);
    EXPECT_GE(comport[0], 0);

    // Without config.ini, clearing the box creates it with the one line and frees the port.
    rmdir((settingsPath + ".tmp").c_str());
    ASSERT_EQ(unlink(settingsPath.c_str()), 0);
    ASSERT_TRUE(xphost::SetCheckBox("Enable USB", 0));
    EXPECT_EQ(corvane_test::ReadFile(settingsPath), "USB_DEVICE_COUNT = 0\n");
    EXPECT_THAT(xphost::DebugLog().substr(logged), HasSubstr("reconnecting"));
    EXPECT_EQ(USBcountVar, 0);
    EXPECT_TRUE(comport.empty());
    EXPECT_EQ(xphost::CheckBoxState("Enable USB"), 0);

    run.reset();
    unsetenv("CORVANE_DEVICE_DIR");
    corvane_test::RemoveFolder(devices);
}

TEST(UsbCheckBoxSettings, FailedRewriteChangesNothingAndAMissingFileIsCreated) {
    const int result = corvane_test::InOwnNetwork("", FailedRewriteThenMissingFile);
    if (result == 77) GTEST_SKIP() << "no network namespace of its own";
    EXPECT_EQ(result, 0);
}

TEST(EditorWrittenFiles, ByteOrderMarkAndTabsKeepTheAddressAndBindTheGivenPort) {
    const std::string bom = "\xEF\xBB\xBF";
    struct Row {
        std::string settings;  // PORT's value follows
        std::string dataCfg;
    };
    const Row rows[] = {
        {bom + "IP_ADDRESS = 127.0.0.1\nUSB_DEVICE_COUNT = 0\nPORT = ", bom + "*3\n[I]\n"},
        {"IP_ADDRESS\t= 127.0.0.1\nUSB_DEVICE_COUNT\t\t=\t0\nPORT\t= ", "*3\r\n[I]\r\n"},
        {bom + "IP_ADDRESS\t\t= 127.0.0.1\t\r\nUSB_DEVICE_COUNT\t= 0\r\nPORT\t=\t",
         bom + "# my boards\r\n*3\r\n[I]\r\n"},
    };
    corvane_test::PluginRun run({});
    for (const Row& row : rows) {
        SCOPED_TRACE(row.settings);
        const int port = corvane_test::FreeUdpPort();
        corvane_test::WriteFile(run.folder() + "/config.ini",
                                row.settings + std::to_string(port) + "\r\n");
        corvane_test::WriteFile(run.folder() + "/data.cfg", row.dataCfg);
        ASSERT_TRUE(xphost::ChooseMenu("Corvane/Reconnect"));
        // Checked before any flight-loop call: a lost address would search the real network.
        ASSERT_EQ(My_IP_str, "127.0.0.1");
        ASSERT_EQ(UDP_PORT, port);
        EXPECT_EQ(USBcountVar, 0);
        ASSERT_EQ(ArduinoID.size(), 1u);
        EXPECT_EQ(ArduinoID[0], 3u);

        boardsim::Options options = run.LanBoardOptions(25, 3);
        options.lanPort = options.pluginPort = port;
        boardsim::Board& board = run.AddBoard(options);
        board.SendIdentification();
        EXPECT_TRUE(run.CallUntil([&] { return board.boardNumber() == 1; }, 20));
        run.ForgetBoards();
    }
}

TEST(PluginFolderLayouts, FolderIsFoundFromThePathsComponents) {
    const struct {
        const char* path;
        const char* folder;
    } rows[] = {
        {"/X/Resources/plugins/Corvane/mac32.xpl", "/X/Resources/plugins/Corvane"},
        {"/X/Resources/plugins/Corvane/mac.xpl", "/X/Resources/plugins/Corvane"},
        {"/X/Resources/plugins/Corvane/64/lin.xpl", "/X/Resources/plugins/Corvane"},
        {"/X/Resources/plugins/Corvane/64/mac.xpl", "/X/Resources/plugins/Corvane"},
        {"/X/Resources/plugins/Corvane/lin_x64/Corvane.xpl", "/X/Resources/plugins/Corvane"},
        {"/X/Resources/plugins/Corvane/mac_x64/Corvane.xpl", "/X/Resources/plugins/Corvane"},
        {"C:\\X-Plane 12\\Resources\\plugins\\Corvane\\win_x64\\Corvane.xpl",
         "C:\\X-Plane 12\\Resources\\plugins\\Corvane"},
        {"C:/X/Resources/plugins/Corvane/win_x64\\Corvane.XPL", "C:/X/Resources/plugins/Corvane"},
        {"/X/Resources/plugins/My Cockpit/lin_x64/Corvane.xpl", "/X/Resources/plugins/My Cockpit"},
        {"/X/Resources/plugins/Corvane/32/WIN.XPL", "/X/Resources/plugins/Corvane"},
        {"/X/Resources/plugins/Corvane/64", "/X/Resources/plugins/Corvane"},
        {"/X/plugins/Corvane.xpl", "/X/plugins"},
        {"/X/plugins/Corvane", "/X/plugins/Corvane"},
        {"C:\\X-Plane 12\\Resources\\plugins\\Corvane\\64\\win.xpl",
         "C:\\X-Plane 12\\Resources\\plugins\\Corvane"},
        {"Z:\\tmp\\plugins\\Corvane/win_x64/Corvane.xpl", "Z:\\tmp\\plugins\\Corvane"},
        {"C:\\plugins\\Corvane\\Corvane.xpl", "C:\\plugins\\Corvane"},
        {"/p/Corvane", "/p/Corvane"},
        {"Corvane.xpl", "Corvane.xpl"},
        {"64", "64"},
        {"", ""},
    };
    for (const auto& row : rows) EXPECT_EQ(PluginFolderFromPath(row.path), row.folder) << row.path;
}

// Installs the build tree that holds the built plug-in (…/build/Corvane/lin_x64/Corvane.xpl)
// into prefix; the install's output, or "" when it failed.
std::string Install(const std::string& prefix) {
    const fs::path build = fs::path(CORVANE_PLUGIN_XPL).parent_path().parent_path().parent_path();
    const std::string command =
        "cmake --install '" + build.string() + "' --prefix '" + prefix + "' 2>&1";
    std::string output;
    return corvane_test::RunCommand(command, &output) == 0 ? output : "";
}

TEST(InstallKeepsUserFiles, SecondInstallKeepsEditedFilesAndLaysTheExamplesBeside) {
    const std::string prefix = corvane_test::MakeTempFolder("corvane-install");
    const std::string folder = prefix + "/Corvane";
    const std::string examples = std::string(CORVANE_SOURCE_DIR) + "/examples/install/";
    ASSERT_NE(Install(prefix), "");
    const std::string plugin = corvane_test::ReadFile(folder + "/lin_x64/Corvane.xpl");
    ASSERT_FALSE(plugin.empty());
    EXPECT_EQ(plugin.find(".debug_info"), std::string::npos);  // stripped
    EXPECT_EQ(plugin.find(".symtab"), std::string::npos);

    const char* const names[] = {"config.ini", "data.cfg"};
    for (const char* name : names) {
        EXPECT_EQ(corvane_test::ReadFile(folder + "/" + name),
                  corvane_test::ReadFile(examples + name));
        EXPECT_FALSE(fs::exists(folder + "/" + name + ".example"));
        corvane_test::WriteFile(folder + "/" + name, std::string("# mine\r\n\xEF\xBB\xBF") + name);
    }
    corvane_test::WriteFile(folder + "/memory0.txt", "12 118.25\r\n");

    for (int round = 0; round < 2; ++round) {
        const std::string output = Install(prefix);
        ASSERT_NE(output, "");
        for (const char* name : names) {
            EXPECT_EQ(corvane_test::ReadFile(folder + "/" + name),
                      std::string("# mine\r\n\xEF\xBB\xBF") + name);
            EXPECT_EQ(corvane_test::ReadFile(folder + "/" + name + ".example"),
                      corvane_test::ReadFile(examples + name));
            EXPECT_THAT(output, HasSubstr(std::string("Keeping your ") + folder + "/" + name));
        }
    }
    EXPECT_EQ(corvane_test::ReadFile(folder + "/memory0.txt"), "12 118.25\r\n");
    EXPECT_TRUE(fs::exists(folder + "/lin_x64/Corvane.xpl"));
    corvane_test::RemoveFolder(prefix);
}

}  // namespace
