// The Windows build under Wine: xphost.exe loads the Windows Corvane.xpl from a simulator folder
// of its own and is driven by control lines over pipes; the emulated boards stay Linux objects
// on loopback UDP or on a pseudo-terminal mapped into Wine as a COM port.
#pragma once

#include <sys/types.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "boardsim.h"

namespace corvane_wine {

struct HostOptions {
    std::string dataCfg;        // content of data.cfg
    std::string settings;       // config.ini lines after IP_ADDRESS and PORT
    std::string extraDatarefs;  // more host datarefs and commands, in the host's file format
};

// Runs a Wine tool of the test prefix (wine, wineserver) with arguments; its exit status.
int RunInPrefix(const std::vector<std::string>& command);

// Maps a COM port of the test prefix to a device (empty: removes the mapping). Wine lists the
// port and links it in dosdevices when its server starts next, so the server is stopped here.
void MapComPort(const std::string& port, const std::string& device);

class WineHost {
  public:
    explicit WineHost(const HostOptions& options);
    ~WineHost();
    WineHost(const WineHost&) = delete;
    WineHost& operator=(const WineHost&) = delete;

    bool running() const { return pid_ > 0 && out_ >= 0; }
    const std::string& folder() const { return folder_; }  // the plug-in folder
    int port() const { return port_; }

    // Runs one control line; its answer, one line per line ("" for a line that answers nothing).
    std::string Ask(const std::string& line);
    // One frame at a time, every board polling after each.
    void Call(int count = 1);
    bool CallUntil(const std::function<bool()>& done, int limit = 400);

    // An Arduino board at 127.0.0.host on the plug-in's port, polled by every Call().
    boardsim::Board& AddBoard(boardsim::Options options);
    boardsim::Options LanBoardOptions(int host, int boardId) const;
    // A board made by the test (a serial board), polled by every Call() from now on.
    void Watch(boardsim::Board& board) { watched_.push_back(&board); }

    // Sends quit and waits for the end: the exit status; the standard error text goes to *log.
    int Quit(std::string* log);

  private:
    std::string ReadLine();
    void PollBoards();

    std::string root_, folder_;
    int port_ = 0;
    pid_t pid_ = -1;
    int in_ = -1, out_ = -1;
    std::string pending_;
    std::vector<std::unique_ptr<boardsim::Board>> boards_;
    std::vector<boardsim::Board*> watched_;
};

}  // namespace corvane_wine
