// Learning controls with the board library's firmware on a virtual Uno: while learning, a switch
// on a pin that data.cfg does not name and a lever on a channel it does not name reach the
// plug-in; once learning is off, the pin is silent again.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "config/board_tables.h"
#include "config/status_text.h"
#include "exchange/learn_mode.h"
#include "support/avr_cockpit.h"
#include "xphost.h"

namespace {

using corvane_test::AvrCockpit;
using corvane_test::AvrCockpitSetup;

size_t Uploads() {
    const std::string log = xphost::DebugLog();
    size_t count = 0;
    for (size_t at = log.find("Config sent: 61"); at != std::string::npos;
         at = log.find("Config sent: 61", at + 1))
        ++count;
    return count;
}

bool LastMessageIs(const std::string& message) {
    const std::string line = StatusLine(kLastMessageLine);
    return line.size() >= message.size() &&
           line.compare(line.size() - message.size(), message.size(), message) == 0;
}

struct Chip {
    const char* mcu;
    const char* firmware;
    const char* freePin;  // a pin no entry names
};

class LearnOnBoard : public ::testing::TestWithParam<Chip> {};

// A Mega's upload adds its pins 14 to 53 too: 45 digital inputs more, which its firmware takes.
TEST_P(LearnOnBoard, SwitchAndLeverNoEntryNamesReportWhileLearning) {
    const std::string pin = GetParam().freePin;
    AvrCockpitSetup setup;
    setup.boardProgram = CORVANE_AVR_BOARD;
    setup.mcu = GetParam().mcu;
    setup.firmware = std::string(CORVANE_AVR_FIRMWARE_DIR) + "/" + GetParam().firmware;
    setup.bootDelayMs = 200;
    setup.dataCfg = "*7\n[I]\nD2+ avr/button 1\nA5 avr/lever 0,1\n";
    setup.extraDatarefs = "avr/button int rw 0\navr/lever float rw 0\n";
    const std::string missing = AvrCockpit::Missing(setup);
    if (!missing.empty()) GTEST_SKIP() << missing;
    AvrCockpit cockpit(setup);
    ASSERT_TRUE(cockpit.ready());
    const auto open = [] { return !AllowOutput.empty() && AllowOutput[0]; };
    ASSERT_TRUE(cockpit.FlyUntil(open)) << xphost::DebugLog();
    EXPECT_EQ(cockpit.Ask("press " + pin), "ok");
    cockpit.Fly(0.3);
    EXPECT_FALSE(LastMessageIs("D" + pin + "+"));

    StartLearning();
    ASSERT_TRUE(cockpit.FlyUntil([&] { return Uploads() == 2 && open(); }));
    EXPECT_EQ(cockpit.Ask("release " + pin), "ok");
    EXPECT_TRUE(cockpit.FlyUntil([&] { return LastMessageIs("D" + pin + "-"); }));
    EXPECT_EQ(cockpit.Ask("analog 2 1023"), "ok");
    EXPECT_TRUE(cockpit.FlyUntil([] { return LastMessageIs("A2 1000"); }));
    EXPECT_EQ(xphost::GetNumber("avr/lever"), 0.0);

    StopLearning();
    ASSERT_TRUE(cockpit.FlyUntil([&] { return Uploads() == 3 && open(); }));
    EXPECT_EQ(cockpit.Ask("press " + pin), "ok");
    EXPECT_EQ(cockpit.Ask("press 2"), "ok");
    EXPECT_TRUE(cockpit.FlyUntil([] { return xphost::GetNumber("avr/button") == 1.0; }));
    cockpit.Fly(0.3);
    EXPECT_TRUE(LastMessageIs("D2+"));
}

INSTANTIATE_TEST_SUITE_P(Chips, LearnOnBoard,
                         ::testing::Values(Chip{"atmega328p", "corvane-uno.elf", "8"},
                                           Chip{"atmega2560", "corvane-mega.elf", "40"}),
                         [](const ::testing::TestParamInfo<Chip>& info) {
                             return std::string(info.param.mcu);
                         });

}  // namespace
