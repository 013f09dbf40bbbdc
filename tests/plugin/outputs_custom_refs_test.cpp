// The plug-in's own datarefs and commands under "corvane/", on the host's datarefs and commands.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "simdata/custom_refs.h"
#include "simdata/sim_time.h"
#include "xphost.h"

namespace {

const char* const kSources =
    "sim/cockpit2/controls/flap_ratio float rw 0\n"
    "sim/flightmodel2/controls/flap_handle_deploy_ratio float rw 0\n"
    "sim/cockpit2/autopilot/altitude_hold_status int rw 0\n"
    "command sim/starters/engage_starter_1 Engage starter #1\n"
    "command sim/igniters/igniter_contin_on_1 Igniter on #1\n"
    "command sim/igniters/igniter_contin_off_1 Igniter off #1\n"
    "command sim/starters/engage_starter_2 Engage starter #2\n"
    "command sim/igniters/igniter_contin_on_2 Igniter on #2\n"
    "command sim/igniters/igniter_contin_off_2 Igniter off #2\n"
    "command sim/starters/engage_starter_3 Engage starter #3\n"
    "command sim/igniters/igniter_contin_on_3 Igniter on #3\n"
    "command sim/igniters/igniter_contin_off_3 Igniter off #3\n";

class CustomRefsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        xphost::Reset();
        ASSERT_TRUE(xphost::LoadDatarefText(kSources, nullptr));
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
    const float savedFrametime_ = frametime;
};

TEST_F(CustomRefsTest, OnlyUsedDatarefsAreRefreshedAndAStartForgetsThem) {
    const auto published = [] {
        return std::vector<double>{xphost::GetNumber("corvane/flaps_in_transition"),
                                   xphost::GetNumber("corvane/altitude_hold_status")};
    };
    xphost::SetDataref("sim/cockpit2/controls/flap_ratio", "0.3");
    xphost::SetDataref("sim/cockpit2/autopilot/altitude_hold_status", "2");
    RefreshCustomDrefs();
    EXPECT_EQ(published(), (std::vector<double>{0, 0}));
    // Each known name counts once, in the order of first use; other names add nothing.
    for (const char* name : {"altitude_hold_status", "altitude_hold_status", "flaps_in_transition",
                             "flaps_in_transition", "no_such_thing", "flaps"})
        AddCustomRef(std::string("corvane/") + name);
    EXPECT_EQ(CustomIndices, (std::vector<unsigned int>{1, 0}));
    RefreshCustomDrefs();
    EXPECT_EQ(published(), (std::vector<double>{1, 1}));
    xphost::SetDataref("sim/cockpit2/controls/flap_ratio", "0");
    xphost::SetDataref("sim/cockpit2/autopilot/altitude_hold_status", "0");
    RefreshCustomDrefs();
    EXPECT_EQ(published(), (std::vector<double>{0, 0}));
    xphost::SetDataref("sim/cockpit2/autopilot/altitude_hold_status", "2");
    RefreshCustomDrefs();
    EXPECT_EQ(published()[1], 1);  // captured
    // Armed with a frame period of zero or no number: no blinking, and nothing breaks.
    xphost::SetDataref("sim/cockpit2/autopilot/altitude_hold_status", "1");
    for (float period : {0.0f, std::nanf("")}) {
        frametime = period;
        RefreshCustomDrefs();
        const std::vector<double> held = published();
        for (int pass = 0; pass < 40; ++pass) RefreshCustomDrefs();
        EXPECT_EQ(published(), held);
    }
    // Armed at 8 passes a second: the value flips at once (the passes before were counted), then
    // after every floor(0.4 / 0.125) + 1 = 4 passes.
    frametime = 0.125f;
    std::string blink;
    for (int pass = 0; pass < 12; ++pass) {
        RefreshCustomDrefs();
        blink += std::to_string(static_cast<int>(published()[1]));
    }
    EXPECT_EQ(blink, "000011110000");
    // A new start keeps one set of records and forgets the used ones.
    AddCustomRef("corvane/flaps_in_transition");
    UnregisterCustomDrefs();
    InitiateCustom();
    EXPECT_EQ(Corvane_Drefs.size(), 2u);
    EXPECT_EQ(Corvane_Commands.size(), 4u);
    EXPECT_TRUE(CustomIndices.empty());
    EXPECT_TRUE(xphost::HasDataref("corvane/altitude_hold_status"));
    UnregisterCustomDrefs();
    EXPECT_FALSE(xphost::HasDataref("corvane/altitude_hold_status"));
}

// The held command, and the commands the plug-in holds while their input is held.
TEST_F(CustomRefsTest, StarterCommandHoldsTheStarterAndSwitchesTheIgniter) {
    for (const std::string n : {"1", "2", "3"}) {
        xphost::TakeCommandTrace();
        ASSERT_TRUE(xphost::RunCommand("corvane/starter_ignition_" + n, "begin"));
        ASSERT_TRUE(xphost::RunCommand("corvane/starter_ignition_" + n, "end"));
        // Engines whose commands the simulator does not have: nothing is run, nothing breaks.
        ASSERT_TRUE(xphost::RunCommand("corvane/starter_ignition_4", "once"));
        std::vector<std::string> plugin;
        for (const xphost::CommandEvent& e : xphost::TakeCommandTrace())
            if (e.cause == "plugin") plugin.push_back(e.name + " " + xphost::PhaseName(e.phase));
        const std::string starter = "sim/starters/engage_starter_" + n;
        const std::string igniter = "sim/igniters/igniter_contin_o";
        EXPECT_EQ(plugin, (std::vector<std::string>{
                              starter + " begin", igniter + "n_" + n + " begin",
                              igniter + "n_" + n + " end", starter + " end",
                              igniter + "ff_" + n + " begin", igniter + "ff_" + n + " end"}));
    }
    // The commands held while their input is held.
    for (const char* name : {"sim/starters/engage_starter_1", "corvane/starter_ignition_3",
                             "sim/starters/engage_starters", "sim/annunciator/test_all",
                             "sim/autopilot/test_auto_annunciators"})
        EXPECT_TRUE(CommandIsHold(name)) << name;
    for (const char* name : {"sim/starters/Engage_Starter_1", "sim/flight_controls/flaps_down", ""})
        EXPECT_FALSE(CommandIsHold(name)) << name;
}

}  // namespace
