// The checker names the encoder group a mode switch drives, by whole tags, and reports a switch
// that drives none.
#include "check_support.h"

namespace check_test {
namespace {

TEST_F(CheckTest, ModeSwitchesReportTheGroupTheyDrive) {
    const corvane_check::CheckReport report = corvane_check::CheckDataCfg(
        "*1\n[I]\n"
        "D24+ E3>1\n"
        "E3/1+ sim/cockpit2/autopilot/heading_dial_deg_mag_pilot 1+,0,360\n"
        "E3/2+ sim/cockpit2/autopilot/heading_dial_deg_mag_pilot 10+,0,360\n"
        "E30+ sim/cockpit2/autopilot/heading_dial_deg_mag_pilot 1+,0,360\n"
        "D25+ E7<1\n");
    ASSERT_EQ(report.sections.size(), 1u);
    const std::vector<corvane_check::InputView>& inputs = report.sections[0].view.inputs;
    ASSERT_EQ(inputs.size(), 5u);
    EXPECT_EQ(inputs[0].detail,
              "next mode (+1), of the 2 modes of the encoder group led by input 1 (E3/1+)");
    EXPECT_EQ(
        inputs[4].detail,
        "previous mode (-1): drives no encoder group (no encoder input is tagged E7 or E7/n)");
    const std::vector<corvane_check::Finding> problems = report.Problems();
    ASSERT_EQ(problems.size(), 1u) << ProblemList(report);
    EXPECT_EQ(problems[0].line, 7);
    EXPECT_NE(problems[0].reason.find("mode switch E7<1 drives no encoder group"),
              std::string::npos);
}

}  // namespace
}  // namespace check_test
