// The cost of "did you mean" in corvane-check: one misspelt name looked up among as many names as
// X-Plane's DataRefs.txt and Commands.txt hold together, and more.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "check/name_suggestions.h"

namespace {

// Names shaped like the simulator's: a few folders of common words and a numbered last part.
std::vector<std::string> Names(size_t count) {
    static const char* const kWords[] = {"cockpit2", "switches",  "lights",     "autopilot",
                                         "heading",  "altitude",  "engine",     "throttle",
                                         "radios",   "frequency", "electrical", "indicators"};
    const size_t n = sizeof kWords / sizeof kWords[0];
    std::vector<std::string> names;
    for (size_t k = 0; k < count; ++k)
        names.push_back(std::string("sim/") + kWords[k % n] + "/" + kWords[(k / n) % n] + "/" +
                        kWords[(k / 7) % n] + "_" + kWords[(k / 3) % n] + "_" + std::to_string(k));
    names.push_back("sim/cockpit2/switches/landing_lights_on");
    return names;
}

void BM_ClosestNames(benchmark::State& state) {
    const std::vector<std::string> names = Names(static_cast<size_t>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(
            corvane_check::ClosestNames("sim/cockpit2/switches/landing_lite_on", names));
}
BENCHMARK(BM_ClosestNames)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond);

}  // namespace
