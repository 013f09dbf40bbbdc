#include "fuzz_support.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iostream>
#include <limits>
#include <stdexcept>
#include <streambuf>

#include "XPLMDataAccess.h"
#include "exchange/flight_loop.h"
#include "exchange/wire_protocol.h"
#include "plugin/lifecycle.h"
#include "support/plugin_harness.h"
#include "xphost.h"

namespace corvane_fuzz {

const char* const kFuzzDatarefs =
    "fuzz/float float rw 0\n"
    "fuzz/int int rw 0\n"
    "fuzz/double double rw 0\n"
    "fuzz/int_float int+float rw 0\n"
    "fuzz/floats float[8] rw\n"
    "fuzz/ints int[8] rw\n"
    "fuzz/bytes byte[16] rw abc\n"
    "fuzz/heading float rw 0\n"
    "sim/operation/misc/frame_rate_period float rw 0.025\n"
    "command fuzz/command Fuzz command\n"
    "command fuzz/engage_starter_1 Held command\n";

// One board section: additional settings, inputs of every kind (commands, held commands, groups,
// encoders with skip counts, analog axes, memory, internal inputs) and outputs of every kind
// (LEDs, port LEDs, LED mode entries, 7-segment displays, steppers, servos, PWM, floats, arrays,
// doubles, byte data).
#define CORVANE_FUZZ_SECTION                      \
    "[A]\n"                                       \
    "B 30 33 34 37 40\n"                          \
    "L 41\n"                                      \
    "N 42\n"                                      \
    "G 43\n"                                      \
    "T D5+\n"                                     \
    "R D7+\n"                                     \
    "S E3,2\n"                                    \
    "Q A1\n"                                      \
    "[I]\n"                                       \
    "B3 fuzz/command\n"                           \
    "D4+ fuzz/engage_starter_1\n"                 \
    "D5+ fuzz/int 1,0,1\n"                        \
    "D5+ fuzz/int 0,0,1\n"                        \
    "D6 fuzz/float 2.5\n"                         \
    "D7+ fuzz/floats 0.5+,0,10 3\n"               \
    "E3 fuzz/heading 1+,0,360\n"                  \
    "E3/1 fuzz/heading 5-,0,360\n"                \
    "A1 fuzz/float 0,100 1 250 3 7\n"             \
    "A2/5 fuzz/double -10,10 1 60\n"              \
    "R4 fuzz/ints 0,1000 2\n"                     \
    "M12 fuzz/float 3\n"                          \
    "P12 fuzz/float\n"                            \
    "D8 13L\n"                                    \
    "D9 E3>1\n"                                   \
    "D10 O_9N\n"                                  \
    "D11 O-_9N\n"                                 \
    "D12 O2_9N\n"                                 \
    "D13 hello_text\n"                            \
    "B14 fuzz/int_float 7\n"                      \
    "[O]\n"                                       \
    "13L 0 fuzz/int\n"                            \
    "9N 0 fuzz/float 1 4 2 rzc\n"                 \
    "9N 1 fuzz/double 1 6 0 dfe\n"                \
    "15N 0 fuzz/int 1 8 3 d\n"                    \
    "16N 2 fuzz/heading 1 3 0 z\n"                \
    "17N -1 fuzz/floats 2 5 1 ce\n"               \
    "4G 0 fuzz/heading 1 0,360 0,1 400\n"         \
    "18G 0 fuzz/double 1 -1000,1000 -2048,2048\n" \
    "5g 0 fuzz/heading 1 0,360 0,2048\n"          \
    "6S 0 fuzz/float 1 0,1\n"                     \
    "7P 0 fuzz/int 1 0,255 0,255\n"               \
    "19P 0 fuzz/floats 4 0,1 0,255\n"             \
    "8 2 fuzz/floats 3\n"                         \
    "3l 0 fuzz/int 1 0,1\n"                       \
    "20l 0 fuzz/ints 2 1 1\n"                     \
    "21l 0 fuzz/heading 1 180 180\n"              \
    "10D -2 fuzz/double\n"                        \
    "11B 8 fuzz/bytes\n"                          \
    "12L 0 fuzz/int 1 0.5 100\n"                  \
    "5l E3=1\n"                                   \
    "14L E3=2\n"

const char* const kFuzzDataCfg =
    "*1\n" CORVANE_FUZZ_SECTION "*2\n" CORVANE_FUZZ_SECTION "*3\n" CORVANE_FUZZ_SECTION;

const char* const kFuzzPanelConfig =
    "[I]\n"
    "B1 fuzz/command\n"
    "D2+ fuzz/int 1,0,1\n"
    "E3 fuzz/heading 1+,0,360\n"
    "A4 fuzz/float 0,100\n"
    "D5 13L\n"
    "[O]\n"
    "13L 0 fuzz/int\n"
    "7N 0 fuzz/float 1 4 2\n"
    "6S 0 fuzz/heading 1 0,360\n"
    "10G 0 fuzz/double 1 0,1 0,100\n"
    "8 2 fuzz/floats 3\n"
    "9B 8 fuzz/bytes\n";

#undef CORVANE_FUZZ_SECTION

namespace {

// A stream buffer that swallows everything.
class NullBuffer : public std::streambuf {
  protected:
    int overflow(int c) override { return c == traits_type::eof() ? 0 : c; }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

}  // namespace

void Silence() {
    static NullBuffer sink;
    std::cerr.rdbuf(&sink);
    xphost::SetDebugEcho(false);
}

std::string UseDeviceFolder() {
    const std::string folder = corvane_test::MakeTempFolder("corvane-fuzz-dev");
    setenv("CORVANE_DEVICE_DIR", folder.c_str(), 1);
    RemoveAtExit(folder);
    return folder;
}

std::unique_ptr<corvane_test::PluginRun> StartQuietRun(corvane_test::PluginOptions options) {
    Silence();
    options.extraDatarefs = kFuzzDatarefs;
    auto run = std::make_unique<corvane_test::PluginRun>(options);
    RemoveAtExit(RunRoot(run->folder()));
    return run;
}

void RemoveAtExit(const std::string& folder) {
    if (folder.empty()) return;
    static std::vector<std::string>* folders = nullptr;
    if (!folders) {
        folders = new std::vector<std::string>;
        std::atexit([] {
            for (const std::string& f : *folders) corvane_test::RemoveFolder(f);
        });
    }
    folders->push_back(folder);
}

std::string RunRoot(const std::string& pluginFolder) {
    const std::string tail = "/Resources/plugins/Corvane";
    if (pluginFolder.size() > tail.size() &&
        pluginFolder.compare(pluginFolder.size() - tail.size(), tail.size(), tail) == 0)
        return pluginFolder.substr(0, pluginFolder.size() - tail.size());
    return std::string();
}

std::string EncodedInput(int n, std::string text) {
    const size_t k = text.empty() ? std::string::npos : std::string("EDABC").find(text[0]);
    if (k != std::string::npos && k < CodeCurrent.size()) text[0] = CodeCurrent[k];
    return std::string(1, static_cast<char>(n)) + text;
}

LoopbackPeer::LoopbackPeer(int host) {
    fd_ = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd_ < 0) throw std::runtime_error("socket failed");
    sockaddr_in a{};
    a.sin_family = AF_INET;
    const std::string text = "127.0.0." + std::to_string(host);
    inet_pton(AF_INET, text.c_str(), &a.sin_addr);
    if (bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
        throw std::runtime_error("bind to " + text + " failed");
    socklen_t length = sizeof address_;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&address_), &length);
    fcntl(fd_, F_SETFL, O_NONBLOCK);
}

