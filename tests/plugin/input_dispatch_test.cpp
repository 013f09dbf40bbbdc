// Input messages through the flight loop: which board they reach, how many are handled in one
// call, group redirection and the skip filter, with a board on loopback UDP.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/board_tables.h"
#include "config/status_text.h"
#include "support/plugin_harness.h"
#include "xphost.h"

namespace {

const char* const kSection =
    "*3\n"
    "[A]\n"
    "T D5+\n"
    "S E7,2\n"
    "[I]\n"
    "D5+ sim/lights/landing_lights_on\n"
    "D5+ sim/lights/taxi_lights_on\n"
    "D5+ sim/lights/nav_lights_on\n"
    "B8 sim/cockpit/electrical/beacon_lights_on 1\n"
    "B9 sim/cockpit/electrical/taxi_light_on 1\n"
    "E7+ sim/cockpit2/autopilot/heading_dial_deg_mag_pilot 1+,0,360\n";

class InputDispatch : public ::testing::Test {
  protected:
    void SetUp() override {
        corvane_test::PluginOptions options;
        options.dataCfg = kSection;
        run_ = std::make_unique<corvane_test::PluginRun>(options);
        board_ = &run_->AddLanBoard(25, 3);
        board_->SendIdentification();
        ASSERT_TRUE(run_->CallUntil([] { return BoardCount() == 1; }));
        xphost::TakeCommandTrace();
    }
    void TearDown() override { run_.reset(); }

    // The commands that began, in order, since the last call.
    std::vector<std::string> CommandsRun() {
        std::vector<std::string> names;
        for (const auto& event : xphost::TakeCommandTrace())
            if (event.phase == 0 && event.cause == "plugin") names.push_back(event.name);
        return names;
    }

    std::unique_ptr<corvane_test::PluginRun> run_;
    boardsim::Board* board_ = nullptr;
};

TEST_F(InputDispatch, BoardNumbersBeyondTheBoardsAreDroppedWithoutTouchingLineThirteen) {
    const std::string before = StatusLine(13);
    board_->SendRaw(std::string("\x02") + board_->EncodeInput("B8").substr(1));
    board_->SendRaw(std::string("\xC1") + board_->EncodeInput("B8").substr(1));
    run_->Call(2);
    EXPECT_EQ(StatusLine(13), before);
    EXPECT_EQ(xphost::GetNumber("sim/cockpit/electrical/beacon_lights_on"), 0);

    board_->SendInput("B8");
    run_->Call(1);
    EXPECT_EQ(StatusLine(13), "   Last message received from device 1: B8");
    EXPECT_EQ(xphost::GetNumber("sim/cockpit/electrical/beacon_lights_on"), 1);
}

TEST_F(InputDispatch, EveryMessageWaitingIsHandledInTheSameCall) {
    board_->SendInput("B8");
    board_->SendInput("B9");
    run_->Call(1);
    EXPECT_EQ(xphost::GetNumber("sim/cockpit/electrical/beacon_lights_on"), 1);
    EXPECT_EQ(xphost::GetNumber("sim/cockpit/electrical/taxi_light_on"), 1);
}

TEST_F(InputDispatch, GroupMembersTakeTurnsOnTheSharedTag) {
    ASSERT_EQ(Mode[0][0], 31);
    EXPECT_EQ(Datatags[0][0], "D5/1+");
    EXPECT_EQ(Datatags[0][2], "D5/3+");
    for (int press = 0; press < 4; ++press) {
        board_->Press("D5");
        run_->Call(1);
    }
    EXPECT_THAT(CommandsRun(),
                ::testing::ElementsAre("sim/lights/landing_lights_on", "sim/lights/taxi_lights_on",
                                       "sim/lights/nav_lights_on", "sim/lights/landing_lights_on"));
    EXPECT_EQ(Mode[0][0], 32);
}

TEST_F(InputDispatch, SkipFilterDividesAndAbsorbsEncoderCounts) {
    const char* const heading = "sim/cockpit2/autopilot/heading_dial_deg_mag_pilot";
    ASSERT_EQ(InputSkip[0][5].size(), 2u);
    board_->TurnEncoder("E7+", 3);  // 3 / 2 = one step
    run_->Call(1);
    EXPECT_EQ(xphost::GetNumber(heading), 1);
    board_->TurnEncoder("E7+", 1);  // absorbed
    run_->Call(1);
    EXPECT_EQ(xphost::GetNumber(heading), 1);
    board_->TurnEncoder("E7+", 1);  // the second click passes as one step
    run_->Call(1);
    EXPECT_EQ(xphost::GetNumber(heading), 2);
    board_->TurnEncoder("E7+", 12);  // ten and more pass unchanged
    run_->Call(1);
    EXPECT_EQ(xphost::GetNumber(heading), 14);
}

}  // namespace
