// The simulated clock, frames and flight-loop callbacks.
#include <algorithm>
#include <cmath>

#include "XPLMProcessing.h"
#include "host_state.h"

namespace xphost {
namespace detail {

namespace {

// A callback due at t runs in the first frame at t or later; this much slack absorbs the rounding
// of float intervals (1/60 as a float is a little more than one frame at 60 fps).
constexpr double kTimeSlack = 1e-6;

void Schedule(FlightLoop& loop, float interval, double fromTime, long long fromCycle) {
    if (std::isnan(interval) || interval == 0.0f) {
        loop.scheduled = false;
    } else if (interval > 0.0f) {
        loop.scheduled = true;
        loop.byFrames = false;
        loop.dueTime = fromTime + static_cast<double>(interval);
    } else {
        double frames = std::min(std::round(-static_cast<double>(interval)), 1e15);
        loop.scheduled = true;
        loop.byFrames = true;
        loop.dueCycle = fromCycle + (frames < 1.0 ? 1 : static_cast<long long>(frames));
    }
}

bool Due(const FlightLoop& loop, double now, long long cycle) {
    if (!loop.alive || !loop.scheduled) return false;
    return loop.byFrames ? cycle >= loop.dueCycle : now + kTimeSlack >= loop.dueTime;
}

FlightLoop* FindLoop(XPLMFlightLoop_f callback, void* refcon) {
    for (auto& loop : S().loops) {
        if (loop.alive && loop.callback == callback && loop.refcon == refcon) return &loop;
    }
    return nullptr;
}

void CompactLoops() {
    auto& loops = S().loops;
    std::size_t kept = 0;
    for (std::size_t k = 0; k < loops.size(); ++k) {
        if (loops[k].alive) loops[kept++] = loops[k];
    }
    loops.resize(kept);
}

void RunFlightLoops(double now, double sinceLastFrame) {
    auto& s = S();
    // Callbacks registered during this pass wait for the next frame.
    std::size_t count = s.loops.size();
    for (std::size_t k = 0; k < count && k < s.loops.size(); ++k) {
        if (!Due(s.loops[k], now, s.cycle)) continue;
        FlightLoop& loop = s.loops[k];
        float sinceLastCall = static_cast<float>(now - loop.lastCallTime);
        loop.lastCallTime = now;
        loop.lastCallCycle = s.cycle;
        // The callback may register more callbacks (which can move the vector): copy what the call
        // needs and look the record up again afterwards.
        XPLMFlightLoop_f callback = loop.callback;
        void* refcon = loop.refcon;
        float next = callback(sinceLastCall, static_cast<float>(sinceLastFrame),
                              static_cast<int>(s.cycle), refcon);
        if (k >= s.loops.size()) break;
        FlightLoop& after = s.loops[k];
        if (after.alive) Schedule(after, next, now, s.cycle);
    }
}

}  // namespace

double Period() {
    return 1.0 / S().fps;
}

double Now() {
    auto& s = S();
    return s.baseTime + static_cast<double>(s.cycle - s.baseCycle) / s.fps;
}

void ResetFlightLoops() {
    S().loops.clear();
}

void DropPluginFlightLoops() {
    for (auto& loop : S().loops) loop.alive = false;
    if (!S().inFrame) CompactLoops();
}

}  // namespace detail

using detail::S;

void SetFrameRate(double fps) {
    if (!(fps > 0.0) || !std::isfinite(fps)) return;
    auto& s = S();
    s.baseTime = detail::Now();
    s.baseCycle = s.cycle;
    s.fps = fps;
    detail::EnsureTimeDatarefs();
}

double FrameRate() {
    return S().fps;
}

double SimulatedTime() {
    return detail::Now();
}

long long FrameCount() {
    return S().cycle;
}

void RunFrame() {
    auto& s = S();
    if (s.inFrame) return;  // a callback cannot run frames of its own
    s.inFrame = true;
    double before = detail::Now();
    ++s.cycle;
    double now = detail::Now();
    detail::UpdateTimeDatarefs(now - before);
    detail::NotifyDatarefsAdded();
    detail::DispatchContinues();
    detail::RunFlightLoops(now, now - before);
    s.inFrame = false;
    detail::CompactLoops();
    if (s.reloadPending) {
        s.reloadPending = false;
        ReloadPlugin();
    }
}

void RunFrames(int n) {
    for (int k = 0; k < n; ++k) RunFrame();
}

void RunSeconds(double seconds) {
    if (!(seconds > 0.0)) return;
    double frames = std::round(seconds * S().fps);
    RunFrames(frames > 2e9 ? 2000000000 : static_cast<int>(frames));
}

}  // namespace xphost

using xphost::detail::S;

float XPLMGetElapsedTime(void) {
    return static_cast<float>(xphost::detail::Now());
}

int XPLMGetCycleNumber(void) {
    return static_cast<int>(S().cycle);
}

void XPLMRegisterFlightLoopCallback(XPLMFlightLoop_f inFlightLoop, float inInterval,
                                    void* inRefcon) {
    if (inFlightLoop == nullptr) return;
    auto& s = S();
    xphost::detail::FlightLoop loop;
    loop.callback = inFlightLoop;
    loop.refcon = inRefcon;
    loop.lastCallTime = xphost::detail::Now();
    loop.lastCallCycle = s.cycle;
    xphost::detail::Schedule(loop, inInterval, loop.lastCallTime, s.cycle);
    s.loops.push_back(loop);
}

void XPLMUnregisterFlightLoopCallback(XPLMFlightLoop_f inFlightLoop, void* inRefcon) {
    auto* loop = xphost::detail::FindLoop(inFlightLoop, inRefcon);
    if (loop == nullptr) return;
    loop->alive = false;
    if (!S().inFrame) xphost::detail::CompactLoops();
}

void XPLMSetFlightLoopCallbackInterval(XPLMFlightLoop_f inFlightLoop, float inInterval,
                                       int inRelativeToNow, void* inRefcon) {
    auto* loop = xphost::detail::FindLoop(inFlightLoop, inRefcon);
    if (loop == nullptr) return;
    if (inRelativeToNow != 0) {
        xphost::detail::Schedule(*loop, inInterval, xphost::detail::Now(), S().cycle);
    } else {
        xphost::detail::Schedule(*loop, inInterval, loop->lastCallTime, loop->lastCallCycle);
    }
}
