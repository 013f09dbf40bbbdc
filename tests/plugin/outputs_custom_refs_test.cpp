// The plug-in's own datarefs and commands under "corvane/", on the host's datarefs and commands.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "exchange/flight_loop.h"
#include "simdata/custom_refs.h"
#include "simdata/sim_time.h"
#include "xphost.h"

namespace {

const char* const kSources =
    "sim/cockpit2/controls/flap_ratio float rw 0\n"
    "sim/flightmodel2/controls/flap_handle_deploy_ratio float rw 0\n"
    "sim/cockpit2/autopilot/altitude_hold_status int rw 0\n"
    "command sim/starters/engage_starter_2 Engage starter #2\n"
    "command sim/igniters/igniter_contin_on_2 Igniter on #2\n"
    "command sim/igniters/igniter_contin_off_2 Igniter off #2\n";

class CustomRefsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        xphost::Reset();
        std::string error;
        ASSERT_TRUE(xphost::LoadDatarefText(kSources, &error)) << error;
        savedFrametime_ = frametime;
        InitiateCustom();
    }
    void TearDown() override {
        UnregisterCustomDrefs();
        Corvane_Drefs.clear();
        Corvane_Commands.clear();
        CustomIndices.clear();
        frametime = savedFrametime_;
        xphost::Reset();
    }
    static double Flaps() { return xphost::GetNumber("corvane/flaps_in_transition"); }
    static double AltHold() { return xphost::GetNumber("corvane/altitude_hold_status"); }

    float savedFrametime_ = 30.0f;
};

TEST_F(CustomRefsTest, OnlyUsedDatarefsAreRefreshed) {
    xphost::SetDataref("sim/cockpit2/controls/flap_ratio", "0.3");
    xphost::SetDataref("sim/cockpit2/autopilot/altitude_hold_status", "2");
    RefreshCustomDrefs();
    EXPECT_EQ(Flaps(), 0.0);
    EXPECT_EQ(AltHold(), 0.0);
    AddCustomRef("corvane/altitude_hold_status");
    AddCustomRef("corvane/altitude_hold_status");
    AddCustomRef("corvane/flaps_in_transition");
    AddCustomRef("corvane/flaps_in_transition");
    AddCustomRef("corvane/no_such_thing");
    AddCustomRef("corvane/flaps");
    EXPECT_EQ(CustomIndices, (std::vector<unsigned int>{1, 0}));
    RefreshCustomDrefs();
    EXPECT_EQ(Flaps(), 1.0);
    EXPECT_EQ(AltHold(), 1.0);
    // Armed with a frame period of zero or no number: no blinking, and nothing breaks.
    xphost::SetDataref("sim/cockpit2/autopilot/altitude_hold_status", "1");
    for (float period : {0.0f, std::nanf("")}) {
        frametime = period;
        RefreshCustomDrefs();
        const double held = AltHold();
        for (int pass = 0; pass < 40; ++pass) RefreshCustomDrefs();
        EXPECT_EQ(AltHold(), held);
    }
}

TEST_F(CustomRefsTest, StarterCommandHoldsTheStarterAndSwitchesTheIgniter) {
    xphost::TakeCommandTrace();
    ASSERT_TRUE(xphost::RunCommand("corvane/starter_ignition_2", "begin"));
    EXPECT_TRUE(xphost::IsCommandActive("sim/starters/engage_starter_2"));
    ASSERT_TRUE(xphost::RunCommand("corvane/starter_ignition_2", "end"));
    EXPECT_FALSE(xphost::IsCommandActive("sim/starters/engage_starter_2"));
    std::vector<std::string> plugin;
    for (const xphost::CommandEvent& e : xphost::TakeCommandTrace())
        if (e.cause == "plugin") plugin.push_back(e.name + " " + xphost::PhaseName(e.phase));
    EXPECT_EQ(plugin, (std::vector<std::string>{
                          "sim/starters/engage_starter_2 begin",
                          "sim/igniters/igniter_contin_on_2 begin",
                          "sim/igniters/igniter_contin_on_2 end",
                          "sim/starters/engage_starter_2 end",
                          "sim/igniters/igniter_contin_off_2 begin",
                          "sim/igniters/igniter_contin_off_2 end",
                      }));
    // Engines whose commands the simulator does not have: nothing is run, nothing breaks.
    ASSERT_TRUE(xphost::RunCommand("corvane/starter_ignition_4", "once"));
    for (const xphost::CommandEvent& e : xphost::TakeCommandTrace())
        EXPECT_EQ(e.name, "corvane/starter_ignition_4");
}

TEST_F(CustomRefsTest, StartingAgainKeepsOneSetOfRecords) {
    AddCustomRef("corvane/flaps_in_transition");
    UnregisterCustomDrefs();
    InitiateCustom();
    EXPECT_EQ(Corvane_Drefs.size(), 2u);
    EXPECT_EQ(Corvane_Commands.size(), 4u);
    EXPECT_TRUE(CustomIndices.empty());
    EXPECT_EQ(Corvane_Drefs[0].name, "corvane/flaps_in_transition");
    EXPECT_EQ(Corvane_Drefs[1].name, "corvane/altitude_hold_status");
    EXPECT_TRUE(xphost::HasDataref("corvane/altitude_hold_status"));
    UnregisterCustomDrefs();
    EXPECT_FALSE(xphost::HasDataref("corvane/altitude_hold_status"));
}

TEST(CustomCommands, HeldCommands) {
    EXPECT_TRUE(CommandIsHold("sim/starters/engage_starter_1"));
    EXPECT_TRUE(CommandIsHold("corvane/starter_ignition_3"));
    EXPECT_TRUE(CommandIsHold("sim/starters/engage_starters"));
    EXPECT_TRUE(CommandIsHold("sim/annunciator/test_all"));
    EXPECT_TRUE(CommandIsHold("sim/autopilot/test_auto_annunciators"));
    EXPECT_FALSE(CommandIsHold("sim/starters/Engage_Starter_1"));
    EXPECT_FALSE(CommandIsHold("sim/flight_controls/flaps_down"));
    EXPECT_FALSE(CommandIsHold(""));
}

}  // namespace
