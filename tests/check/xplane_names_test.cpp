// corvane-check in an X-Plane folder: it reads X-Plane's own DataRefs.txt and Commands.txt (given
// with --xplane, found by itself from the plug-in's folder, and installed there), suggests the
// names a misspelt one was meant to be, and names the mistakes a new builder makes, each with its
// line.
#include <cstring>
#include <set>
#include <sstream>

#include "XPLMDataAccess.h"
#include "check_support.h"
#include "config/status_text.h"
#include "xphost.h"

namespace check_test {
namespace {

// X-Plane's formats: a header line, tab-separated fields, blank lines, a type of two kinds.
const char kDataRefsTxt[] =
    "2 120100 Sun Mar  3 12:00:00 2024\n"
    "\n"
    "sim/cockpit2/switches/landing_lights_on\tint\ty\tboolean\tLanding lights on\n"
    "sim/flightmodel2/gear/deploy_ratio\tfloat[10]\tn\tratio\tGear deployment\n"
    "sim/cockpit2/autopilot/heading_dial_deg_mag_pilot\tfloat\ty\tdegrees\n"
    "sim/time/zulu_time_sec\tfloat/double\tn\tseconds\tZulu time\n";
const char kCommandsTxt[] =
    "sim/lights/taxi_lights_toggle\tTaxi lights toggle.\n"
    "sim/flight_controls/landing_gear_down    Landing gear down.\n";

// Line numbers follow from the position in this list (the first is line 1).
const FaultLine kConfig[] = {
    {"\xEF\xBB\xBF# Saved by an editor that writes a byte order mark.", "UTF-8 byte order mark"},
    {"\x1A*1", "1 stray byte (1A) before '*1'"},
    {"*1", ""},
    {"[I]", ""},
    {"D5+ sim/cockpit2/switches/landing_lite_on 1",
     "did you mean sim/cockpit2/switches/landing_lights_on?"},
    {"D6+ sim/lights/taxi_lites_toggle", "did you mean sim/lights/taxi_lights_toggle?"},
    {"D7+ sim/cockpit/electrical/landing_lights_on 1",
     "did you mean sim/cockpit2/switches/landing_lights_on?"},
    // In the project's own list, not in X-Plane's: the lists read are X-Plane's.
    {"D8+ sim/cockpit2/switches/beacon_on 1", "is not a command or dataref"},
    {"D 4+ sim/cockpit2/switches/landing_lights_on 1",
     "the tag 'D 4+' has a blank in it: the tag is read as 'D' and '4+' as the name; write D4+"},
    {"E6 sim/cockpit2/autopilot/heading_dial_deg_mag_pilot 1+", "encoder tag 'E6' has no sign"},
    {"E7+ sim/cockpit2/autopilot/heading_dial_deg_mag_pilot 1+", ""},
    {"[O]", ""},
    {"13L sim/cockpit2/switches/landing_lights_on", "output entry without its precision"},
    {"14L 0 sim/flightmodel2/gear/deploy_ratio 2", ""},
    {"15L 0 sim/flightmodel2/gear/deploy_rato", "did you mean sim/flightmodel2/gear/deploy_ratio?"},
    {"16L 0 corvane/flaps_in_transition", ""},
    {"17 0 sim/time/zulu_time_sec", ""},
    {"19 0.01 sim/cockpit2/autopilot/heading_dial_deg_mag_pilot",
     "precision 0.01 reads as 0: the precision is a count of decimals (0, 1, 2, or -1), not a "
     "step; for steps of 0.01 write 2"},
    {"*2", ""},
    {"[I]", ""},
    {"D9+ sim/flight_controls/landing_gear_down", ""},
    {"[0]", "'[0]' has a zero: the outputs header is [O]"},
    {"18L 0 sim/cockpit2/switches/landing_lights_on", "under the '[0]' of line 22"},
};

// An X-Plane folder with the two lists, and the plug-in's folder with data.cfg in it.
class CheckXPlaneNames : public CheckTest {
  protected:
    void SetUp() override {
        CheckTest::SetUp();
        Write("Resources/plugins/DataRefs.txt", kDataRefsTxt);
        Write("Resources/plugins/Commands.txt", kCommandsTxt);
        std::filesystem::create_directories(plugins_ + "/Corvane/lin_x64");
    }
    const std::string plugins_ = folder_ + "/Resources/plugins";
    const std::string config_ = Write("Resources/plugins/Corvane/data.cfg", FileText(kConfig));
};

// Given the X-Plane folder, or run from the plug-in's folders, the checker reads X-Plane's lists.
TEST_F(CheckXPlaneNames, GivenTheXPlaneFolderEveryMistakeIsNamedWithItsLine) {
    ExpectFaultsOnTheirLines(RunChecker({"--quiet", "--xplane", folder_, config_}), "data.cfg",
                             kConfig);
    Write("Resources/plugins/Corvane/profiles/B738.cfg", FileText(kConfig));
    for (const char* dir : {"/Corvane", "/Corvane/lin_x64", "/Corvane/profiles"})
        ExpectFaultsOnTheirLines(RunChecker({"--quiet", config_}, plugins_ + dir), "data.cfg",
                                 kConfig);
    // Without a file named: data.cfg and every profile.
    const CheckerRun both = RunChecker({"--quiet"}, plugins_ + "/Corvane");
    ExpectFaultsOnTheirLines(both, "data.cfg", kConfig);
    ExpectFaultsOnTheirLines(both, "profiles/B738.cfg", kConfig);
    // The report gives each output's precision as written, with what it does.
    const CheckerRun report = RunChecker({"data.cfg"}, plugins_ + "/Corvane");
    EXPECT_NE(report.output.find("deploy_ratio, element 2 (float[]), precision 0 (whole numbers)"),
              std::string::npos)
        << report.output;
    EXPECT_NE(report.output.find("pilot element 1, precision 0\n"), std::string::npos);
    // A list cut by hand without its header line loses none of its names.
    Write("Resources/plugins/DataRefs.txt", std::strchr(kDataRefsTxt, '\n') + 1);
    ExpectFaultsOnTheirLines(RunChecker({"--quiet", "--xplane", folder_, config_}), "data.cfg",
                             kConfig);
    // A missing list is a failure to run, not a file full of unknown names.
    EXPECT_EQ(RunChecker({"--xplane", plugins_, config_}).status, 2);
}

TEST_F(CheckXPlaneNames, TheInstalledCheckerLiesInThePluginsFolderAndFindsTheLists) {
    const std::string config = Write("my.cfg", FileText(kConfig));
    std::string build = CORVANE_CHECK;
    build = build.substr(0, build.rfind("/tools/check/"));
    // Installed anywhere but a Resources/plugins folder, it warns and names the right command.
    const auto install = [&](const std::string& prefix) {
        std::string output;
        EXPECT_EQ(corvane_test::RunCommand(
                      "cmake --install '" + build + "' --prefix '" + prefix + "' 2>&1", &output),
                  0);
        // The command names this build's own folder (build, build-sanitize, ...).
        return output.find(" --prefix \"/path/to/X-Plane 12/Resources/plugins");
    };
    EXPECT_NE(install(folder_ + "/elsewhere"), std::string::npos);
    ASSERT_EQ(install(plugins_), std::string::npos);
    // Run from elsewhere, the program's own folder leads it to the lists.
    const CheckerRun run =
        RunChecker({"--quiet", config}, "/", plugins_ + "/Corvane/corvane-check");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("did you mean sim/lights/taxi_lights_toggle?"), std::string::npos)
        << run.output;
}

// The running X-Plane's list: the menu item writes every dataref into the plug-in's folder, an
// aircraft's own included, and the checker there reads it beside X-Plane's lists. X-Plane 11
// cannot list its datarefs: the status window's message line says so.
TEST_F(CheckXPlaneNames, TheLiveListNamesWhatTheAircraftAdded) {
    const FaultLine config[] = {{"*1", ""},
                                {"[O]", ""},
                                {"14L 0 addon/gear/lever 2", ""},
                                {"15L 0 addon/gear/levr", "did you mean addon/gear/lever?"},
                                {"16L 0 addon/beacon", ""}};
    corvane_test::PluginRun run({});
    const std::string live = run.folder() + "/datarefs-live.txt";
    corvane_test::WriteFile(run.folder() + "/../DataRefs.txt", kDataRefsTxt);
    corvane_test::WriteFile(run.folder() + "/../Commands.txt", kCommandsTxt);
    corvane_test::WriteFile(run.folder() + "/data.cfg", FileText(config));
    xphost::SetSimulatorVersion(11);
    ASSERT_TRUE(xphost::ChooseMenu("Corvane/Write dataref list"));
    EXPECT_NE(StatusLine(kLastMessageLine).find("this X-Plane cannot list its datarefs"),
              std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(live));

    xphost::SetSimulatorVersion(12);
    ASSERT_EQ(xphost::ExecuteLine("register addon/gear/lever float[4] rw"), "ok");
    ASSERT_EQ(xphost::ExecuteLine("register addon/beacon int ro"), "ok");
    ASSERT_EQ(xphost::ExecuteLine("register addon/mix int+float+double rw"), "ok");
    ASSERT_EQ(xphost::ExecuteLine("register addon/pair int[3]+float[3] ro"), "ok");
    ASSERT_EQ(xphost::ExecuteLine("register addon/text byte[8] rw"), "ok");
    ASSERT_EQ(xphost::ExecuteLine("register addon/gone int ro"), "ok");
    ASSERT_EQ(xphost::ExecuteLine("unregister addon/gone"), "ok");
    for (const char* blank : {"addon/a b", "addon/a\tb", "addon/a\rb", "addon/a\nb"})  // not listed
        XPLMRegisterDataAccessor(blank, xplmType_Int, 0, nullptr, nullptr, nullptr, nullptr,
                                 nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                 nullptr, nullptr, nullptr);
    std::string many;  // the list is fetched a page of 1024 datarefs at a time
    for (int k = 0; k < 700; ++k) many += "addon/many/" + std::to_string(k) + " int ro 0\n";
    ASSERT_TRUE(xphost::LoadDatarefText(many, nullptr));
    ASSERT_TRUE(xphost::ChooseMenu("Corvane/Write dataref list"));
    const std::string list = corvane_test::ReadFile(live);
    EXPECT_EQ(list.compare(0, 9, "2 120100 "), 0) << list;  // the build of the host's list
    for (const char* line :
         {"\naddon/gear/lever\tfloat[4]\ty\n", "\naddon/beacon\tint\tn\n",
          "\naddon/mix\tint/float/double\ty\n", "\naddon/pair\tint[3]/float[3]\tn\n",
          "\naddon/text\tbyte[8]\ty\n", "\ncorvane/flaps_in_transition\tint\ty\n"})
        EXPECT_NE(list.find(line), std::string::npos) << line;
    for (const char* absent : {"addon/gone", "addon/a"})
        EXPECT_EQ(list.find(absent), std::string::npos) << absent;
    std::istringstream lines(list);
    std::set<std::string> distinct;
    size_t count = 0;
    for (std::string line; std::getline(lines, line); ++count) distinct.insert(line);
    EXPECT_EQ(distinct.size(), count);
    EXPECT_NE(list.find("\naddon/many/699\tint\tn\n"), std::string::npos);
    EXPECT_NE(StatusLine(kLastMessageLine).find("datarefs written to datarefs-live.txt"),
              std::string::npos);
    ExpectFaultsOnTheirLines(RunChecker({"--quiet", "data.cfg"}, run.folder()), "data.cfg", config);
    // A simulator that does not tell its build has 0 in its place.
    ASSERT_EQ(xphost::ExecuteLine("unregister sim/version/xplane_internal_version"), "ok");
    ASSERT_TRUE(xphost::ChooseMenu("Corvane/Write dataref list"));
    EXPECT_EQ(corvane_test::ReadFile(live).compare(0, 4, "2 0 "), 0);
}

}  // namespace
}  // namespace check_test