LoopbackPeer::~LoopbackPeer() {
    if (fd_ >= 0) close(fd_);
}

void LoopbackPeer::SendTo(int pluginPort, const std::string& bytes) const {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(pluginPort));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    sendto(fd_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
}

void LoopbackPeer::Drain() const {
    char buffer[4096];
    while (recv(fd_, buffer, sizeof buffer, 0) >= 0) {
    }
}

std::string Reader::Bytes(size_t n) {
    if (pos_ >= size_) return std::string();
    if (n > size_ - pos_) n = size_ - pos_;
    std::string bytes(reinterpret_cast<const char*>(data_ + pos_), n);
    pos_ += n;
    return bytes;
}

float Reader::FloatBits() {
    uint32_t bits = 0;
    for (int k = 0; k < 4; ++k) bits |= static_cast<uint32_t>(Byte()) << (8 * k);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

double Reader::DoubleBits() {
    uint64_t bits = 0;
    for (int k = 0; k < 8; ++k) bits |= static_cast<uint64_t>(Byte()) << (8 * k);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

std::string Repeated(const std::string& pattern, size_t length) {
    if (pattern.empty()) return std::string();
    std::string text;
    text.reserve(length);
    while (text.size() < length) text += pattern;
    text.resize(length);
    return text;
}

double HardValue(unsigned int k) {
    static const double kValues[] = {
        std::numeric_limits<double>::quiet_NaN(),
        -std::numeric_limits<double>::quiet_NaN(),
        std::numeric_limits<double>::infinity(),
        -std::numeric_limits<double>::infinity(),
        3.4e38,
        -3.4e38,
        FLT_MAX,
        -FLT_MAX,
        DBL_MAX,
        -DBL_MAX,
        1e-45,        // the smallest float denormal
        -1e-40,       // a float denormal
        DBL_MIN / 4,  // a double denormal
        0.0,
        -0.0,
        2147483647.0,
        2147483648.0,
        -2147483649.0,
        4294967296.5,
        1e19,
        -1e19,
        1e300,
        65535.5,
        255.5,
        -1.0,
        0.5,
        1.0,
        359.99,
    };
    return kValues[k % (sizeof kValues / sizeof kValues[0])];
}

std::string NumberText(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

std::ostream& NullStream() {
    static NullBuffer sink;
    static std::ostream stream(&sink);
    return stream;
}

double CallLimitMs() {
    static const double limit = [] {
        const char* text = std::getenv("CORVANE_FUZZ_CALL_LIMIT_MS");
        const double value = text ? std::atof(text) : 0.0;
        return value > 0.0 ? value : 50.0;
    }();
    return limit;
}

namespace {

double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

}  // namespace

CallWatch::CallWatch() : wall_(std::chrono::steady_clock::now()), cpuMs_(ThreadCpuMs()) {}

CallTime CallWatch::Elapsed() const {
    CallTime took;
    took.wallMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wall_).count();
    took.cpuMs = ThreadCpuMs() - cpuMs_;
    return took;
}

namespace {

// Within RunInput: whether this is the input's first run, and whether a call of it overran.
bool firstRun = false;
bool overran = false;

}  // namespace

void CheckCallTime(const char* what, const CallTime& took, double limitMs) {
    if (took.wallMs <= limitMs) return;
    if (took.cpuMs <= limitMs && took.wallMs <= 4 * limitMs) return;
    std::fprintf(stderr,
                 "\n==corvane-fuzz== %s took %.1f ms (%.1f ms of it on the CPU), longer than its "
                 "limit of %.0f ms: %s\n",
                 what, took.wallMs, took.cpuMs, limitMs,
                 firstRun ? "the input runs again" : "the simulator would stall");
    std::fflush(stderr);
    if (!firstRun) std::abort();
    overran = true;
}

void RunInput(void (*input)(const uint8_t* data, size_t size), const uint8_t* data, size_t size) {
    firstRun = true;
    overran = false;
    input(data, size);
    firstRun = false;
    if (overran) input(data, size);
}

void TimedFrame() {
    if (xphost::ReloadPending()) xphost::ReloadPlugin();
    const bool startUp = FirstLaunch == 1;
    Timed(
        startUp ? "a frame with the deferred start-up" : "a flight-loop call",
        [] { xphost::RunFrame(); }, startUp ? kStartUpLimitMs : CallLimitMs());
}

void TimedFrames(corvane_test::PluginRun& run, int count) {
    for (int n = 0; n < count; ++n) {
        TimedFrame();
        run.PollBoards();
    }
}

void TimedCallWithFramePeriod(float period) {
    static XPLMDataRef framePeriod = nullptr;
    if (!framePeriod) framePeriod = XPLMFindDataRef("sim/operation/misc/frame_rate_period");
    XPLMSetDataf(framePeriod, period);
    Timed("a flight-loop call", [] { MyFlightLoopCallback(0.025f, 0.025f, 0, nullptr); });
}

std::vector<std::string> SplitOnce(const std::string& text, const std::string& separator) {
    const size_t at = text.find(separator);
    if (at == std::string::npos) return {text, std::string()};
    return {text.substr(0, at), text.substr(at + separator.size())};
}

}  // namespace corvane_fuzz
