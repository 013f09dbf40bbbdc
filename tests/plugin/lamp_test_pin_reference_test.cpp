// A lamp test on an Arduino board: the input named after an output's pin and letter lights that
// output while held, and no other output of the board.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/plugin_harness.h"
#include "xphost.h"

namespace {

// 'L' + 7 is 'S': the servo on pin 9 shares nothing with the LED on pin 7 but that number.
const char* const kSection =
    "*3\n[I]\nD5+ 7L\n[O]\n7L 0 test/lamp\n8L 0 test/lamp\n9S 0 test/servo\n";

TEST(LampTest, PinReferenceLightsTheLedItNamesAndNothingElse) {
    corvane_test::PluginOptions options;
    options.dataCfg = kSection;
    options.extraDatarefs = "test/lamp float rw 0\ntest/servo float rw 0.5\n";
    corvane_test::PluginRun run(options);
    boardsim::Options boardOptions = run.LanBoardOptions(76, 3);
    boardOptions.configSection = kSection;
    boardOptions.autoGate = true;
    boardsim::Board& board = run.AddBoard(boardOptions);
    ASSERT_TRUE(run.ConnectAll(400));
    ASSERT_TRUE(run.CallUntil([&] { return board.floats().count(9) == 1; }, 100));
    run.Call(2);

    const struct {
        bool press;
        const char* frame;  // the one output frame that follows
    } kRows[] = {{true, "{\x02\x07)"}, {false, "{\x02\x07("}, {true, "{\x02\x07)"}};
    for (const auto& row : kRows) {
        const size_t seen = board.received().size();
        if (row.press)
            board.Press("D5");
        else
            board.Release("D5");
        run.Call(3);
        std::vector<std::string> frames;
        const std::vector<std::string> all = board.received();
        for (size_t k = seen; k < all.size(); ++k)
            if (all[k].size() > 2 && all[k][0] == '{') frames.push_back(all[k]);
        EXPECT_EQ(frames, std::vector<std::string>{row.frame}) << row.press;
        EXPECT_EQ(board.leds()[7], row.press);
        EXPECT_FALSE(board.leds()[8]);
    }
}

}  // namespace
