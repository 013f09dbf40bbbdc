// Every output reaches its board: texts of any first byte, texts after a full message, outputs past
// the stop of the first pass, one-byte values beyond their range.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/plugin_harness.h"
#include "xphost.h"

namespace {

const char* const kSources =
    "test/ident byte[80] rw\n"
    "test/value float rw 1.5\n"
    "test/zero float rw 0\n"
    "test/pwm float rw 0\n";

// A run with one gated Arduino board (ID 3, at 127.0.0.host) that holds the O section given.
corvane_test::PluginOptions Options(const std::string& section) {
    corvane_test::PluginOptions options;
    options.dataCfg = section;
    options.extraDatarefs = kSources;
    return options;
}

boardsim::Board& AddBoard(corvane_test::PluginRun& run, int host, const std::string& section) {
    boardsim::Options options = run.LanBoardOptions(host, 3);
    options.configSection = section;
    options.autoGate = true;
    return run.AddBoard(options);
}

// Output frames that carry records, from message `from` on.
std::vector<std::string> Frames(const boardsim::Board& board, size_t from = 0) {
    std::vector<std::string> frames;
    const std::vector<std::string> all = board.received();
    for (size_t k = from; k < all.size(); ++k)
        if (all[k].size() > 2 && all[k][0] == '{') frames.push_back(all[k]);
    return frames;
}

// Texts of any first byte arrive each time, on a board and on a panel; one-byte values are held
// to their range.
TEST(OutputDelivery, TextsOfAnyFirstByteArriveEachTimeAndOneByteValuesKeepTheirRange) {
    const std::string section = "*3\n[O]\n30 40 test/ident\n9P 0 test/pwm\n";
    corvane_test::PluginRun run(Options(section));
    boardsim::Board& board = AddBoard(run, 71, section);
    boardsim::Board& panel = run.AddPanel(72, "7T 40 test/ident\n");
    ASSERT_TRUE(run.ConnectAll(400));
    for (const std::string text : {"", "(KJFK)", "EGLL", "*", "", "!A"}) {
        xphost::SetDataref("test/ident", text);
        run.Call(4);
        EXPECT_EQ(board.texts()[30], text);
        EXPECT_EQ(panel.panelValues()["7T"], text);
    }
    const struct {
        const char* value;
        int sent;
    } kRows[] = {{"300", 255}, {"128.7", 128}, {"-5", 0}, {"255.9", 255}, {"70000", 255}};
    for (const auto& row : kRows) {
        xphost::SetDataref("test/pwm", row.value);
        run.Call(3);
        EXPECT_EQ(board.pwm()[9], row.sent) << row.value;
    }
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
    const std::vector<std::string> frames = Frames(board);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].size(), 50u);  // eight floats: no room for 32 bytes more
    EXPECT_EQ(frames[1], std::string("{\x20\x1E"
                                     "B\x1D") +
                             text);
    // A text longer than a whole message is cut; a later change of it is still sent.
    const std::string longer(70, 'x');
    for (const std::string& next : {longer, std::string(70, 'y')}) {
        xphost::SetDataref("test/ident", next);
        run.Call(2);
        EXPECT_EQ(board.texts()[30], next.substr(0, 59));
    }
}

TEST(OutputDelivery, OutputsPastTheStopAreSentOnceWhateverTheirValue) {
    std::string section = "*3\n[O]\n";
    for (int pin = 20; pin < 29; ++pin) section += std::to_string(pin) + " 2 test/value\n";
    section += "3N 0 test/zero 1 4 0 e\n5L 0 test/zero\n6P 0 test/zero\n";
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
