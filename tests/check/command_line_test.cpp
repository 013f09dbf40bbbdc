// corvane-check's command line: options, exit status, and the dataref list it checks names
// against.
#include "check_options.h"
#include "check_support.h"

namespace check_test {
namespace {

using corvane_check::CheckOptions;
using corvane_check::ParseCheckOptions;

bool Parse(std::vector<const char*> args, CheckOptions& options, std::string& error) {
    args.insert(args.begin(), "corvane-check");
    return ParseCheckOptions(static_cast<int>(args.size()), args.data(), options, error);
}

TEST(CheckCommandLine, OptionsAreRead) {
    CheckOptions options;
    std::string error;
    ASSERT_TRUE(
        Parse({"--quiet", "--datarefs", "names.txt", "--panel", "data.cfg"}, options, error));
    EXPECT_TRUE(options.quiet);
    EXPECT_TRUE(options.panel);
    EXPECT_EQ(options.datarefs, "names.txt");
    EXPECT_EQ(options.file, "data.cfg");

    CheckOptions plain;
    ASSERT_TRUE(Parse({"data.cfg"}, plain, error));
    EXPECT_FALSE(plain.quiet);
    EXPECT_FALSE(plain.panel);
    EXPECT_EQ(plain.datarefs, corvane_test::DefaultDatarefFile());
}

TEST(CheckCommandLine, BadCommandLinesAreRefused) {
    const std::vector<std::vector<const char*>> bad = {
        {}, {"--quiet"}, {"--datarefs"}, {"--verbose", "data.cfg"}, {"a.cfg", "b.cfg"}};
    for (const auto& args : bad) {
        CheckOptions options;
        std::string error;
        EXPECT_FALSE(Parse(args, options, error)) << args.size();
        EXPECT_FALSE(error.empty());
    }
}

TEST(CheckCommandLine, ExitStatusTellsCleanProblemsAndFailure) {
    TempFolder folder;
    const std::string clean =
        folder.Write("clean.cfg", "*1\n[I]\nD4+ sim/lights/taxi_lights_toggle\n");
    const std::string faulty = folder.Write("faulty.cfg", "*1\n[I]\nD4+\n");
    EXPECT_EQ(RunChecker({clean}).status, 0);
    EXPECT_EQ(RunChecker({"--quiet", clean}).output, "");
    EXPECT_EQ(RunChecker({faulty}).status, 1);
    EXPECT_EQ(RunChecker({}).status, 2);
    EXPECT_EQ(RunChecker({"--bogus", clean}).status, 2);
    EXPECT_EQ(RunChecker({folder.Write("x", "") + ".missing"}).status, 2);
    EXPECT_EQ(RunChecker({"--datarefs", clean + ".missing", clean}).status, 2);
    const CheckerRun help = RunChecker({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.output.compare(0, 20, "usage: corvane-check"), 0);
}

TEST(CheckCommandLine, NamesAreCheckedAgainstTheGivenList) {
    TempFolder folder;
    const std::string cfg =
        folder.Write("data.cfg",
                     "*1\n[I]\nD4+ my/aircraft/switch 1\nD5+ my/aircraft/horn\n[O]\n"
                     "13L 0 my/aircraft/lamp\n14L 0 corvane/flaps_in_transition\n");
    const std::string names = folder.Write(
        "names.txt",
        "my/aircraft/switch int rw\nmy/aircraft/lamp float ro\ncommand my/aircraft/horn\n");
    const CheckerRun defaults = RunChecker({"--quiet", cfg});
    EXPECT_EQ(defaults.status, 1);
    EXPECT_NE(defaults.output.find(":3: suspect: 'my/aircraft/switch'"), std::string::npos);
    EXPECT_NE(defaults.output.find(":4: suspect: 'my/aircraft/horn'"), std::string::npos);
    EXPECT_NE(defaults.output.find(":6: suspect: dataref my/aircraft/lamp"), std::string::npos);
    EXPECT_EQ(defaults.output.find(":7:"), std::string::npos);  // Corvane's own names

    const CheckerRun own = RunChecker({"--quiet", "--datarefs", names, cfg});
    EXPECT_EQ(own.status, 0) << own.output;
    const CheckerRun report = RunChecker({"--datarefs", names, cfg});
    EXPECT_NE(report.output.find("command: my/aircraft/horn"), std::string::npos);
    EXPECT_NE(report.output.find("set: my/aircraft/switch (int)"), std::string::npos);
    EXPECT_NE(report.output.find("LED: my/aircraft/lamp, element 1 (float)"), std::string::npos);
}

TEST(CheckCommandLine, AListWithBadLinesStillChecks) {
    TempFolder folder;
    const std::string cfg = folder.Write("data.cfg", "*1\n[I]\nD4+ my/switch 1\n");
    const std::string names = folder.Write("names.txt", "my/switch int rw\nthis is no entry\n");
    const CheckerRun run = RunChecker({"--quiet", "--datarefs", names, cfg});
    EXPECT_EQ(run.status, 0) << run.output;
}

TEST(CheckCommandLine, PanelTextIsReadAsThePanelsConfiguration) {
    TempFolder folder;
    // Without '[' the text is read as outputs.
    const std::string text = folder.Write("panel.cfg", "1L 0 sim/cockpit2/switches/beacon_on\n");
    const CheckerRun run = RunChecker({"--panel", text});
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("Helvan panel"), std::string::npos);
    EXPECT_NE(run.output.find("LED: sim/cockpit2/switches/beacon_on"), std::string::npos);
    EXPECT_NE(run.output.find("output values as text"), std::string::npos);
    const CheckerRun tooShort = RunChecker({"--panel", "--quiet", folder.Write("p2", "[I]\n")});
    EXPECT_EQ(tooShort.status, 1);
    EXPECT_NE(tooShort.output.find("10 characters"), std::string::npos);
    // The same text as a data.cfg has no board section.
    EXPECT_EQ(RunChecker({"--quiet", text}).status, 1);
}

}  // namespace
}  // namespace check_test
