// What the fuzz targets share: a quiet plug-in run inside the headless host, a device folder of
// their own, loopback peers, and a reader that cuts a fuzz input into operations.
#pragma once

#include <netinet/in.h>

#include <cstddef>
#include <cstdint>
#include <memory>
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
    // At most n bytes.
    std::string Bytes(size_t n);
    // Everything that is left.
    std::string Rest() { return Bytes(size_ - pos_); }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

// Splits an input at the first occurrence of separator into two texts (the second is empty when
// there is none).
std::vector<std::string> SplitOnce(const std::string& text, const std::string& separator);

}  // namespace corvane_fuzz
