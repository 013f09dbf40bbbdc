// A built host program in a process of its own (xphost, or xphost.exe under Wine): it loads a built
// Corvane.xpl from a simulator folder of its own, the way X-Plane loads it, and is driven by
// control lines over pipes; the emulated boards stay in the test's process, on loopback UDP or
// on pseudo-terminals.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "boardsim.h"
#include "support/piped_process.h"
#include "support/plugin_harness.h"

namespace corvane_test {

// What runs: the host program's command line up to its options (a launcher such as wine first,
// when one is needed) and the plug-in file, copied to <platform>/Corvane.xpl.
struct HostProgram {
    std::vector<std::string> command;
    std::string plugin;
    std::string platform;
};

struct HostOptions {
    std::string dataCfg;        // content of data.cfg
    std::string settings;       // config.ini lines after IP_ADDRESS and PORT
    std::string extraDatarefs;  // more host datarefs and commands, in the host's file format
    std::string aircraft = {};  // the user's aircraft at the start (--aircraft), "" for none
    bool everyUser = false;     // its folder open to every user (a host run as another user)
};

class HostProcess {
  public:
    HostProcess(const HostProgram& program, const HostOptions& options)
        : root_(MakeTempFolder("corvane-host")),
          folder_(root_ + "/Resources/plugins/Corvane"),
          port_(FreeUdpPort()) {
        const std::string plugin = folder_ + "/" + program.platform + "/Corvane.xpl";
        std::filesystem::create_directories(folder_ + "/" + program.platform);
        std::filesystem::copy_file(program.plugin, plugin);
        // The Studio only where a test asks for it.
        const bool studio = options.settings.find("STUDIO_PORT") != std::string::npos;
        WriteFile(folder_ + "/config.ini",
                  "IP_ADDRESS = 127.0.0.1\nPORT = " + std::to_string(port_) + "\n" +
                      (studio ? "" : "STUDIO_PORT = 0\n") + options.settings);
        WriteFile(folder_ + "/data.cfg", options.dataCfg);
        WriteFile(root_ + "/datarefs.txt", options.extraDatarefs);
        if (options.everyUser) {
            std::filesystem::permissions(root_, std::filesystem::perms::all);
            for (const auto& entry : std::filesystem::recursive_directory_iterator(root_))
                std::filesystem::permissions(entry.path(), std::filesystem::perms::all);
        }
        std::vector<std::string> command = program.command;
        command.insert(command.end(),
                       {"--plugin", plugin, "--fps", "40", "--datarefs", DefaultDatarefFile(),
                        "--datarefs", root_ + "/datarefs.txt"});
        if (!options.aircraft.empty())
            command.insert(command.end(), {"--aircraft", options.aircraft});
        process_.Start(command, root_ + "/stderr.txt");  // standard error into stderr.txt
    }
    ~HostProcess() {
        process_.Stop();
        boards_.clear();
        RemoveFolder(root_);
    }
    HostProcess(const HostProcess&) = delete;
    HostProcess& operator=(const HostProcess&) = delete;

    bool running() const { return process_.running(); }
    const std::string& folder() const { return folder_; }  // the plug-in folder

    // Runs one control line; its answer, one line per line ("" for a line that answers nothing).
    // The answer ends where the answer of the "time" line that follows it begins.
    std::string Ask(const std::string& line) {
        if (!process_.Write(line + "\ntime\n")) return "<closed>";
        std::string answer;
        for (;;) {
            const std::string got = process_.ReadLine();
            if (got.rfind("time ", 0) == 0) return answer;
            if (got == "<timeout>" || got == "<eof>") return answer + got;
            answer += got + "\n";
        }
    }
    // One frame at a time, every board polling after each. Bytes written to a pseudo-terminal
    // reach the other end a moment later: every frame waits that long before and after.
    void Call(int count = 1) {
        for (int n = 0; n < count; ++n) {
            usleep(2000);
            Ask("frames 1");
            usleep(2000);
            for (boardsim::Board* board : watched_) board->Poll();
        }
    }
    bool CallUntil(const std::function<bool()>& done, int limit = 400) {
        for (int n = 0; n < limit && !done(); ++n) Call();
        return done();
    }

    // An Arduino board at 127.0.0.host on the plug-in's port, polled by every Call().
    boardsim::Board& AddLanBoard(int host, int boardId, boardsim::Options options) {
        options.lanAddress = "127.0.0." + std::to_string(host);
        options.pluginAddress = "127.0.0.1";
        options.lanPort = options.pluginPort = port_;
        options.boardId = boardId;
        boards_.push_back(std::make_unique<boardsim::Board>(options));
        if (!boards_.back()->ok()) throw std::runtime_error("board: " + boards_.back()->error());
        watched_.push_back(boards_.back().get());
        return *boards_.back();
    }
    // A board made by the test (a serial board), polled by every Call() from now on.
    void Watch(boardsim::Board& board) { watched_.push_back(&board); }

    // Sends quit and waits for the end: the exit status; the standard error text goes to *log.
    int Quit(std::string* log) {
        Ask("quit");
        const int status = process_.CloseInputAndWait();
        *log = ReadFile(root_ + "/stderr.txt");
        return status;
    }

  private:
    std::string root_, folder_;
    int port_ = 0;
    PipedProcess process_;
    std::vector<std::unique_ptr<boardsim::Board>> boards_;
    std::vector<boardsim::Board*> watched_;  // the boards above and those of the test
};

}  // namespace corvane_test
