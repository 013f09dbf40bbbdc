// What the fuzz targets share: a quiet plug-in run inside the headless host, a device folder of
// their own, loopback peers, a reader that cuts a fuzz input into operations, and a watch on the
// time every flight-loop call takes.
#pragma once

#include <netinet/in.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "support/plugin_harness.h"

namespace corvane_fuzz {

// The host's extra datarefs and commands that the fuzz configurations use.
extern const char* const kFuzzDatarefs;
// A data.cfg with sections for board IDs 1, 2 and 3 that use inputs and outputs of every kind.
extern const char* const kFuzzDataCfg;
// A Helvan panel's configuration text, as the panel sends it.
extern const char* const kFuzzPanelConfig;

// Sends the plug-in's diagnostics (std::cerr) and the host's debug echo nowhere, so that the
// fuzzer's own reports stay readable and each run does not pay for thousands of writes. What the
// sanitizers and libFuzzer write goes to the real standard error as usual.
void Silence();

// A new, empty folder that the plug-in's serial scan looks in (CORVANE_DEVICE_DIR), so that no
// fuzzed setting can make it open a device under /dev.
std::string UseDeviceFolder();

// Removes folder (and everything in it) when the fuzzer exits normally.
void RemoveAtExit(const std::string& folder);
// A quiet plug-in run with the fuzz datarefs added to options, removed when the fuzzer exits.
std::unique_ptr<corvane_test::PluginRun> StartQuietRun(corvane_test::PluginOptions options);
// The temporary root of a plug-in run, given its plug-in folder (…/Resources/plugins/Corvane).
std::string RunRoot(const std::string& pluginFolder);

// The input message of board number n with its type letter encoded by the current code letters
// (a letter of "EDABC" becomes the code letter that stands for it).
std::string EncodedInput(int n, std::string text);

// A UDP socket on a loopback address (127.0.0.x) with a port of the system's choice, standing
// for a board that the plug-in may or may not know.
class LoopbackPeer {
  public:
    explicit LoopbackPeer(int host);
    ~LoopbackPeer();
    LoopbackPeer(const LoopbackPeer&) = delete;
    LoopbackPeer& operator=(const LoopbackPeer&) = delete;

    // Sends bytes as one datagram to the plug-in's port on 127.0.0.1.
    void SendTo(int pluginPort, const std::string& bytes) const;
    // Throws away everything received so far.
    void Drain() const;
    const sockaddr_in& address() const { return address_; }

  private:
    int fd_ = -1;
    sockaddr_in address_{};
};

// Reads a fuzz input front to back; past its end every read gives zeros and empty texts.
class Reader {
  public:
    Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool done() const { return pos_ >= size_; }
    uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    // Two bytes, high byte first.
    unsigned int Word() { return (static_cast<unsigned int>(Byte()) << 8) | Byte(); }
    // The bits of a float or a double, low byte first: NaNs, infinities and denormals included.
    float FloatBits();
    double DoubleBits();
    // At most n bytes.
    std::string Bytes(size_t n);
    // Everything that is left.
    std::string Rest() { return Bytes(size_ - pos_); }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

// pattern repeated (and cut) to length bytes; empty when pattern is.
std::string Repeated(const std::string& pattern, size_t length);

// A value that number conversions get wrong: NaN, infinities, ±3.4e38, the largest float and
// double, denormals, zeros, values at and beyond the int range, and a few plain ones. k picks one
// (modulo the table's size).
double HardValue(unsigned int k);

// value as text that reads back exactly ("%.17g").
std::string NumberText(double value);

// A stream that takes everything and keeps nothing.
std::ostream& NullStream();

// ---- Time of flight-loop calls ----

// The longest one flight-loop call may take, in milliseconds of the steady clock; a longer call
// is a finding. It is generous because the sanitizers and the fuzzer's instrumentation slow every
// call down. The environment variable CORVANE_FUZZ_CALL_LIMIT_MS overrides it.
double CallLimitMs();
// The longest the deferred start-up (data.cfg, the serial scan) may take in one call.
constexpr double kStartUpLimitMs = 2000.0;

// The time a call took: on the steady clock, and on the calling thread's CPU clock.
struct CallTime {
    double wallMs = 0;
    double cpuMs = 0;
};

// A watch on one call: started when made.
class CallWatch {
  public:
    CallWatch();
    CallTime Elapsed() const;

  private:
    std::chrono::steady_clock::time_point wall_;
    double cpuMs_ = 0;
};

// Stops the fuzzer with a clear message when the call named what took longer than limitMs on the
// steady clock. A call that the machine merely kept waiting (other processes ran, and the thread
// itself spent no more than the limit on the CPU) is excused up to four times the limit, so that a
// crowded machine does not get the plug-in reported; a call that waits longer, in a system call
// for example, is a finding all the same. Within RunInput, the first run of an input only tells
// of the call and notes it.
void CheckCallTime(const char* what, const CallTime& took, double limitMs);

// Runs one input of a target that starts every input from the same state. When a call of it
// overruns its limit, the input runs a second time, and an overrun there is the finding: a slow
// path of the plug-in is slow on every run, while a crowded virtual machine can hold one call back
// even on the thread's CPU clock (its host takes the core away in the middle of the call).
void RunInput(void (*input)(const uint8_t* data, size_t size), const uint8_t* data, size_t size);

// Runs fn and treats a run longer than limitMs as a finding.
template <typename Fn>
void Timed(const char* what, Fn&& fn, double limitMs = CallLimitMs()) {
    const CallWatch watch;
    fn();
    CheckCallTime(what, watch.Elapsed(), limitMs);
}

// One frame of the host, with every flight-loop call it makes timed: a reload the host has
// pending happens first, outside the measured frame (the host does it between frames); a frame
// that runs the deferred start-up has the start-up's limit.
void TimedFrame();
// count timed frames, each followed by a poll of every board of the run (PluginRun::Call, timed).
void TimedFrames(corvane_test::PluginRun& run, int count = 1);
// One call of the main flight-loop callback, made directly, with the simulator's frame period
// reading period (0, NaN, ...), timed. The fuzz datarefs make the period writable for this.
void TimedCallWithFramePeriod(float period);

// Splits an input at the first occurrence of separator into two texts (the second is empty when
// there is none).
std::vector<std::string> SplitOnce(const std::string& text, const std::string& separator);

}  // namespace corvane_fuzz
