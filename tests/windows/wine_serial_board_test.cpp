// The Windows plug-in under Wine with a board on a serial line: a pseudo-terminal mapped into the
// Wine prefix as COM42, found by the device scan, configured, and served both ways.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/plugin_harness.h"
#include "windows/wine_cockpit.h"
#include "windows/wine_host.h"

using ::testing::HasSubstr;

namespace corvane_wine {
namespace {

TEST(WineSerialBoard, BoardOnAComPortIsFoundConfiguredAndServed) {
    const std::string devices = corvane_test::MakeTempFolder("corvane-wine-dev");
    boardsim::Options options;
    options.serialLink = devices + "/ttyUSB0";
    options.boardId = 3;
    options.configSection = kSection;
    options.autoGate = true;
    boardsim::Board board(options);
    ASSERT_TRUE(board.ok()) << board.error();
    MapComPort("COM42", board.slavePath());
    {
        WineHost host({std::string("*3\n") + kSection, "USB_DEVICE_COUNT = 1\n", kDatarefs});
        ASSERT_TRUE(host.running());
        host.Watch(board);
        host.Ask("run 1.05");
        EXPECT_TRUE(host.CallUntil([&] { return board.boardNumber() == 1; }));
        EXPECT_TRUE(host.CallUntil([&] { return board.gateLetter() != 0; }, 100));
        host.Ask("set sim/test/int 1");
        EXPECT_TRUE(host.CallUntil([&] { return board.leds()[7]; }, 20));
        host.Ask("trace");
        board.SendInput("D5");
        host.Call(3);
        EXPECT_THAT(host.Ask("trace"), HasSubstr("sim/lights/landing_lights_toggle begin plugin"));
        host.Ask("menu Corvane/Status");
        EXPECT_THAT(host.Ask("window"), HasSubstr("1. USB Arduino #3"));

        std::string log;
        EXPECT_EQ(host.Quit(&log), 0);
        EXPECT_THAT(log, HasSubstr("\nSerial port COM42 opened"));
    }
    MapComPort("COM42", "");
    corvane_test::RemoveFolder(devices);
}

}  // namespace
}  // namespace corvane_wine
