// config.ini and data.cfg as text editors write them: a byte-order mark at the start, keys aligned
// with tabs, carriage returns.
#include <gtest/gtest.h>

#include "config/board_tables.h"
#include "config/settings.h"
#include "support/plugin_harness.h"
#include "transport/lan_socket.h"
#include "xphost.h"

namespace {

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

}  // namespace
