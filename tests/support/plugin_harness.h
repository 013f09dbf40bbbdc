// Runs the statically linked plug-in inside the headless host, with a plug-in folder of its own
// and emulated boards on loopback, one flight-loop call per simulated frame.
#pragma once

#include <netinet/in.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "boardsim.h"

namespace corvane_test {

// A UDP port that is free on every local address at the time of the call.
int FreeUdpPort();
// The IPv4 socket address of a dotted address text and a port.
sockaddr_in Ipv4(const std::string& address, int port);
// A new empty folder under the system's temporary folder.
std::string MakeTempFolder(const std::string& prefix);
// Removes a folder and everything in it.
void RemoveFolder(const std::string& path);
// Writes text to path, replacing the file.
void WriteFile(const std::string& path, const std::string& text);
// The whole content of a file, or an empty text when it does not open.
std::string ReadFile(const std::string& path);
// Every byte a non-blocking descriptor holds now.
std::string ReadWaiting(int fd);
// How many bytes a descriptor holds now (0 for a descriptor that is closed or gives no count).
int WaitingBytes(int fd);
// How often part occurs in text (overlapping occurrences too).
int CountOf(const std::string& text, const std::string& part);
// The bytes as pairs of lowercase hex digits.
std::string Hex(const std::string& bytes);
// Runs body in a child process, in a network namespace of its own with its loopback up and, when
// given, `address` added to it. A failure in the child fails the test; the test is skipped
// where no such namespace can be made.
void InOwnNetwork(const std::string& address, const std::function<void()>& body);
// Runs a shell command; returns its exit status (-1 when it did not exit) and appends its
// standard output to output.
int RunCommand(const std::string& command, std::string* output);
// Sends bytes as one datagram from address (any free port) to the plug-in on 127.0.0.1.
void SendFrom(const std::string& address, int pluginPort, const std::string& bytes);
// The dataref and command list the host reads by default.
std::string DefaultDatarefFile();

// Gives the plug-in's globals the values a fresh load of the library would give them, so that
// each test starts like a new simulator session.
void RestoreLoadState();

struct PluginOptions {
    // The data.cfg text and the extra config.ini lines, the rest as below.
    PluginOptions(std::string cfg = "", std::string more = "")
        : dataCfg(std::move(cfg)), settings(std::move(more)) {}
    std::string dataCfg;        // content of data.cfg ("" writes none)
    std::string settings;       // extra config.ini lines, after IP_ADDRESS and PORT
    bool writeSettings = true;  // false: no config.ini at all
    std::string extraDatarefs;  // more host datarefs and commands, in the host's file format
    bool usbOff = true;         // adds "USB_DEVICE_COUNT = 0" unless settings name the key
    int port = 0;               // the settings' PORT; 0 picks a free one
};

// One plug-in run: created started, enabled and past its deferred start-up, with the main
// callback called once; destroyed disabled, stopped and with the host emptied.
class PluginRun {
  public:
    explicit PluginRun(const PluginOptions& options);
    ~PluginRun();
    PluginRun(const PluginRun&) = delete;
    PluginRun& operator=(const PluginRun&) = delete;

    // The plug-in folder (…/Resources/plugins/Corvane) and its settings port.
    const std::string& folder() const { return folder_; }
    int port() const { return port_; }

    // The options of an Arduino board at 127.0.0.host on the plug-in's port, to adjust and add.
    boardsim::Options LanBoardOptions(int host, int boardId) const;
    // An emulated board at 127.0.0.host on the plug-in's port, polled by every Call().
    boardsim::Board& AddLanBoard(int host, int boardId, int version = 124);
    boardsim::Board& AddPanel(int host, const std::string& panelConfig);
    boardsim::Board& AddBoard(const boardsim::Options& options);

    // A board made by the test (a serial board must exist before the start-up scan), polled by
    // every Call() from now on.
    void Watch(boardsim::Board& board);
    // Stops polling the boards made by the test (before the test destroys them).
    void ForgetBoards() { watched_.clear(); }

    // One flight-loop call (one frame at 40 fps), then every board reads what it got.
    void Call(int count = 1);
    // Calls until done() is true or the limit is reached; true when done.
    bool CallUntil(const std::function<bool()>& done, int limit = 2000);
    // Lets every board poll without running a frame.
    void PollBoards();
    // Calls until every board added so far has its board number (is configured).
    bool ConnectAll(int limit = 2000);

  private:
    std::string root_;
    std::string folder_;
    int port_ = 0;
    std::vector<std::unique_ptr<boardsim::Board>> boards_;
    std::vector<boardsim::Board*> watched_;
};

}  // namespace corvane_test
