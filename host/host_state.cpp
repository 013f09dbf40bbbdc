// The host's state as a whole: Reset, the debug log and text helpers.
#include "host_state.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "XPLMUtilities.h"

namespace xphost {
namespace detail {

namespace {
// The log keeps at most this much; the oldest half goes when it is full.
constexpr std::size_t kMaxLog = 8u << 20;
}  // namespace

State& S() {
    // Never destroyed: plug-in code may still call in from static destructors at exit.
    static State* state = new State();
    static bool initialised = false;
    if (!initialised) {
        initialised = true;
        ResetMenus();
        EnsureTimeDatarefs();
    }
    return *state;
}

std::string Trim(const std::string& text) {
    const char* const kSpace = " \t\r\n";
    std::size_t begin = text.find_first_not_of(kSpace);
    if (begin == std::string::npos) return std::string();
    return text.substr(begin, text.find_last_not_of(kSpace) - begin + 1);
}

// The shortest text that reads back as the same value, without an exponent where that is as
// short (10, 0.25, 1e+20).
template <typename T>
std::string Shortest(T value) {
    if (std::isnan(value)) return "nan";
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string FormatFloat(float value) {
    return Shortest(value);
}

std::string FormatDouble(double value) {
    return Shortest(value);
}

bool ParseNumber(const std::string& text, double* value) {
    std::string trimmed = Trim(text);
    if (trimmed.empty()) return false;
    char* end = nullptr;
    double parsed = std::strtod(trimmed.c_str(), &end);
    if (end != trimmed.c_str() + trimmed.size() || !std::isfinite(parsed)) return false;
    *value = parsed;
    return true;
}

}  // namespace detail

using detail::S;

void Reset() {
    auto& s = S();
    detail::DetachPlugin();
    detail::ResetFlightLoops();
    detail::ResetWidgets();
    detail::ResetMenus();
    detail::ResetCommands();
    detail::ResetDatarefs();
    detail::ResetRunTimeNames();
    s.fps = 60.0;
    s.cycle = 0;
    s.baseCycle = 0;
    s.baseTime = 0.0;
    s.inFrame = false;
    s.reloadPending = false;
    s.reloadHook = nullptr;
    s.log.clear();
    s.logCursor = 0;
    s.quit = false;
    s.controlFrameHook = nullptr;
    s.hostWrite = false;
    s.aircraft.clear();
    s.otherAircraft.clear();
    detail::EnsureTimeDatarefs();
}

std::string DebugLog() {
    return S().log;
}

void SetDebugEcho(bool echo) {
    S().echo = echo;
}

bool QuitRequested() {
    return S().quit;
}

void SetControlFrameHook(std::function<bool()> hook) {
    S().controlFrameHook = std::move(hook);
}

}  // namespace xphost

void XPLMDebugString(const char* inString) {
    if (inString == nullptr) return;
    auto& s = xphost::detail::S();
    if (s.echo) {
        std::fputs(inString, stderr);
        std::fflush(stderr);
    }
    s.log += inString;
    if (s.log.size() > xphost::detail::kMaxLog) {
        std::size_t drop = s.log.size() - xphost::detail::kMaxLog / 2;
        s.log.erase(0, drop);
        s.logCursor = s.logCursor > drop ? s.logCursor - drop : 0;
    }
}
