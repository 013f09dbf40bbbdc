// corvane-check on arbitrary text: the text read as a data.cfg (every board section into a board
// row of its own, as the plug-in's start-up and the boards' identifications read it) and as the
// configuration text of a Helvan panel, each reported in full and as its problems. A panel's text
// is read inside a flight-loop call when the panel identifies itself, so that read is timed: one
// longer than the limit is a finding.
#include <cstdint>
#include <string>

#include "check_world.h"
#include "config_check.h"
#include "fuzz_support.h"
#include "report_text.h"
#include "support/plugin_harness.h"

namespace {

void Report(const corvane_check::CheckReport& report) {
    corvane_check::WriteReport(corvane_fuzz::NullStream(), report, "data.cfg");
    corvane_check::WriteProblems(corvane_fuzz::NullStream(), report, "data.cfg");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool prepared = [] {
        corvane_fuzz::Silence();
        std::string error;
        std::string warning;
        return corvane_check::PrepareWorld(corvane_test::DefaultDatarefFile(), &error, &warning);
    }();
    if (!prepared) __builtin_trap();
    const std::string text(reinterpret_cast<const char*>(data), size);
    Report(corvane_check::CheckDataCfg(text));
    corvane_check::CheckReport panel;
    corvane_fuzz::Timed("a Helvan panel's identification",
                        [&] { panel = corvane_check::CheckPanelText(text); });
    Report(panel);
    return 0;
}
