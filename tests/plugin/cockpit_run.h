// A plug-in run in the headless host with one emulated LAN board per data.cfg section: board k
// has board ID k + 1 and sits at 127.0.0.(30 + k); its inputs reach the plug-in over loopback UDP.
#pragma once

#include <string>
#include <vector>

#include "support/plugin_harness.h"
#include "xphost.h"

namespace cockpit_test {

// Datarefs the sections name, beside the host's default list (which has the starter commands).
inline const char* const kTestDatarefs =
    "sim/test/float float rw 0\n"
    "sim/test/other float rw 0\n"
    "sim/test/heading float rw 0\n";

class CockpitRun {
  public:
    // sections[k]: the lines of board k's section after its '*' line.
    explicit CockpitRun(const std::vector<std::string>& sections) : run_(Options(sections)) {
        xphost::SetDebugEcho(false);
        for (size_t k = 0; k < sections.size(); ++k) {
            boardsim::Options options =
                run_.LanBoardOptions(30 + static_cast<int>(k), static_cast<int>(k) + 1);
            options.configSection = sections[k];
            boards_.push_back(&run_.AddBoard(options));
        }
        connected_ = run_.ConnectAll(400);
        run_.Call(2);
        xphost::TakeCommandTrace();
    }
    bool connected() const { return connected_; }
    // Board k sends tag (with value after a blank when given); the plug-in takes it in one call.
    void Send(size_t k, const std::string& tag, const std::string& value = "") {
        boards_.at(k)->SendInput(tag, value);
        run_.Call();
    }
    void Call(int count = 1) { run_.Call(count); }
    static double Value(const std::string& name) { return xphost::GetNumber(name); }
    static bool Set(const std::string& name, double value) {
        return xphost::SetDataref(name, std::to_string(value));
    }

  private:
    static corvane_test::PluginOptions Options(const std::vector<std::string>& sections) {
        corvane_test::PluginOptions options;
        for (size_t k = 0; k < sections.size(); ++k)
            options.dataCfg += "*" + std::to_string(k + 1) + "\n" + sections[k];
        options.extraDatarefs = kTestDatarefs;
        return options;
    }
    corvane_test::PluginRun run_;
    std::vector<boardsim::Board*> boards_;
    bool connected_ = false;
};

}  // namespace cockpit_test
