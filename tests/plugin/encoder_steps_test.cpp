// Encoders end to end: repeat counts read from the message's byte, mode switches that drive their
// own group only, and steps that wrap without sticking.
#include <gtest/gtest.h>

#include "cockpit_run.h"

namespace cockpit_test {
namespace {

// Counts 9 and 32 (a tab and a blank as the raw byte) step like any other count, and a skip
// filter sees the real count.
TEST(EncoderSteps, CountsAreTheMessagesByte) {
    CockpitRun run({"[A]\nS E6,4\n[I]\nE4+ sim/test/float 1+\nE6+ sim/test/float 1+\n"});
    ASSERT_TRUE(run.connected());
    struct Row {
        const char* tag;
        int count;
        double steps;
    };
    const Row rows[] = {{"E4+", 9, 9}, {"E4+", 32, 32}, {"E4+", 200, 200}, {"E4+", 255, 255},
                        {"E4+", 1, 1}, {"E6+", 9, 2},   {"E6+", 32, 32}};
    for (const Row& row : rows) {
        ASSERT_TRUE(run.Set("sim/test/float", 0));
        run.Send(0, row.tag, std::string(1, static_cast<char>(row.count)));
        EXPECT_EQ(run.Value("sim/test/float"), row.steps) << row.tag << " count " << row.count;
    }
}

// A mode switch beside an encoder on pin 30 moves the E3 group 1, 2, 3, 1 and never the E30
// encoder.
TEST(EncoderSteps, ModeSwitchDrivesItsOwnGroup) {
    CockpitRun run(
        {"[I]\nD24+ E3>1\nE3/1+ sim/test/float 1+\nE3/2+ sim/test/float 10+\n"
         "E3/3+ sim/test/float 100+\nE30+ sim/test/other 1+\n"});
    ASSERT_TRUE(run.connected());
    for (double step : {1, 10, 100, 1}) {
        ASSERT_TRUE(run.Set("sim/test/float", 0));
        run.Send(0, "E3+", "\x01");
        EXPECT_EQ(run.Value("sim/test/float"), step);
        run.Send(0, "D24+");
    }
    run.Send(0, "E30+", "\x01");
    EXPECT_EQ(run.Value("sim/test/other"), 1);
}

// A step out of the range by less than its span lands beyond the other bound and moves on from
// there; a step larger than the span ends inside the range.
TEST(EncoderSteps, SteppingNeverSticks) {
    CockpitRun run(
        {"[I]\nE1- sim/test/heading 1-,1,360\nE2- sim/test/float 1-,1,12\n"
         "E2+ sim/test/float 1+,1,12\nE5+ sim/test/other 1+,1,12\n"
         "E5- sim/test/other 1-,1,12\n"});
    ASSERT_TRUE(run.connected());
    struct Row {
        const char* dataref;
        double start;
        const char* tag;
        int count;
        double end;
    };
    const Row rows[] = {
        {"sim/test/heading", 1.5, "E1-", 1, 360.5}, {"sim/test/heading", 360.5, "E1-", 1, 359.5},
        {"sim/test/float", 1.25, "E2-", 1, 12.25},  {"sim/test/float", 12.25, "E2-", 1, 11.25},
        {"sim/test/float", 12.25, "E2+", 1, 2.25},  {"sim/test/other", 5, "E5+", 11, 5},
        {"sim/test/other", 5, "E5+", 200, 7},       {"sim/test/other", 5, "E5-", 200, 4}};
    for (const Row& row : rows) {
        ASSERT_TRUE(run.Set(row.dataref, row.start));
        run.Send(0, row.tag, std::string(1, static_cast<char>(row.count)));
        EXPECT_FLOAT_EQ(run.Value(row.dataref), row.end) << row.dataref << " from " << row.start;
    }
}

}  // namespace
}  // namespace cockpit_test
