// A data.cfg with one fault of each kind: the checker names each with its line number, and no
// other line.
#include "check/name_suggestions.h"
#include "check_support.h"
#include "report_text.h"

namespace check_test {
namespace {

// Line numbers follow from the position in this list (the first is line 1).
const FaultLine kFaultFile[] = {
    {"# One fault on every line that names one.", ""},
    {"[0] stray text before any section", "before the first '*' section line"},
    {"*1", ""},
    {"loose text before the first header", "line before a section header"},
    {"[A]", ""},
    {"B 30 33 40 41 x", "matrix number 'x' does not read"},
    {"Lpin", "A entry needs a letter and at least one value"},
    {"N x", "pin number 'x' does not read"},
    {"S D9", "no tag,count form"},
    {"S E13, 2", "S item 'E13,' ends at a blank after a comma: '2' is read as the next item"},
    {"[I]", ""},
    {"D4+ sim/cockpit/electrical/landing_light_on 1", "is not a command or dataref"},
    {"D5+ sim/cockpit/electrical/landing_lights_on x", "value 'x' does not read"},
    {"D5- sim/cockpit/electrical/landing_lights_on 0 first", "array element 'first'"},
    {"B22", "input entry without a name field"},
    {"A20 sim/cockpit2/engine/actuators/throttle_ratio_all 0,1 1 250 3 7",
     "channel 20 is above 15"},
    {"A3 sim/cockpit2/engine/actuators/throttle_ratio_all 1", "lower,upper"},
    {"A4 sim/cockpit2/engine/actuators/throttle_ratio_all 0,1", ""},
    {"D6+ sim/cockpit2/switches/panel_brightness_ratio 1 5", "beyond the 4 elements"},
    {"D7+ sim/cockpit2/gauges/indicators/airspeed_kts_pilot 100", "read-only"},
    {"D10 Ox", "has no '_'"},
    {"D8+ corvane/starter_ignition_1", ""},
    {"D8- corvane/starter_ignition_1", "holds corvane/starter_ignition_1 from press"},
    {"E6/1+ sim/cockpit2/autopilot/heading_dial_deg_mag_pilot 1+", ""},
    {"E6+ sim/cockpit2/autopilot/heading_dial_deg_mag_pilot 10+",
     "after the first entry of the group E6/n"},
    {"E6- sim/cockpit2/autopilot/heading_dial_deg_mag_pilot 10-",
     "after the first entry of the group E6/n"},
    {"D11+ 12L", "lights nothing"},
    {"E12- sim/cockpit2/autopilot/heading_dial_deg_mag_pilot 1,0,360",
     "every turn writes 1; to step on each turn write 1-,0,360"},
    {"E13+ sim/cockpit2/autopilot/heading_dial_deg_mag_pilot 1+, 0, 360",
     "'1+,' end at a blank after a comma: '0,' is read as the next field and the range is lost; "
     "write 1+,0,360"},
    {"[A]", "repeated [A] header"},
    {"R D9+", "A entry after the I section"},
    {"[O]", ""},
    {"13L x sim/cockpit2/switches/landing_lights_on", "precision 'x' does not read"},
    {"14L", "output entry without a dataref field"},
    {"18L 0 sim/cockpit2/switches/landing_lights_on 1 0, 5",
     "the range list '0,' ends at a blank after a comma: '5' is read as the next field; write 0,5 "
     "without blanks"},
    {"61A 0 sim/cockpit2/controls/flap_ratio 1 0, 200 0,270",
     "'0,' ends at a blank after a comma: '200'"},
    {"62A 0 sim/cockpit2/controls/flap_ratio 1 0,200 0 ,270",
     "'0' ends at a blank before a comma: ',270'"},
    {"x5L 0 sim/cockpit2/switches/landing_lights_on", "does not begin with a pin number"},
    {"15L 0 sim/no/such/dataref", "not known to the simulator"},
    {"16L 0 sim/flightmodel2/gear/deploy_ratio 11", "beyond the 10 elements"},
    {"17S 0 sim/cockpit2/controls/flap_ratio 1 0,1 500,2500,900", "range lists of 2 and 3"},
    {"30N 0 sim/cockpit2/autopilot/heading_dial_deg_mag_pilot 1", "needs six fields"},
    {"31N 0 sim/cockpit2/autopilot/heading_dial_deg_mag_pilot 1 x 0", "digit count 'x'"},
    {"32N 0 sim/cockpit2/autopilot/heading_dial_deg_mag_pilot 1 12 0", "is above 8"},
    {"33N 0 sim/cockpit2/autopilot/heading_dial_deg_mag_pilot 1 4 6", "beyond the digit count"},
    {"44G 0 sim/cockpit2/gauges/indicators/airspeed_kts_pilot 1", "fewer than six fields"},
    {"45G 0 sim/cockpit2/gauges/indicators/airspeed_kts_pilot 1 0,200 0,300 lots",
     "steps per revolution 'lots'"},
    {"90l 0 sim/cockpit2/switches/landing_lights_on", "outside 1 to 64"},
    {"8l 0 sim/cockpit2/switches/landing_lights_on", ""},
    {"46L E3", "has no '='"},
    {"7", "shorter than 3 characters"},
    {"[O]", "repeated [O] header"},
    {"[X]", "the lines below it are ignored"},
    {"D1 sim/flight_controls/landing_gear_down", "line of an ignored section"},
    {"*1", "repeated board ID 1"},
    {"[I]", ""},
    {"D4+ sim/flight_controls/landing_gear_down", ""},
    {"*2", ""},
    {"D9+ sim/flight_controls/landing_gear_down", "before the first section header"},
    {"[I]", ""},
    {"D9- sim/flight_controls/landing_gear_up", ""},
    {"*3", "no inputs and no outputs"},
    {"*0", ""},
    {"[I]", "board ID 0"},
    {"*x", "no board ID digit"},
    {"@note", "marker other than @info"},
    {"*45", "only one digit is read"},
    {"[I]", ""},
    {"D3 sim/flight_controls/landing_gear_up", ""},
    {"*5", ""},
    {"[O]", ""},
    {"20N 0 sim/cockpit2/autopilot/heading_dial_deg_mag_pilot 1 4 0",
     "7-segment displays need their common pin (A entry N"},
    {"*6", ""},
    {"[O]", ""},
    {"21l E3=1", "port LEDs need the LED port pin (A entry L"},
};

using CheckFaults = CheckTest;

TEST_F(CheckFaults, EveryFaultIsNamedWithItsLineAndNoOtherLine) {
    const std::string path = Write("data.cfg", FileText(kFaultFile));
    ExpectFaultsOnTheirLines(RunChecker({"--quiet", path}), path, kFaultFile);
}

// The exit status tells a clean file, one with problems, and a failure to run; --quiet prints
// each problem with the line text under it and nothing else.
TEST_F(CheckFaults, ExitStatusTellsCleanProblemsAndFailure) {
    const std::string clean = Write("clean.cfg", "*1\n[I]\nD4+ sim/lights/taxi_lights_toggle\n");
    const std::string faulty = Write("faulty.cfg", "*1\n[I]\nB22\nB5 sim/x\n");
    EXPECT_EQ(RunChecker({clean}).status, 0);
    EXPECT_EQ(RunChecker({"--quiet", clean}).output, "");
    EXPECT_EQ(RunChecker({faulty}).status, 1);
    EXPECT_EQ(RunChecker({"--quiet", faulty}).output,
              faulty + ":3: skipped: input entry without a name field\n    B22\n" + faulty +
                  ":4: suspect: 'sim/x' is not a command or dataref of the simulator: it becomes "
                  "an internal input\n    B5 sim/x\n");
    EXPECT_EQ(RunChecker({}).status, 2);
    EXPECT_EQ(RunChecker({"--bogus", clean}).status, 2);
    EXPECT_EQ(RunChecker({clean + ".missing"}).status, 2);
    EXPECT_EQ(RunChecker({folder_}).status, 2);
    EXPECT_EQ(RunChecker({"--datarefs", clean + ".missing", clean}).status, 2);
    const CheckerRun help = RunChecker({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.output.compare(0, 20, "usage: corvane-check"), 0);
}

// Run in a plug-in's folder whose data.cfg is a folder or a link to nothing, it names data.cfg
// and fails, and still checks the profiles.
TEST_F(CheckFaults, UnreadableDataCfgInThePluginsFolderIsToldAndFails) {
    for (const bool folder : {true, false}) {
        const std::string dir = folder_ + (folder ? "/folder" : "/link");
        Write(dir.substr(folder_.size() + 1) + "/profiles/B738.cfg",
              "*1\n[I]\nD4+ sim/lights/taxi_lights_toggle\n");
        if (folder)
            std::filesystem::create_directory(dir + "/data.cfg");
        else
            std::filesystem::create_symlink(dir + "/gone.cfg", dir + "/data.cfg");
        std::string output;
        EXPECT_EQ(corvane_test::RunCommand("cd '" + dir + "' && '" CORVANE_CHECK "' 2>&1", &output),
                  2);
        EXPECT_NE(output.find(folder ? "corvane-check: cannot read data.cfg: it is a folder\n"
                                     : "corvane-check: cannot read data.cfg: No such file"),
                  std::string::npos)
            << output;
        EXPECT_NE(output.find("corvane-check profiles/B738.cfg\n"), std::string::npos);
    }
}

// What the checker prints shows every byte a terminal would not show as \xNN, and a control byte in
// a line is a problem: here a NUL that makes the tag D5+ one that no board sends.
TEST_F(CheckFaults, ControlBytesAreNamedAndNoUnprintableByteIsPrinted) {
    const struct {
        std::string text, shown;
    } rows[] = {
        {"a\tb\n~", "a\tb\n~"},
        {std::string("\0\x1F\x7F", 3), "\\x00\\x1F\\x7F"},
        {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"},
        {"caf\xE9!", "caf\\xE9!"},
        {"\xC2\x85\xEF\xBB\xBF", "\\xC2\\x85\\xEF\\xBB\\xBF"},
        {"\xC0\xAF\xED\xA0\x80", "\\xC0\\xAF\\xED\\xA0\\x80"},
        {"\xF4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"},
        {"\xE2\x82", "\\xE2\\x82"},
    };
    for (const auto& row : rows) EXPECT_EQ(corvane_check::ShownText(row.text), row.shown);
    const std::string path = Write("bytes.cfg", std::string("*1\n[I]\nD5+") + '\0' +
                                                    " sim/cockpit2/switches/landing_lights_on 1\n" +
                                                    "# caf\xE9 \x1B[31m\x07\x01\r\n");
    const CheckerRun run = RunChecker({"--quiet", path});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output, path +
                              ":3: suspect: a control byte (00 at column 4) that no editor shows: "
                              "Corvane reads it as part of the field it stands in; delete it\n"
                              "    D5+\\x00 sim/cockpit2/switches/landing_lights_on 1\n" +
                              path +
                              ":4: suspect: 3 control bytes (1B at column 8, 07 at column 13, "
                              "01 at column 14) that no editor shows: Corvane reads each as part "
                              "of the field it stands in; delete them\n"
                              "    # caf\\xE9 \\x1B[31m\\x07\\x01\n");
    const std::string report = RunChecker({path}).output;
    EXPECT_EQ(report, corvane_check::ShownText(report));
}

// "Did you mean" offers the three closest names at most, the closest first and then by name.
TEST(CheckSuggestions, AtMostThreeNamesAreOffered) {
    const std::vector<std::string> known = {"sim/a/lamd", "sim/a/lamc", "sim/a/lamb", "sim/a/lmp"};
    EXPECT_EQ(corvane_check::DidYouMean(corvane_check::ClosestNames("sim/a/lamp", known)),
              "; did you mean sim/a/lamb, sim/a/lamc or sim/a/lamd?");
}

}  // namespace
}  // namespace check_test
