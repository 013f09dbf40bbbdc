// Analog levers end to end: the square law is the Q entry's choice, never the range's.
#include <gtest/gtest.h>

#include "cockpit_run.h"

namespace cockpit_test {
namespace {

TEST(AnalogSquareLaw, OnlyAQEntrySelectsIt) {
    CockpitRun run(
        {"[A]\nQ A1 A3\n[I]\nA0 sim/test/float 2,12\nA1 sim/test/other 2,12\n"
         "A3 sim/test/heading 0,100\n"});
    ASSERT_TRUE(run.connected());
    struct Row {
        int reading;
        double linear, square, squareFrom0;
    };
    const Row rows[] = {{0, 2, 2, 0}, {500, 7, 4.5, 25}, {1000, 12, 12, 100}};
    for (const Row& row : rows) {
        const std::string reading = std::to_string(row.reading);
        run.Send(0, "A0", reading);
        run.Send(0, "A1", reading);
        run.Send(0, "A3", reading);
        EXPECT_FLOAT_EQ(run.Value("sim/test/float"), row.linear) << row.reading;
        EXPECT_FLOAT_EQ(run.Value("sim/test/other"), row.square) << row.reading;
        EXPECT_FLOAT_EQ(run.Value("sim/test/heading"), row.squareFrom0) << row.reading;
    }
}

}  // namespace
}  // namespace cockpit_test
