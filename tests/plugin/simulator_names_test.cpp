// The simulator's names as the Studio completes them, looked up inside the running plug-in: from
// the simulator's live list (X-Plane 12), else from X-Plane's DataRefs.txt beside the plug-in's
// folder; commands always from Commands.txt. By prefix and kind, in name order, with the type and
// whether a dataref can be written; bounded by the limit; nothing where there is no list. A check
// inside the plug-in draws its "did you mean" from the same names.
#include "check/simulator_names.h"

#include <gmock/gmock.h>

#include <thread>

#include "check/verdict.h"
#include "support/plugin_harness.h"
#include "xphost.h"

namespace {

using corvane_check::LookUpNames;
using corvane_check::NameAnswer;
using corvane_check::NameKind;

const char kDataRefsTxt[] =
    "2 120100 Sun Mar  3 12:00:00 2024\n"
    "\n"
    "test/names/alpha\tint\ty\tboolean\tAlpha\n"
    "test/names/beta\tfloat[10]\tn\tratio\n"
    "test/names/delta\tfloat/double\tn\tseconds\n"
    "test/names/epsilon\tbyte[260]\ty\n"
    "test/other/zeta\tint[8]\ty\n";
const char kCommandsTxt[] =
    "test/names/alpha_on\tAlpha on.\n"
    "test/names/beta_toggle    Beta toggle.\n"
    "test/other/zeta_cmd\tZeta.\n";

// The host's own datarefs, which its live list names (the host's format).
const char kLiveDatarefs[] =
    "test/names/alpha int rw\ntest/names/beta float[4] ro\n"
    "test/names/gamma int+float+double rw\ntest/names/live_only double ro\n";

// "name kind type w|r; " of each name of an answer, for comparing whole answers.
std::string Rows(const NameAnswer& answer) {
    std::string rows;
    for (const corvane_check::SimulatorName& n : answer.names)
        rows += n.name + " " + (n.command ? "command" : "dataref " + n.type) + " " +
                (n.writable ? "w" : "r") + "; ";
    return rows;
}

struct NamesRun {
    explicit NamesRun(int simulator, bool lists) : run(Options()) {
        xphost::SetSimulatorVersion(simulator);
        if (!lists) return;
        corvane_test::WriteFile(run.folder() + "/../DataRefs.txt", kDataRefsTxt);
        corvane_test::WriteFile(run.folder() + "/../Commands.txt", kCommandsTxt);
    }
    static corvane_test::PluginOptions Options() {
        corvane_test::PluginOptions options;
        options.extraDatarefs = kLiveDatarefs;
        return options;
    }
    corvane_test::PluginRun run;
};

struct LookupRow {
    int simulator;  // 12 has the live list, 11 has not
    bool lists;     // DataRefs.txt and Commands.txt beside the plug-in's folder
    const char* prefix;
    NameKind kind;
    size_t limit;
    const char* source;
    const char* rows;  // the answer's Rows
};

const LookupRow kLookups[] = {
    {12, true, "test/names/", NameKind::Dataref, 50, "live",
     "test/names/alpha dataref int w; test/names/beta dataref float[] r; "
     "test/names/gamma dataref int w; test/names/live_only dataref double r; "},
    {12, true, "test/names/", NameKind::Any, 3, "live",
     "test/names/alpha dataref int w; test/names/alpha_on command r; "
     "test/names/beta dataref float[] r; "},
    {12, true, "test/", NameKind::Command, 0, "lists",
     "test/names/alpha_on command r; test/names/beta_toggle command r; "
     "test/other/zeta_cmd command r; "},
    {12, false, "test/names/g", NameKind::Any, 50, "live", "test/names/gamma dataref int w; "},
    {12, false, "test/", NameKind::Command, 50, "", ""},
    {11, true, "test/names/", NameKind::Dataref, 50, "lists",
     "test/names/alpha dataref int w; test/names/beta dataref float[] r; "
     "test/names/delta dataref float r; test/names/epsilon dataref data w; "},
    {11, true, "test/other/", NameKind::Any, 50, "lists",
     "test/other/zeta dataref int[] w; test/other/zeta_cmd command r; "},
    {11, true, "test/names/x", NameKind::Any, 50, "lists", ""},
    {11, false, "test/", NameKind::Any, 50, "", ""},
};

TEST(SimulatorNames, LooksUpByPrefixAndKindFromTheLiveListOrTheLists) {
    for (const LookupRow& row : kLookups) {
        SCOPED_TRACE(std::to_string(row.simulator) + (row.lists ? " lists " : " ") + row.prefix);
        NamesRun names(row.simulator, row.lists);
        const NameAnswer answer = LookUpNames(row.prefix, row.kind, row.limit);
        EXPECT_EQ(answer.source, row.source);
        EXPECT_TRUE(answer.complete);
        EXPECT_EQ(Rows(answer), row.rows);
    }
}

// The limit: 50 when none is given, at most 200; a prefix beyond the longest matches nothing.
// Names the simulator adds later are found, more than one lookup indexes taking a few lookups.
TEST(SimulatorNames, AnswersAreBoundedAndTheLiveListFollowsTheSimulator) {
    NamesRun names(12, false);
    std::string many;
    for (int k = 0; k < corvane_check::kLiveRefsPerLookup + 100; ++k)
        many += "test/many/n" + std::to_string(100000 + k) + " int rw\n";
    ASSERT_TRUE(xphost::LoadDatarefText(many, nullptr));
    NameAnswer first = LookUpNames("test/many/", NameKind::Dataref, 0);
    EXPECT_FALSE(first.complete);
    NameAnswer second = LookUpNames("test/many/", NameKind::Dataref, 0);
    EXPECT_TRUE(second.complete);
    EXPECT_EQ(second.names.size(), corvane_check::kDefaultNameCount);
    EXPECT_EQ(second.names.front().name, "test/many/n100000");
    EXPECT_EQ(LookUpNames("test/many/", NameKind::Dataref, 1000).names.size(),
              corvane_check::kMostNameCount);
    EXPECT_EQ(LookUpNames("test/many/n10409", NameKind::Any, 7).names.size(), 7u);
    const std::string longPrefix =
        "test/many/" + std::string(corvane_check::kLongestNamePrefix, 'n');
    EXPECT_TRUE(LookUpNames(longPrefix, NameKind::Any, 10).names.empty());

    ASSERT_TRUE(xphost::LoadDatarefText("test/late/added float rw\n", nullptr));
    EXPECT_EQ(Rows(LookUpNames("test/late/", NameKind::Any, 5)),
              "test/late/added dataref float w; ");
}

// Inside the plug-in, a misspelt name gets the simulator's own name as its suggestion: in the
// check, or afterwards on another thread from a snapshot of the names, which later lookups leave
// as it was.
TEST(SimulatorNames, TheCheckInsideThePluginSuggestsTheSimulatorsNames) {
    const std::string text = "*1\n[I]\nD5+ test/names/alpah 1\nD6+ test/names/alpha_onn\n";
    const std::vector<std::string> meant = {"test/names/alpha", "test/names/alpha_on"};
    const auto suggestions = [](const corvane_check::Verdict& verdict) {
        std::vector<std::string> names;
        for (const corvane_check::VerdictIssue& issue : verdict.Issues())
            names.push_back(issue.suggestion);
        return names;
    };
    for (const int simulator : {12, 11}) {
        NamesRun names(simulator, true);
        EXPECT_EQ(suggestions(corvane_check::CheckConfigText("data.cfg", text)), meant);
        corvane_check::Verdict later = corvane_check::CheckConfigText("data.cfg", text, false);
        EXPECT_EQ(suggestions(later), std::vector<std::string>(2, "")) << simulator;
        const auto snapshot = corvane_check::SimulatorNamesSnapshot();
        const std::vector<std::string> taken = *snapshot;
        ASSERT_TRUE(xphost::LoadDatarefText("test/names/alpah_new int rw\n", nullptr));
        LookUpNames("test/", NameKind::Any, 10);
        EXPECT_EQ(*snapshot, taken);
        std::thread([&] { corvane_check::SuggestNames(later, *snapshot); }).join();
        EXPECT_EQ(suggestions(later), meant) << simulator;
        corvane_check::SuggestNames(later, *snapshot, 1);
        EXPECT_EQ(suggestions(later), meant) << simulator;
        corvane_check::Verdict firstOnly = corvane_check::CheckConfigText("data.cfg", text, false);
        corvane_check::SuggestNames(firstOnly, *snapshot, 1);
        EXPECT_EQ(suggestions(firstOnly), (std::vector<std::string>{meant[0], ""})) << simulator;
    }
}

}  // namespace
