// corvane-check on arbitrary text: the text read as a data.cfg (every board section into a board
// row of its own, as the plug-in's start-up and the boards' identifications read it) and as the
// configuration text of a Helvan panel, each reported in full and as its problems. A panel's text
// is read inside flight-loop calls when the panel identifies itself, so that read is timed, call
// by call as the plug-in spreads it: one longer than the limit is a finding. The checker's own
// work (its notes, reports and name suggestions) is no part of a frame and is not timed.
#include <cstdint>
#include <string>

#include "check/config_check.h"
#include "check_world.h"
#include "config/board_tables.h"
#include "config/config_file.h"
#include "exchange/identification.h"
#include "fuzz_support.h"
#include "report_text.h"
#include "support/plugin_harness.h"

namespace {

void Report(const corvane_check::CheckReport& report) {
    const corvane_check::Verdict verdict = corvane_check::VerdictOf(report);
    corvane_check::WriteReport(corvane_fuzz::NullStream(), verdict, "data.cfg");
    corvane_check::WriteProblems(corvane_fuzz::NullStream(), verdict, "data.cfg");
}

void TestOneInput(const uint8_t* data, size_t size) {
    static const bool prepared = [] {
        corvane_fuzz::Silence();
        std::string error;
        std::string warning;
        return corvane_check::PrepareWorld(corvane_test::DefaultDatarefFile(), &error, &warning);
    }();
    if (!prepared) __builtin_trap();
    const std::string text(reinterpret_cast<const char*>(data), size);
    Report(corvane_check::CheckDataCfg(text));
    Report(corvane_check::CheckPanelText(text));
    corvane_check::ClearBoards();
    ConfigRead read;
    bool done = false;
    corvane_fuzz::Timed("the first call of a Helvan panel's identification", [&] {
        const std::string panelText = !text.empty() && text[0] == '[' ? text : "[O]\n" + text;
        if (!BeginConfigRead(read, panelText, BoardCount(), 0)) {
            done = true;
            return;
        }
        done = ContinueConfigRead(read, kPanelLinesPerCall);
        if (done) FinishConfigRead(read);
    });
    while (!done)
        corvane_fuzz::Timed("a later call of a Helvan panel's identification", [&] {
            done = ContinueConfigRead(read, kPanelLinesPerCall);
            if (done) FinishConfigRead(read);
        });
    corvane_check::ClearBoards();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    corvane_fuzz::RunInput(TestOneInput, data, size);
    return 0;
}
