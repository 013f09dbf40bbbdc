// The host's state as a whole: Reset, the debug log and text helpers.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "XPLMUtilities.h"
#include "host_state.h"

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
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && (text[begin] == ' ' || text[begin] == '\t' || text[begin] == '\r' ||
                           text[begin] == '\n')) {
        ++begin;
    }
    while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t' ||
                           text[end - 1] == '\r' || text[end - 1] == '\n')) {
        --end;
    }
    return text.substr(begin, end - begin);
}

std::string FormatFloat(float value) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
    char buffer[64];
    for (int precision = 1; precision <= 9; ++precision) {
        std::snprintf(buffer, sizeof buffer, "%.*g", precision, static_cast<double>(value));
        if (std::strtof(buffer, nullptr) == value) break;
    }
    return buffer;
}

std::string FormatDouble(double value) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
    char buffer[64];
    for (int precision = 1; precision <= 17; ++precision) {
        std::snprintf(buffer, sizeof buffer, "%.*g", precision, value);
        if (std::strtod(buffer, nullptr) == value) break;
    }
    return buffer;
}

bool ParseNumber(const std::string& text, double* value) {
    std::string trimmed = Trim(text);
    if (trimmed.empty()) return false;
    errno = 0;
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
    detail::EnsureTimeDatarefs();
}

std::string DebugLog() { return S().log; }

void SetDebugEcho(bool echo) { S().echo = echo; }

bool QuitRequested() { return S().quit; }

void SetControlFrameHook(std::function<bool()> hook) { S().controlFrameHook = std::move(hook); }

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
