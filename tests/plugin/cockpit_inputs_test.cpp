// Inputs end to end on emulated LAN boards: encoders (repeat counts read from the message's byte,
// mode switches that drive their own group only, steps that wrap without sticking), held inputs in
// groups and on several boards (each release ends exactly the hold its press began), and analog
// levers (the square law is the Q entry's choice, never the range's).
//
// Board k of a run has board ID k + 1 and sits at 127.0.0.(30 + k); its inputs reach the plug-in
// over loopback UDP.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/plugin_harness.h"
#include "xphost.h"

namespace cockpit_test {
namespace {

// Datarefs the sections name, beside the host's default list (which has the starter commands).
const char* const kTestDatarefs =
    "sim/test/float float rw 0\n"
    "sim/test/other float rw 0\n"
    "sim/test/heading float rw 0\n";

class CockpitRun {
  public:
    // sections[k]: the lines of board k's section after its '*' line.
    explicit CockpitRun(const std::vector<std::string>& sections) : run_(Options(sections)) {
        xphost::SetDebugEcho(false);
        for (size_t k = 0; k < sections.size(); ++k) {
            boardsim::Options options =
                run_.LanBoardOptions(30 + static_cast<int>(k), static_cast<int>(k) + 1);
            options.configSection = sections[k];
            boards_.push_back(&run_.AddBoard(options));
        }
        connected_ = run_.ConnectAll(400);
        run_.Call(2);
        xphost::TakeCommandTrace();
    }
    bool connected() const { return connected_; }
    // Board k sends tag (with value after a blank when given); the plug-in takes it in one call.
    void Send(size_t k, const std::string& tag, const std::string& value = "") {
        boards_.at(k)->SendInput(tag, value);
        run_.Call();
    }
    void Call(int count = 1) { run_.Call(count); }
    static double Value(const std::string& name) { return xphost::GetNumber(name); }
    static bool Set(const std::string& name, double value) {
        return xphost::SetDataref(name, std::to_string(value));
    }

  private:
    static corvane_test::PluginOptions Options(const std::vector<std::string>& sections) {
        corvane_test::PluginOptions options;
        for (size_t k = 0; k < sections.size(); ++k)
            options.dataCfg += "*" + std::to_string(k + 1) + "\n" + sections[k];
        options.extraDatarefs = kTestDatarefs;
        return options;
    }
    corvane_test::PluginRun run_;
    std::vector<boardsim::Board*> boards_;
    bool connected_ = false;
};

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
