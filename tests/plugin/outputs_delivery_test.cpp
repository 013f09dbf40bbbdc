// The output pass end to end: the plug-in in the host, emulated boards on loopback reading what
// it sends, and the outputs configured in data.cfg.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "config/board_tables.h"
#include "exchange/identification.h"
#include "support/plugin_harness.h"
#include "xphost.h"

namespace {

using namespace std::string_literals;

const char* const kSources =
    "sim/cockpit2/controls/flap_ratio float rw 0\n"
    "sim/flightmodel2/controls/flap_handle_deploy_ratio float rw 0\n"
    "sim/cockpit2/autopilot/altitude_hold_status int rw 0\n"
    "test/value float rw 1\n"
    "test/other float rw 0.5\n"
    "test/ident byte[80] rw\n"
    "test/level float rw 0\n";

corvane_test::PluginOptions Options(const std::string& dataCfg) {
    corvane_test::PluginOptions options(dataCfg);
    options.extraDatarefs = kSources;
    return options;
}

// An Arduino board at 127.0.0.host that holds section and opens its output gate after the upload.
boardsim::Board& AddBoard(corvane_test::PluginRun& run, int host, const std::string& section,
                          int id = 3) {
    boardsim::Options options = run.LanBoardOptions(host, id);
    options.configSection = section;
    options.autoGate = true;
    options.recordEmptyFrames = true;
    return run.AddBoard(options);
}

// Output frames that carry records, from message `from` on, or their first `keep` bytes.
std::vector<std::string> Frames(const boardsim::Board& board, size_t from = 0,
                                size_t keep = std::string::npos) {
    std::vector<std::string> frames;
    const std::vector<std::string> all = board.received();
    for (size_t k = from; k < all.size(); ++k)
        if (all[k].size() > 2 && all[k][0] == '{') frames.push_back(all[k].substr(0, keep));
    return frames;
}

// Three Arduino boards and a panel in one flight: empty frames and the panel's silence, twelve
// changes as nine records then three, a restarted board getting everything again, the own
// datarefs, displays, steppers, PWM and port LEDs.
TEST(OutputBoards, OneFlightWithThreeBoardsAndAPanel) {
    const std::string three =
        "*3\n[O]\n5L 0 test/value\n6 1 test/other\n8L 0 corvane/flaps_in_transition\n"
        "7L 0 corvane/altitude_hold_status\n";
    std::string four = "*4\n[O]\n";
    for (int pin = 20; pin < 32; ++pin) four += std::to_string(pin) + " 2 test/value\n";
    const std::string five =
        "*5\n[A]\nL 40\n[O]\n3N 2 test/value 1 4 2\n4G 0 test/other 1 360 2048\n"
        "9P 0 test/value 1 0,10 0,255\n1l 0 test/value\n9l 0 test/value\n";
    corvane_test::PluginRun run(Options(three + four + five));
    boardsim::Board& board = AddBoard(run, 61, three);
    boardsim::Board& many = AddBoard(run, 63, four, 4);
    boardsim::Board& shows = AddBoard(run, 67, five, 5);
    boardsim::Board& panel = run.AddPanel(62, "123L 2 test/other\n");
    ASSERT_TRUE(run.ConnectAll(400));
    ASSERT_TRUE(run.CallUntil(
        [&] {
            return board.floats().count(6) && many.floats().size() == 12 &&
                   shows.portLeds().size() >= 2 && panel.panelValues().count("123L");
        },
        100));
    EXPECT_EQ(panel.panelValues()["123L"], "0.5");
    EXPECT_NE(xphost::DebugLog().find("Corvane: ID sent: "), std::string::npos);
    // 54 bytes of records from pin 20 on, then 18 from pin 29 on.
    const std::vector<std::string> nineThenThree = {"{\x36\x14", "{\x12\x1d"};
    EXPECT_EQ(Frames(many, 0, 3), nineThenThree);
    const int empty = board.emptyFrameCount();
    const int panelMessages = panel.messageCount("panel");
    run.Call(10);
    EXPECT_EQ(board.emptyFrameCount(), empty + 10);
    EXPECT_EQ(panel.messageCount("panel"), panelMessages);

    const size_t seen = many.received().size();
    xphost::SetDataref("test/value", "1.5");
    xphost::SetDataref("test/other", "90");
    run.Call(3);
    EXPECT_EQ(Frames(many, seen, 3), nineThenThree);
    for (const auto& [pin, value] : many.floats()) EXPECT_EQ(value, 1.5f) << pin;
    EXPECT_TRUE(board.leds()[5]);  // 1.5 without decimals is "1"
    EXPECT_EQ(panel.panelValues()["123L"], "90");
    EXPECT_EQ(panel.messageCount("panel"), panelMessages + 1);
    EXPECT_EQ(shows.displays()[3], " 1.50");
    EXPECT_EQ(shows.steppers()[4].first, 512);
    EXPECT_EQ(shows.pwm()[9], 38);
    // With no digits after the point the port LEDs' text stays "1": they stay lit.
    EXPECT_EQ(shows.ledPorts(), (std::vector<int>{0x80, 0x80}));
    xphost::SetDataref("test/value", "0.25");
    run.Call(3);
    EXPECT_EQ(shows.ledPorts(), (std::vector<int>{0, 0}));
    EXPECT_EQ(shows.displays()[3], " 0.25");
    xphost::SetDataref("test/value", "2");
    run.Call(2);
    EXPECT_FALSE(board.leds()[5]);  // only a text of exactly 1 lights an LED

    // A restarted board gets identification, upload, gate, and then all its outputs once more.
    xphost::SetDataref("test/value", "1");
    xphost::SetDataref("test/other", "0.5");
    run.Call(3);
    const size_t before = board.received().size();
    board.SendIdentification();
    ASSERT_TRUE(run.CallUntil([&] { return !Frames(board, before).empty(); }, 100));
    // 5 lit, float 6 of 0.5, 8 and 7 dark.
    EXPECT_EQ(Frames(board, before), std::vector<std::string>{"{\x0c\x05)\6D\0\0\0?\x08(\x07("s});

    // The flaps flag, and writes from the simulator's side that change nothing.
    xphost::SetDataref("sim/flightmodel2/controls/flap_handle_deploy_ratio", "0.5");
    xphost::SetDataref("sim/cockpit2/controls/flap_ratio", "0.3");
    run.Call(2);
    EXPECT_TRUE(board.leds()[8]);
    xphost::SetDataref("corvane/flaps_in_transition", "0");
    EXPECT_EQ(xphost::GetNumber("corvane/flaps_in_transition"), 1.0);
    xphost::SetDataref("sim/cockpit2/controls/flap_ratio", "0.5");
    run.Call(2);
    EXPECT_FALSE(board.leds()[8]);

    // The altitude hold: captured steady on; armed at 20 frames per second it changes every 8
    // passes (0.4 s).
    xphost::SetDataref("sim/cockpit2/autopilot/altitude_hold_status", "2");
    run.Call(2);
    EXPECT_TRUE(board.leds()[7]);
    xphost::SetFrameRate(20.0);
    xphost::SetDataref("sim/cockpit2/autopilot/altitude_hold_status", "1");
    std::vector<int> changes;
    bool lit = board.leds()[7];
    for (int frame = 1; frame <= 60; ++frame) {
        run.Call();
        if (board.leds()[7] != lit) changes.push_back(frame);
        lit = board.leds()[7];
    }
    ASSERT_GE(changes.size(), 4u);
    for (size_t k = 2; k < changes.size(); ++k) EXPECT_EQ(changes[k] - changes[k - 1], 8);
    xphost::SetDataref("sim/cockpit2/autopilot/altitude_hold_status", "0");
    run.Call(2);
    EXPECT_FALSE(board.leds()[7]);
}

// Texts of any first byte arrive each time, on a board and on a panel; one-byte values are held
// to their range; values of a million and more have texts of their own, so the fall from one is
// sent to a PWM output, a display and a panel.
TEST(OutputDelivery, TextsOfAnyFirstByteArriveEachTimeAndOneByteValuesKeepTheirRange) {
    const std::string section =
        "*3\n[O]\n30 40 test/ident\n9P 0 test/level\n3N 0 test/level 1 4 0\n";
    corvane_test::PluginRun run(Options(section));
    boardsim::Board& board = AddBoard(run, 71, section);
    boardsim::Board& panel = run.AddPanel(72, "7T 40 test/ident\n8T -1 test/level\n");
    ASSERT_TRUE(run.ConnectAll(400));
    for (const std::string text : {"", "(KJFK)", "EGLL", "*", "", "!A"}) {
        xphost::SetDataref("test/ident", text);
        run.Call(4);
        EXPECT_EQ(board.texts()[30], text);
        EXPECT_EQ(panel.panelValues()["7T"], text);
    }
    // Rows of value, one-byte value sent, display and panel text.
    for (const auto& [value, sent, shown, text] :
         std::vector<std::tuple<std::string, int, std::string, std::string>>{
             {"300", 255, " 300", "300"},
             {"128.7", 128, " 128", "128"},
             {"-5", 0, "  -5", "-5"},
             {"255.9", 255, " 255", "255"},
             {"70000", 255, "0000", "70000"},
             {"2000000", 255, "0000", "2000000"},
             {"0", 0, "   0", "0"}}) {
        xphost::SetDataref("test/level", value);
        run.Call(3);
        EXPECT_EQ(board.pwm()[9], sent) << value;
        EXPECT_EQ(board.displays()[3], shown) << value;
        EXPECT_EQ(panel.panelValues()["8T"], text) << value;
    }
}

// A panel text too long for one call is read over several; the panel is answered at its end and
// has all of it: every output, and its input. A new text sent during such a read replaces it.
TEST(OutputDelivery, LongPanelTextIsReadOverSeveralCallsAndKeptWhole) {
    std::string text = "[I]\nB1 test/level 7\n[O]\n";
    for (int k = 2; k < 602; ++k) text += std::to_string(k) + "D 1 test/other\n";
    corvane_test::PluginRun run(Options(""));
    boardsim::Board& panel = run.AddPanel(75, text + "999L 0 test/value\n");
    ASSERT_TRUE(panel.SendIdentification());
    int calls = 0;
    ASSERT_TRUE(run.CallUntil([&] { return panel.boardNumber() == 1 || (++calls, false); }, 20));
    EXPECT_EQ(calls, 3);
    EXPECT_TRUE(AllowOutput[0]);
    // The same text again at once is answered from the rows read, in the call it arrives.
    const int answers = panel.uploadCount();
    ASSERT_TRUE(panel.SendIdentification());
    run.Call(1);
    EXPECT_EQ(panel.uploadCount(), answers + 1);
    ASSERT_TRUE(run.CallUntil([&] { return panel.panelValues().size() == 601; }, 20));
    EXPECT_EQ(panel.panelValues()["999L"], "1");
    panel.SendInput("B1");
    run.Call(2);
    EXPECT_EQ(xphost::GetNumber("test/level"), 7);
    panel.SendRaw("|" + text);
    run.Call(1);
    ASSERT_TRUE(PanelBeingRead(0));
    panel.SendRaw("|[O]\n5L 0 test/value\n");
    ASSERT_TRUE(run.CallUntil([] { return !PanelBeingRead(0) && AllowOutput[0]; }, 20));
    EXPECT_EQ(OutDrefs[0].size(), 1u);
}

TEST(OutputDelivery, TextThatFitsAMessageIsNeverCut) {
    std::string section = "*3\n[O]\n";
    for (int pin = 20; pin < 28; ++pin) section += std::to_string(pin) + " 2 test/value\n";
    section += "30 80 test/ident\n";
    const std::string text(29, 'A');
    corvane_test::PluginRun run(Options(section));
    xphost::SetDataref("test/ident", text);
    boardsim::Board& board = AddBoard(run, 73, section);
    ASSERT_TRUE(run.ConnectAll(400));
    ASSERT_TRUE(run.CallUntil([&] { return board.texts().count(30) == 1; }, 100));
    // Eight floats leave no room for 32 bytes more: the text begins the next frame, whole.
    EXPECT_EQ(Frames(board, 0, 3), (std::vector<std::string>{"{\x30\x14", "{\x20\x1E"}));
    EXPECT_EQ(board.texts()[30], text);
    // A text longer than a whole message is cut; a later change of it is still sent.
    for (const std::string& next : {std::string(70, 'x'), std::string(70, 'y')}) {
        xphost::SetDataref("test/ident", next);
        run.Call(2);
        EXPECT_EQ(board.texts()[30], next.substr(0, 59));
    }
}

TEST(OutputDelivery, OutputsPastTheStopAreSentOnceWhateverTheirValue) {
    std::string section = "*3\n[O]\n";
    for (int pin = 20; pin < 29; ++pin) section += std::to_string(pin) + " 2 test/value\n";
    section += "3N 0 test/level 1 4 0 e\n5L 0 test/level\n6P 0 test/level\n";
    corvane_test::PluginRun run(Options(section));
    boardsim::Board& board = AddBoard(run, 74, section);
    ASSERT_TRUE(run.ConnectAll(400));
    ASSERT_TRUE(run.CallUntil([&] { return board.floats().size() == 9; }, 100));
    run.Call();
    EXPECT_EQ(board.displays()[3], "----");
    EXPECT_EQ(board.leds().count(5), 1u);
    EXPECT_EQ(board.pwm().count(6), 1u);
}

}  // namespace
