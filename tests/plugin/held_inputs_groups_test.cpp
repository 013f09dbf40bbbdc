// Held inputs in groups and on several boards: each release ends exactly the hold its press began.
#include <gtest/gtest.h>

#include "cockpit_run.h"

namespace cockpit_test {
namespace {

const char* const kStarter1 = "sim/starters/engage_starter_1";
const char* const kStarter2 = "sim/starters/engage_starter_2";

// A grouped held dataref stops stepping on its release, a grouped hold command ends on its
// release, and each group moves on once per press.
TEST(HeldInputsInGroups, EndOnTheBoardsOwnRelease) {
    CockpitRun run(
        {"[A]\nT D5+ D6+\nR D5+\n[I]\n"
         "D5+ sim/test/float 1+\nD5+ sim/test/other 1+\n"
         "D6+ sim/starters/engage_starter_1\nD6+ sim/starters/engage_starter_2\n"});
    ASSERT_TRUE(run.connected());
    struct Row {
        const char* dataref;  // the member a D5 press steps
        const char* starter;  // the member a D6 press holds
    };
    for (const Row& row : {Row{"sim/test/float", kStarter1}, Row{"sim/test/other", kStarter2},
                           Row{"sim/test/float", kStarter1}}) {
        const double before = run.Value(row.dataref);
        run.Send(0, "D5+");
        run.Send(0, "D6+");
        run.Call(25);
        EXPECT_GT(run.Value(row.dataref), before + 1.5) << row.dataref << " repeats while held";
        EXPECT_TRUE(xphost::IsCommandActive(row.starter));
        run.Send(0, "D5-");
        run.Send(0, "D6-");
        const double released = run.Value(row.dataref);
        run.Call(25);
        EXPECT_EQ(run.Value(row.dataref), released) << row.dataref << " stops on its release";
        EXPECT_FALSE(xphost::IsCommandActive(kStarter1));
        EXPECT_FALSE(xphost::IsCommandActive(kStarter2));
    }
}

// Two boards hold the same tag on their own starters; each release ends its own.
TEST(HeldInputsPerBoard, EachBoardReleasesItsOwnHold) {
    CockpitRun run(
        {"[I]\nB7+ sim/starters/engage_starter_1\n", "[I]\nB7+ sim/starters/engage_starter_2\n"});
    ASSERT_TRUE(run.connected());
    struct Row {
        size_t board;
        const char* tag;
        bool starter1, starter2;  // active afterwards
    };
    const Row rows[] = {{0, "B7+", true, false}, {1, "B7+", true, true},  {0, "B7-", false, true},
                        {0, "B7+", true, true},  {1, "B7-", true, false}, {0, "B7-", false, false}};
    for (const Row& row : rows) {
        run.Send(row.board, row.tag);
        EXPECT_EQ(xphost::IsCommandActive(kStarter1), row.starter1) << row.board << row.tag;
        EXPECT_EQ(xphost::IsCommandActive(kStarter2), row.starter2) << row.board << row.tag;
    }
}

// A release entry beside a group on its pin fires on the release, and an unsigned tag on a longer
// pin number is no message of the group.
TEST(HeldInputsInGroups, ReleaseEntryAndLongerPinBesideAGroup) {
    CockpitRun run(
        {"[A]\nT D5+\n[I]\nD5+ sim/test/float 1\nD5+ sim/test/float 2\n"
         "D5- sim/test/float 0\nD50 sim/test/other 7\n"});
    ASSERT_TRUE(run.connected());
    struct Row {
        const char* tag;
        double value, other;
    };
    const Row rows[] = {{"D5+", 1, 0}, {"D5-", 0, 0}, {"D50", 0, 7},
                        {"D5+", 2, 7}, {"D5-", 0, 7}, {"D5+", 1, 7}};
    for (const Row& row : rows) {
        run.Send(0, row.tag);
        EXPECT_EQ(run.Value("sim/test/float"), row.value) << row.tag;
        EXPECT_EQ(run.Value("sim/test/other"), row.other) << row.tag;
    }
}

}  // namespace
}  // namespace cockpit_test
