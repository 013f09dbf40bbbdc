// held inputs: commands begun on press and ended on release, held datarefs repeated
// once per flight-loop call, release by key and by family.
#include <gtest/gtest.h>

#include "exchange/held_inputs.h"
#include "exchange/input_dispatch.h"
#include "inputs_fixture.h"

namespace corvane_inputs_test {
namespace {

using Strings = std::vector<std::string>;
constexpr const char* kStarter = "sim/starters/engage_starter_1";

class HeldInputs : public InputsTest {
  protected:
    void SetUp() override {
        InputsTest::SetUp();
        CreateBoardRow(3, sockaddr_in{}, -1);
        CreateBoardRow(4, sockaddr_in{}, -1);
    }
    void Send(const std::string& text, int board = 0) { HandleInputMessage(Message(board, text)); }
    // One flight-loop call's share of this Part: the held repeat (after the reception).
    void Call() { RepeatHeldInputs(); }
    int StarterOn(int board, const std::string& t) {
        Entry e;
        e.tag = t;
        e.command = kStarter;
        e.contval = 1;  // CommandIsHold
        return AddInput(board, e);
    }
};

TEST_F(HeldInputs, StarterBeginsOnPressAndEndsOnRelease) {
    StarterOn(0, "B7+");
    Send("B7+");
    EXPECT_EQ(Commands(), Strings{std::string(kStarter) + ":begin"});
    EXPECT_TRUE(xphost::IsCommandActive(kStarter));
    ASSERT_EQ(ContinuousTag, Strings{"B7-"});
    for (int k = 0; k < 30; ++k) Call();  // commands are not repeated: the hold runs on
    EXPECT_TRUE(Commands().empty());
    Send("B7-");
    EXPECT_EQ(Commands(), Strings{std::string(kStarter) + ":end"});
    EXPECT_FALSE(xphost::IsCommandActive(kStarter));
    EXPECT_TRUE(Continuous.empty());
    EXPECT_TRUE(ContinuousTag.empty());
}

TEST_F(HeldInputs, SecondPressWhileHeldDoesNotBeginAgain) {
    StarterOn(0, "B7+");
    Send("B7+");
    Commands();
    Send("B7+");  // key B7- already held: handled as a plain press (the command runs once)
    EXPECT_EQ(Commands(),
              (Strings{std::string(kStarter) + ":begin", std::string(kStarter) + ":end"}));
    EXPECT_TRUE(xphost::IsCommandActive(kStarter));  // the hold itself goes on
    EXPECT_EQ(Continuous.size(), 1u);
    Send("B7-");
    Commands();
    EXPECT_FALSE(xphost::IsCommandActive(kStarter));
    EXPECT_TRUE(Continuous.empty());
    Send("B7-");  // a release that matches nothing does nothing
    EXPECT_TRUE(Commands().empty());
}

TEST_F(HeldInputs, ReleaseOnlyReleasesEntriesOfItsOwnBoard) {
    StarterOn(0, "B7+");
    StarterOn(1, "B7+");
    Send("B7+", 0);
    Send("B7+", 1);  // board 1 holds its own B7+ beside board 0's
    ASSERT_EQ(Continuous.size(), 2u);
    Commands();
    Send("B7-", 1);
    EXPECT_EQ(Continuous.size(), 1u);
    EXPECT_EQ(Continuous[0][0], 0);  // board 0's hold stays
    Send("B7-", 0);
    EXPECT_TRUE(Continuous.empty());
    EXPECT_FALSE(xphost::IsCommandActive(kStarter));
}

TEST_F(HeldInputs, PressWithoutPlusOrAnalogTagIsAPlainPress) {
    StarterOn(0, "B8");
    Send("B8");
    EXPECT_EQ(Commands(),
              (Strings{std::string(kStarter) + ":begin", std::string(kStarter) + ":end"}));
    EXPECT_TRUE(Continuous.empty());
}

// Counts the writes of a held dataref by stepping it by 1 each time.
class HeldDataref : public HeldInputs {
  protected:
    int Held(int contval) {
        Entry e;
        e.tag = "D9+";
        e.dataref = "sim/test/float";
        e.direction = 1;
        e.contval = contval;
        return AddInput(0, e);
    }
    // The writes seen after each of `calls` calls, the press arriving in call 1.
    std::vector<double> Hold(int calls) {
        std::vector<double> values;
        Send("D9+");
        Call();
        values.push_back(Value("sim/test/float"));
        for (int k = 2; k <= calls; ++k) {
            Call();
            values.push_back(Value("sim/test/float"));
        }
        return values;
    }
};

TEST_F(HeldDataref, ClassTwoRepeatsFromTheSeventeenthCall) {
    Held(2);
    const std::vector<double> values = Hold(20);
    for (int call = 1; call <= 16; ++call) EXPECT_EQ(values[call - 1], 1.0) << "call " << call;
    for (int call = 17; call <= 20; ++call)
        EXPECT_EQ(values[call - 1], call - 15.0) << "call " << call;
    Send("D9-");
    EXPECT_TRUE(Continuous.empty());
    Call();
    EXPECT_EQ(Value("sim/test/float"), 5.0);
}

TEST_F(HeldDataref, ClassOneRepeatsFromTheCallOfThePress) {
    Held(1);
    const std::vector<double> values = Hold(5);
    EXPECT_EQ(values, (std::vector<double>{2, 3, 4, 5, 6}));
    Send("D9-");
    Call();
    EXPECT_EQ(Value("sim/test/float"), 6.0);
}

TEST_F(HeldDataref, EntriesOfInputsThatNoLongerExistAreSkipped) {
    Held(1);
    Send("D9+");
    ResetBoardRow(0, 3);  // the board's configuration is read again: no inputs now
    Call();
    EXPECT_EQ(Value("sim/test/float"), 1.0);
    Continuous.push_back({7, 3, 99});  // nonsense entries from outside are skipped too
    ContinuousTag.push_back("X");
    Continuous.push_back({0});
    ContinuousTag.push_back("Y");
    Call();
    ReleaseHeldInput(0, "Y");
    EXPECT_EQ(Continuous.size(), 2u);
}

TEST_F(HeldInputs, ReleasingABoardEndsItsCommandsAndForgetsItsEntries) {
    StarterOn(0, "B7+");
    Entry e;
    e.tag = "D9+";
    e.dataref = "sim/test/float";
    e.contval = 2;
    AddInput(1, e);
    Send("B7+", 0);
    Send("D9+", 1);
    ASSERT_EQ(Continuous.size(), 2u);
    Commands();
    ReleaseBoardHeldInputs(0);
    EXPECT_EQ(Commands(), Strings{std::string(kStarter) + ":end"});
    ASSERT_EQ(Continuous.size(), 1u);
    EXPECT_EQ(Continuous[0][0], 1);
}

TEST_F(HeldInputs, ReleasingAllEndsEveryHeldCommand) {
    StarterOn(0, "B7+");
    StarterOn(1, "B8+");
    Send("B7+", 0);
    Send("B8+", 1);
    Commands();
    ReleaseAllHeldInputs();
    EXPECT_EQ(Commands(),
              (Strings{std::string(kStarter) + ":end", std::string(kStarter) + ":end"}));
    EXPECT_FALSE(xphost::IsCommandActive(kStarter));
    EXPECT_TRUE(Continuous.empty());
    EXPECT_TRUE(ContinuousTag.empty());
}

// Analog tags are held under the tag itself and released by a sibling of the same family.
TEST_F(HeldInputs, AnalogFamilyIsReleasedByAnotherMember) {
    Entry a;
    a.tag = "A1a";
    a.dataref = "sim/test/float";
    a.defaultValue = 1.0f;
    a.contval = 2;
    AddInput(0, a);
    Entry b = a;
    b.tag = "A1b";
    b.dataref = "sim/test/int";
    AddInput(0, b);
    Send("A1a");
    ASSERT_EQ(ContinuousTag, Strings{"A1a"});
    Send("A1a");  // same member: neither released nor held twice
    ASSERT_EQ(ContinuousTag, Strings{"A1a"});
    Send("A1b");  // releases A1a, then holds A1b
    EXPECT_EQ(ContinuousTag, Strings{"A1b"});
    Send("A1-");  // ends in '-': exact key matching, nothing is held under A1-
    EXPECT_EQ(ContinuousTag, Strings{"A1b"});
}

}  // namespace
}  // namespace corvane_inputs_test
