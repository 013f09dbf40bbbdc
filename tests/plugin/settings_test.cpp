// The settings file and the plug-in's folder: reading every key with the lenient parse, files as
// text editors write them (a byte-order mark, keys aligned with tabs, carriage returns), the
// folder from the plug-in's path in every layout X-Plane loads plug-ins from (with either system's
// separators), and `cmake --install` into X-Plane's plug-ins folder, which keeps the builder's own
// files.
#include "config/settings.h"

#include <gmock/gmock.h>

#include <filesystem>
#include <sstream>

#include "config/aircraft_profile.h"
#include "config/board_tables.h"
#include "config/plugin_folder.h"
#include "support/plugin_harness.h"
#include "transport/lan_socket.h"
#include "xphost.h"

using ::testing::HasSubstr;

namespace {

namespace fs = std::filesystem;

// Rows of settings text and the settings it leaves: the reset values with the row's changes.
TEST(Settings, KeysValuesAndTheLenientParse) {
    const char* const rows[][2] = {
        {"IP_ADDRESS = 127.0.0.1\r\nPORT = 49001\r\nUSB_BAUD = 57600\r\nUSB_DEVICE_COUNT = 2\r\n"
         "SCANNING_TIMEOUT = 90\r\nUSB_FIX = 1\r\nRESET_EVENTS = 0\r\n",
         "ip=127.0.0.1 port=49001 baud=57600 usb=2 scan=90 fix=1 reset=0"},
        {"SCANNING_TIMEOUT = 2 0 0\n", "scan=200"},
        {"SCANNING_TIMEOUT = 150;\nUSB_DEVICE_COUNT=0\n", "usb=0 scan=150"},
        {"SCANNING_TIMEOUT = 300 = 9\n", "scan=300"},
        {"scanning_timeout = 7\n#SCANNING_TIMEOUT = 8\n = 9\nSCANNING_TIMEOUT\n\n"
         "SCANNING_TIMEOUT = abc\nPORT = 99999999999\n #PORT = 6000\n",
         ""},
        {"USB_FIX = 1\nUSB_FIX = 7\nRESET_EVENTS = 0\nRESET_EVENTS = 1\n", "fix=1"},
        {"USB_FIX = 1\nUSB_FIX = 0\nUSB_FIX = yes\nRESET_EVENTS = 2\n", ""},
        {"USB_BAUD = 0\nPORT = -2147483648\n", "port=-2147483648 baud=0"},
        {"USB_BAUD = -5\nPORT = 4294967296\nIP_ADDRESS = 127.0.0.9\n", "ip=127.0.0.9"},
        {"PORT = 2147483647\nUSB_BAUD = 4294967295\nUSB_FIX = 1\n\xEF\xBB\xBFUSB_FIX = 0\n",
         "port=2147483647 baud=4294967295 fix=1"},
        {"USB_BAUD = 9600\nUSB_BAUD = 38400\nPORT = 1\nPORT = 2\n", "port=2 baud=38400"},
    };
    for (const auto& row : rows) {
        std::string expected = "ip= port=5080 baud=115200 usb=1024 scan=512 fix=0 reset=1 ";
        std::istringstream changes(row[1]);
        for (std::string change; changes >> change;) {
            const size_t at = expected.find(" " + change.substr(0, change.find('=') + 1)) + 1;
            expected.replace(at, expected.find(' ', at) - at, change);
        }
        ResetSettings();
        Baudrate = 115200;
        std::istringstream file(row[0]);
        ReadSettings(file);
        std::ostringstream got;
        got << "ip=" << SpecifiedIP << " port=" << UDP_PORT << " baud=" << Baudrate
            << " usb=" << USBcountVar << " scan=" << ScanTimeout << " fix=" << USB_FIX
            << " reset=" << RESET_EVENTS << " ";
        EXPECT_EQ(got.str(), expected) << row[0];
    }
    ResetSettings();
    EXPECT_EQ(Baudrate, 38400u);  // the reset keeps the speed the last row read
    SpecifiedIP = "auto";
    Baudrate = 115200;
}

TEST(EditorWrittenFiles, ByteOrderMarkAndTabsKeepTheAddressAndBindTheGivenPort) {
    const std::string bom = "\xEF\xBB\xBF";
    const std::string rows[][2] = {
        // config.ini up to PORT's value, data.cfg
        {bom + "IP_ADDRESS = 127.0.0.1\nUSB_DEVICE_COUNT = 0\nPORT = ", bom + "*3\n[I]\n"},
        {"IP_ADDRESS\t= 127.0.0.1\nUSB_DEVICE_COUNT\t\t=\t0\nPORT\t= ", "*3\r\n[I]\r\n"},
        {bom + "IP_ADDRESS\t\t= 127.0.0.1\t\r\nUSB_DEVICE_COUNT\t= 0\r\nPORT\t=\t",
         bom + "# my boards\r\n*3\r\n[I]\r\n"},
    };
    corvane_test::PluginRun run({});
    for (const auto& row : rows) {
        SCOPED_TRACE(row[0]);
        const int port = corvane_test::FreeUdpPort();
        corvane_test::WriteFile(run.folder() + "/config.ini",
                                row[0] + std::to_string(port) + "\r\n");
        corvane_test::WriteFile(run.folder() + "/data.cfg", row[1]);
        ASSERT_TRUE(xphost::ChooseMenu("Corvane/Reconnect"));
        // Checked before any flight-loop call: a lost address would search the real network.
        ASSERT_EQ(My_IP_str, "127.0.0.1");
        ASSERT_EQ(UDP_PORT, port);
        EXPECT_EQ(USBcountVar, 0);
        EXPECT_EQ(ArduinoID, std::vector<unsigned int>{3});

        boardsim::Options options = run.LanBoardOptions(25, 3);
        options.lanPort = options.pluginPort = port;
        boardsim::Board& board = run.AddBoard(options);
        board.SendIdentification();
        EXPECT_TRUE(run.CallUntil([&] { return board.boardNumber() == 1; }, 20));
        run.ForgetBoards();
    }
}

TEST(PluginFolderLayouts, FolderIsFoundFromThePathsComponents) {
    const char* const rows[][2] = {
        {"/X/Resources/plugins/Corvane/mac.xpl", "/X/Resources/plugins/Corvane"},
        {"/X/Resources/plugins/Corvane/64/lin.xpl", "/X/Resources/plugins/Corvane"},
        {"/X/Resources/plugins/Corvane/lin_x64/Corvane.xpl", "/X/Resources/plugins/Corvane"},
        {"/X/Resources/plugins/Corvane/mac_x64/Corvane.xpl", "/X/Resources/plugins/Corvane"},
        {"C:\\X-Plane 12\\Resources\\plugins\\Corvane\\win_x64\\Corvane.xpl",
         "C:\\X-Plane 12\\Resources\\plugins\\Corvane"},
        {"C:/X/Resources/plugins/Corvane/win_x64\\Corvane.XPL", "C:/X/Resources/plugins/Corvane"},
        {"/X/Resources/plugins/My Cockpit/lin_x64/Corvane.xpl", "/X/Resources/plugins/My Cockpit"},
        {"/X/Resources/plugins/Corvane/32/WIN.XPL", "/X/Resources/plugins/Corvane"},
        {"/X/Resources/plugins/Corvane/64", "/X/Resources/plugins/Corvane"},
        {"/X/plugins/Corvane", "/X/plugins/Corvane"},
        {"Z:\\tmp\\plugins\\Corvane/win_x64/Corvane.xpl", "Z:\\tmp\\plugins\\Corvane"},
        {"C:\\plugins\\Corvane\\Corvane.xpl", "C:\\plugins\\Corvane"},
        {"/p/Corvane", "/p/Corvane"},
        {"Corvane.xpl", "Corvane.xpl"},
        {"64", "64"},
        {"", ""},
    };
    for (const auto& row : rows) EXPECT_EQ(PluginFolderFromPath(row[0]), row[1]) << row[0];
}

// An aircraft's name is its model file's without folders and ".acf" in any case; its profile is
// found ignoring case, the file of exactly its case first, else the first in name order.
TEST(AircraftProfiles, NameAndProfileAreFoundIgnoringCase) {
    const std::string folder = corvane_test::MakeTempFolder("corvane-profiles");
    fs::create_directories(folder + "/profiles/B737.cfg");  // a folder is no profile
    for (const char* name :
         {"B738.cfg", "b738.cfg", "a320.CFG", "C172.cfg.example", "ZZ.cfg", ".cfg", "cfg"})
        corvane_test::WriteFile(folder + "/profiles/" + name, "");
    EXPECT_EQ(ProfileNames(folder),
              (std::vector<std::string>{"B738.cfg", "ZZ.cfg", "a320.CFG", "b738.cfg"}));
    const char* const rows[][3] = {{"B738.acf", "B738", "profiles/B738.cfg"},
                                   {"C:\\X\\b738.ACF", "b738", "profiles/b738.cfg"},
                                   {"Aircraft/A320/A320.acf", "A320", "profiles/a320.CFG"},
                                   {"a320.acf.bak", "a320.acf.bak", "data.cfg"},
                                   {"Aircraft/.acf", ".acf", "data.cfg"},
                                   {"zz.acf", "zz", "profiles/ZZ.cfg"},
                                   {"B737.acf", "B737", "data.cfg"},
                                   {"C172.acf", "C172", "data.cfg"}};
    for (const auto& row : rows) {
        EXPECT_EQ(AircraftNameOf(row[0]), row[1]) << row[0];
        EXPECT_EQ(ConfigFileFor(folder, AircraftNameOf(row[0])), row[2]) << row[0];
    }
    corvane_test::RemoveFolder(folder);
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
    const std::string profileExample = corvane_test::ReadFile(examples + "profiles/B738.cfg");
    EXPECT_EQ(corvane_test::ReadFile(folder + "/profiles/B738.cfg.example"), profileExample);
    corvane_test::WriteFile(folder + "/profiles/B738.cfg", "*1\r\n");

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
    EXPECT_EQ(corvane_test::ReadFile(folder + "/profiles/B738.cfg"), "*1\r\n");
    EXPECT_EQ(corvane_test::ReadFile(folder + "/profiles/B738.cfg.example"), profileExample);
    EXPECT_TRUE(fs::exists(folder + "/lin_x64/Corvane.xpl"));
    corvane_test::RemoveFolder(prefix);
}

}  // namespace
