// The Windows plug-in in xphost.exe under Wine with a LAN board on loopback: the probe and the
// upload, inputs reaching the simulator, outputs byte for byte as the Linux build sends them,
// the memory file, the status window, Reconnect and the settings rewrite.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/plugin_harness.h"
#include "windows/wine_cockpit.h"
#include "windows/wine_host.h"
#include "xphost.h"

using ::testing::HasSubstr;

namespace corvane_wine {
namespace {

using Frames = std::vector<std::string>;

boardsim::Options BoardOptions(boardsim::Options options) {
    options.configSection = kSection;
    options.autoGate = true;
    return options;
}

// The output frames a board gets while the datarefs of its outputs take a few values.
Frames OutputFrames(const boardsim::Board& board,
                    const std::function<void(const std::string&, const std::string&)>& set,
                    const std::function<void()>& call) {
    Frames frames;
    for (const char* value : {"1", "0", "2.5", "-7.25", "1234.5"}) {
        const size_t from = board.received().size();
        set("sim/test/int", value);
        set("sim/test/float", value);
        call();
        const Frames all = board.received();
        for (size_t k = from; k < all.size(); ++k)
            if (all[k].size() > 2 && all[k][0] == '{') frames.push_back(all[k]);
    }
    return frames;
}

// The same board and values with the Linux build, in-process.
Frames LinuxOutputFrames() {
    corvane_test::PluginOptions options;
    options.dataCfg = std::string("*3\n") + kSection;
    options.extraDatarefs = kDatarefs;
    corvane_test::PluginRun run(options);
    boardsim::Board& board = run.AddBoard(BoardOptions(run.LanBoardOptions(25, 3)));
    if (!run.ConnectAll(400) || !run.CallUntil([&] { return board.gateLetter() != 0; }, 50))
        return {"no connection"};
    run.Call(2);
    return OutputFrames(
        board, [](const std::string& name, const std::string& v) { xphost::SetDataref(name, v); },
        [&] { run.Call(2); });
}

std::string Upload(const boardsim::Board& board) {
    for (const std::string& message : board.received())
        if (message.size() == 61 && message[0] == '~') return message;
    return "";
}

TEST(WineLanBoard, HandshakeInputsOutputsFilesStatusAndReconnect) {
    WineHost host({std::string("*3\n") + kSection, "USB_DEVICE_COUNT = 0\n", kDatarefs});
    ASSERT_TRUE(host.running());
    EXPECT_THAT(host.Ask("run 1.05"), HasSubstr("ok: time 1.050 s"));
    boardsim::Board& board = host.AddBoard(BoardOptions(host.LanBoardOptions(25, 3)));
    ASSERT_TRUE(host.CallUntil([&] { return board.boardNumber() == 1; }));
    EXPECT_GE(board.probeCount(), 1);
    const std::string upload = Upload(board);
    ASSERT_EQ(upload.size(), 61u);
    EXPECT_EQ(upload[1 + 5], 1);  // pin 5: an input
    EXPECT_EQ(upload[1 + 7], 7);  // pin 7: an LED
    EXPECT_EQ(upload[60], 1);     // board number
    ASSERT_TRUE(host.CallUntil([&] { return board.gateLetter() != 0; }, 50));
    host.Call(2);

    const auto set = [&](const std::string& name, const std::string& value) {
        host.Ask("set " + name + " " + value);
    };
    const Frames frames = OutputFrames(board, set, [&] { host.Call(2); });
    EXPECT_FALSE(frames.empty());
    EXPECT_EQ(frames, LinuxOutputFrames());

    host.Ask("trace");
    board.SendInput("D5");
    host.Call();
    EXPECT_THAT(host.Ask("trace"), HasSubstr("sim/lights/landing_lights_toggle begin plugin"));
    board.MoveAxis("A2", 500);
    host.Call();
    EXPECT_EQ(host.Ask("get sim/test/float"), "sim/test/float = 50\n");
    for (const char* value : {"118.25", "121.5"}) {
        set("sim/test/nav1", value);
        board.SendInput("M12");
        host.Call();
    }
    EXPECT_EQ(corvane_test::ReadFile(host.folder() + "/memory0.txt"), "12 121.5,118.25\r\n");

    host.Ask("menu Corvane/Status");
    const std::string window = host.Ask("window");
    EXPECT_THAT(window, HasSubstr("   X-Plane IP: 127.0.0.1\n"));
    EXPECT_THAT(window, HasSubstr("Connected to"));
    host.Ask("click Reconnect");
    ASSERT_TRUE(host.CallUntil([&] { return board.uploadCount() == 2; }));
    host.Call(3);
    board.SendInput("P12");
    host.Call();
    EXPECT_EQ(host.Ask("get sim/test/nav1"), "sim/test/nav1 = 121.5\n");

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

}  // namespace
}  // namespace corvane_wine
