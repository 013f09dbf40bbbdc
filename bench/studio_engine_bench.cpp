// What the Studio's calls into the checker's engine cost the simulator's thread, inside the running
// plug-in: a check of a configuration text (the guide's first board, and a file of nine boards
// with 60 entries each, with and without two misspelt names, whose suggestions are drawn from the
// simulator's names), and a name lookup among 50,000 live datarefs, once indexed and while each
// lookup indexes its slice of them.
#include <benchmark/benchmark.h>

#include <string>

#include "check/simulator_names.h"
#include "check/verdict.h"
#include "support/plugin_harness.h"
#include "xphost.h"

namespace {

constexpr int kLiveNames = 50000;

std::string FirstBoard() {
    return "*1\n[I]\nD5+ sim/cockpit2/switches/landing_lights_on 1\n"
           "D5- sim/cockpit2/switches/landing_lights_on 0\n[O]\n"
           "13L 0 sim/cockpit2/switches/landing_lights_on\n";
}

// Nine boards of 30 inputs and 30 outputs; with misspelt, two names the simulator does not know.
std::string NineBoards(bool misspelt) {
    std::string text;
    for (int board = 1; board <= 9; ++board) {
        text += "*" + std::to_string(board) + "\n[I]\n";
        for (int pin = 2; pin < 32; ++pin)
            text += "D" + std::to_string(pin) + "+ sim/cockpit2/switches/" +
                    (misspelt && pin == 7 ? "landing_lite_on" : "landing_lights_on") + " 1\n";
        text += "[O]\n";
        for (int pin = 22; pin < 52; ++pin)
            text += std::to_string(pin) + "L 0 sim/cockpit2/switches/" +
                    (misspelt && pin == 40 ? "beacn_on" : "beacon_on") + "\n";
    }
    return text;
}

std::string ManyDatarefs() {
    std::string text;
    for (int k = 0; k < kLiveNames; ++k)
        text += "sim/bench/folder" + std::to_string(k % 97) + "/name_" + std::to_string(k) +
                " float rw\n";
    return text;
}

void BM_CheckConfigText(benchmark::State& state) {
    corvane_test::PluginOptions options;
    options.extraDatarefs = ManyDatarefs();
    corvane_test::PluginRun run(options);
    const std::string text = state.range(0) == 1 ? FirstBoard() : NineBoards(state.range(0) == 9);
    while (!corvane_check::LookUpNames("", corvane_check::NameKind::Any, 1).complete) {
    }
    for (auto _ : state) benchmark::DoNotOptimize(corvane_check::CheckConfigText("data.cfg", text));
}
// 1: the first board; 9: nine boards, two names misspelt; 10: the nine boards without them.
BENCHMARK(BM_CheckConfigText)->Arg(1)->Arg(9)->Arg(10)->Unit(benchmark::kMillisecond);

void BM_LookUpNames(benchmark::State& state) {
    corvane_test::PluginOptions options;
    options.extraDatarefs = ManyDatarefs();
    corvane_test::PluginRun run(options);
    while (!corvane_check::LookUpNames("", corvane_check::NameKind::Any, 1).complete) {
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(
            corvane_check::LookUpNames("sim/bench/folder4", corvane_check::NameKind::Any, 50));
}
BENCHMARK(BM_LookUpNames)->Unit(benchmark::kMicrosecond);

// The first lookup after the start, which indexes kLiveRefsPerLookup live datarefs (and each
// lookup after it, until all are).
void BM_LookUpNamesIndexing(benchmark::State& state) {
    corvane_test::PluginOptions options;
    options.extraDatarefs = ManyDatarefs();
    corvane_test::PluginRun run(options);
    for (auto _ : state) {
        state.PauseTiming();
        corvane_check::ForgetSimulatorNames();
        state.ResumeTiming();
        benchmark::DoNotOptimize(
            corvane_check::LookUpNames("sim/bench/folder4", corvane_check::NameKind::Any, 50));
    }
}
BENCHMARK(BM_LookUpNamesIndexing)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
