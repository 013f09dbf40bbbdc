// The checker's view of a section agrees with what the plug-in builds from the same text when a
// board identifies itself: the plug-in's own board tables, and the upload and blocks the
// emulated board receives. The checker names the encoder group a mode switch drives, by whole
// tags, and reports a switch that drives none; what it says of a plain encoder entry beside a
// group is what the plug-in does with a turn.
#include "check/board_view.h"
#include "check_support.h"
#include "config/board_tables.h"
#include "exchange/identification.h"
#include "xphost.h"

namespace check_test {
namespace {

using corvane_check::CheckDataCfg;

// One board with every kind of entry.
const char* const kRichFile =
    "*4\n"
    "[A]\n"
    "B 30 33 40 41 44\n"
    "G 20\n"
    "L 21\n"
    "N 22\n"
    "T D5+\n"
    "R D6+\n"
    "S E7,2\n"
    "Q A1\n"
    "[I]\n"
    "D5+ sim/cockpit2/switches/wiper_speed 1\n"
    "D5+ sim/cockpit2/switches/wiper_speed 2\n"
    "D5+ sim/cockpit2/switches/wiper_speed 0\n"
    "D6+ sim/cockpit2/controls/elevator_trim 0.01+,1\n"
    "D8+ corvane/starter_ignition_1\n"
    "D9+ sim/flight_controls/landing_gear_down\n"
    "B10 sim/lights/landing_lights_toggle\n"
    "E7+ sim/cockpit2/radios/actuators/com1_frequency_hz_833 25+,136975\n"
    "e13+ sim/cockpit2/autopilot/altitude_dial_ft 100+,40000\n"
    "D12+ E3>1\n"
    "E3/1+ sim/cockpit2/autopilot/heading_dial_deg_mag_pilot 1+,0,360\n"
    "E3/2+ sim/cockpit2/autopilot/vvi_dial_fpm 100+,3000\n"
    "A1 sim/cockpit2/engine/actuators/throttle_ratio_all 0,1 1 250 3 7\n"
    "A2+ sim/cockpit2/engine/actuators/mixture_ratio_all 0,1\n"
    "A3/30 sim/cockpit2/engine/actuators/prop_ratio_all 0,1\n"
    "M14 sim/cockpit2/radios/actuators/com1_frequency_hz_833 0\n"
    "P14 sim/cockpit2/radios/actuators/com1_frequency_hz_833\n"
    "D15 O_50D\n"
    "M4 sim/cockpit2/radios/actuators/com1_frequency_hz_833 10000000000\n"
    "A9 sim/cockpit2/engine/actuators/prop_ratio_all 0,1\n"
    "[O]\n"
    "23L 0 sim/flightmodel2/gear/deploy_ratio 1 0,1 0,1\n"
    "24L 0 sim/flightmodel2/gear/deploy_ratio 1 0.01 0.99\n"
    "5l 0 sim/cockpit2/switches/landing_lights_on\n"
    "12l 0 sim/cockpit2/switches/taxi_light_on\n"
    "31N 0 sim/cockpit2/radios/actuators/com1_frequency_hz_833 1 6 3 d\n"
    "32N 0 sim/cockpit2/autopilot/heading_dial_deg_mag_pilot 1 3 0 z\n"
    "45G 0 sim/cockpit2/gauges/indicators/airspeed_kts_pilot 1 0,200 0,300 2048\n"
    "46g 0 sim/cockpit2/gauges/indicators/altitude_ft_pilot 1 0,1000 0,360 400\n"
    "11S 0 sim/flightmodel2/controls/flap_handle_deploy_ratio 1 0,1\n"
    "16P 0 sim/cockpit2/switches/panel_brightness_ratio 1 0,1\n"
    "50D 1 sim/cockpit2/gauges/indicators/airspeed_kts_pilot\n"
    "50D 1 sim/cockpit2/gauges/indicators/altitude_ft_pilot\n"
    "47L E3=1\n"
    "48L E3=2\n";

template <typename T>
std::string Bytes(const std::vector<T>& values) {
    return std::string(values.begin(), values.end());
}

using CheckAgreement = CheckTest;

TEST_F(CheckAgreement, ViewAgreesWithThePluginsTablesAndWhatTheBoardReceives) {
    const auto report = CheckDataCfg(kRichFile);
    const corvane_check::BoardView checked = report.sections.at(0).view;
    corvane_test::PluginRun run({kRichFile});
    boardsim::Options board = run.LanBoardOptions(26, 4);
    board.requestBlocks = true;
    boardsim::Board& sim = run.AddBoard(board);
    ASSERT_TRUE(run.ConnectAll(400));
    ASSERT_TRUE(run.CallUntil(
        [&] {
            return sim.messageCount("analog-config") > 0 && sim.messageCount("7seg-config") > 0 &&
                   sim.messageCount("stepper-config") > 0;
        },
        400));
    ASSERT_EQ(BoardCount(), 1);

    // The plug-in's own row, built through the identification of the board.
    EXPECT_TRUE(corvane_check::ViewOfBoard(0) == checked);
    ASSERT_EQ(Datatags[0].size(), checked.inputs.size());
    for (size_t i = 0; i < checked.inputs.size(); ++i)
        EXPECT_EQ(checked.inputs[i].tag, Datatags[0][i]);

    // What the board received: the upload's pin uses and the three blocks.
    EXPECT_EQ(checked.pinModes, BuildPinModes(0));
    EXPECT_EQ(Bytes(sim.pinModes()), checked.pinModes);
    EXPECT_EQ(Bytes(sim.analogConfig()), checked.analog);
    EXPECT_EQ(Bytes(sim.sevenSegConfig()), checked.sevenSegment);
    EXPECT_EQ(Bytes(sim.stepperConfig()), checked.stepper);
    EXPECT_EQ(checked.sevenSegment, std::string("\x1f\x20", 2));
    EXPECT_EQ(checked.stepper, std::string("\x2d\x00\x08\x2e\x90\x01", 6));
    // Pin uses; 13 is the encoder written e13+.
    for (const auto& use : {std::make_pair(30, 5), {44, 4}, {11, 12}, {13, 3}})
        EXPECT_EQ(checked.pinModes[use.first], use.second) << "pin " << use.first;
    EXPECT_EQ(checked.ledPorts.size(), 2u);
    // A1's 250 travels as 250 / 100 + 100, then 3 and 7; A2+ as 1; A3/30 as 30 + 127.
    EXPECT_EQ(checked.analog.substr(3, 4), "\x66\x03\x07\x01");
    EXPECT_EQ(checked.analog.at(9), '\x9d');
    // Channels 0, 4 to 8 and 10 to 15, which no input uses, are off for the board: neither read
    // nor sent. Channel 9 is read.
    EXPECT_EQ(checked.analog.substr(0, 3) + checked.analog.substr(24, 6) + checked.analog.substr(45),
              std::string("d\0dd\0d\0\0dd\0d", 12));
    // What a single encoder and a display with point 0 do, in the builder's words; a memory store
    // keeps at least one value and at most a million and one, as the plug-in's store does.
    const std::pair<size_t, std::string> details[] = {
        {0,
         "writes 1; a message with a value writes that value; leads a group of 3 "
         "inputs: each press goes to the next"},
        {8, "adds 100 per encoder step, no further once at or above 40000"},
        {15, "stores the value under key 14 in the board's memory file, keeping the last 1"},
        {18, "stores the value under key 4 in the board's memory file, keeping the last 1000001"}};
    for (const auto& d : details) EXPECT_EQ(checked.inputs.at(d.first).detail, d.second);
    EXPECT_EQ(checked.outputs[5].detail,
              "3 digits, no point: the whole part, right-aligned, without decimals, leading zeros");
}

TEST_F(CheckTest, ModeSwitchesReportTheGroupTheyDrive) {
    const corvane_check::CheckReport report = corvane_check::CheckDataCfg(
        "*1\n[I]\n"
        "E3/1+ sim/cockpit2/autopilot/heading_dial_deg_mag_pilot 1+,0,360\n"
        "E3/2+ sim/cockpit2/autopilot/heading_dial_deg_mag_pilot 10+,0,360\n"
        "E30+ sim/cockpit2/autopilot/heading_dial_deg_mag_pilot 1+,0,360\n"
        "D24+ E3>1\nD25+ E7<1\n"
        "B1 O9N\nB2 O_9N\nB3 O-_9N\nB4 O2_9N\n"
        "D8 sim/cockpit2/engine/actuators/throttle_ratio 1\n");
    const std::vector<corvane_check::InputView>& inputs = report.sections.at(0).view.inputs;
    // The group's leader is the board's first input; output selections name their outputs; an
    // array's element is named, the first too.
    const std::pair<size_t, std::string> details[] = {
        {0,
         "adds 1 per encoder step, wraps around within 0 to 360; leads its encoder group: "
         "a turn goes to the input of the group's mode (mode 1 to start with)"},
        {3, "next mode (+1), of the 2 modes of the encoder group led by input 0 (E3/1+)"},
        {4, "previous mode (-1): drives no encoder group (no encoder input is tagged E7 or E7/n)"},
        {5, "selects nothing: no '_' before the output tag"},
        {6, "switches to the next of the outputs tagged 9N"},
        {7, "switches to the previous of the outputs tagged 9N"},
        {8, "switches to number 2 of the outputs tagged 9N"}};
    for (const auto& d : details) EXPECT_EQ(inputs.at(d.first).detail, d.second) << d.first;
    EXPECT_EQ(inputs.at(9).target,
              "sim/cockpit2/engine/actuators/throttle_ratio, element 1 (float[])");
    const std::vector<corvane_check::Finding> problems = report.Problems();
    ASSERT_EQ(problems.size(), 2u);  // E7<1, and O9N without its '_'
    EXPECT_EQ(problems[0].line, 7);
    EXPECT_NE(problems[0].reason.find("mode switch E7<1 drives no encoder group"),
              std::string::npos);
}

// A plain E3+ above the group's first entry runs on every turn, and the member of the mode after
// it; below that entry it never runs. The checker says so, and the plug-in does so.
TEST_F(CheckTest, PlainEncoderEntryBesideItsGroupIsReportedAsThePluginRunsIt) {
    const std::string plain = "E3+ sim/cockpit2/autopilot/altitude_dial_ft 100+\n";
    const std::string first = "E3/1+ sim/cockpit2/autopilot/heading_dial_deg_mag_pilot 1+,0,360\n";
    const std::string second = "E3/2+ sim/cockpit2/autopilot/vvi_dial_fpm 100+\n";
    const struct {
        std::string section;
        const char* said;
        double altitude;  // after one turn, from 5000
    } rows[] = {
        {plain + first + second,
         "before the group E3/n (E3/1+): every E3+ turn runs this entry and then the group's "
         "member of the mode in force",
         5100},
        {first + plain + second,
         "after the first entry of the group E3/n (E3/1+): every E3 turn goes to the group's "
         "member of the mode in force, never to this entry",
         5000},
    };
    // The checker reads in the world of names that a plug-in run empties: it reads first.
    for (const auto& row : rows) {
        const auto problems = CheckDataCfg("*1\n[I]\n" + row.section).Problems();
        ASSERT_EQ(problems.size(), 1u) << row.section;
        EXPECT_NE(problems[0].reason.find(row.said), std::string::npos) << problems[0].reason;
    }
    // An entry of a sign that no member has is all that its turn runs.
    const std::string minus = "E3- sim/cockpit2/autopilot/altitude_dial_ft 100-\n";
    EXPECT_TRUE(CheckDataCfg("*1\n[I]\n" + minus + first + second).Problems().empty());
    for (const auto& row : rows) {
        corvane_test::PluginRun run("*1\n[I]\n" + row.section);
        boardsim::Board& board = run.AddLanBoard(26, 1);
        ASSERT_TRUE(run.ConnectAll(400));
        board.TurnEncoder("E3+", 1);
        run.Call(3);
        EXPECT_EQ(xphost::GetNumber("sim/cockpit2/autopilot/altitude_dial_ft"), row.altitude);
        EXPECT_EQ(xphost::GetNumber("sim/cockpit2/autopilot/heading_dial_deg_mag_pilot"), 1);
    }
}

}  // namespace
}  // namespace check_test
