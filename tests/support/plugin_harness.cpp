#include "support/plugin_harness.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "XPLMDefs.h"
#include "config/plugin_folder.h"
#include "config/settings.h"
#include "plugin/lifecycle.h"
#include "simdata/sim_time.h"
#include "xphost.h"

namespace corvane_test {

namespace {

constexpr useconds_t kSerialSettleMicros = 300;

}  // namespace

int FreeUdpPort() {
    const int s = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address = Ipv4("0.0.0.0", 0);
    bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    close(s);
    return ntohs(address.sin_port);
}

sockaddr_in Ipv4(const std::string& address, int port) {
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(static_cast<uint16_t>(port));
    inet_pton(AF_INET, address.c_str(), &at.sin_addr);
    return at;
}

std::string MakeTempFolder(const std::string& prefix) {
    std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    return pattern;
}

void RemoveFolder(const std::string& path) {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
}

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

std::string ReadWaiting(int fd) {
    std::string bytes;
    char buffer[4096];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;)
        bytes.append(buffer, static_cast<size_t>(n));
    return bytes;
}

int WaitingBytes(int fd) {
    int bytes = 0;
    return fd >= 0 && ioctl(fd, FIONREAD, &bytes) == 0 ? bytes : 0;
}

int CountOf(const std::string& text, const std::string& part) {
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

std::string Hex(const std::string& bytes) {
    std::string hex;
    for (unsigned char c : bytes) hex += {"0123456789abcdef"[c >> 4], "0123456789abcdef"[c & 15]};
    return hex;
}

std::string DefaultDatarefFile() {
    return std::string(CORVANE_SOURCE_DIR) + "/examples/datarefs.txt";
}

void RestoreLoadState() {
    ClearPluginState();
    FirstLaunch = 1;
    SpecifiedIP = "auto";
}

PluginRun::PluginRun(const PluginOptions& options) {
    root_ = MakeTempFolder("corvane-run");
    folder_ = root_ + "/Resources/plugins/Corvane";
    std::filesystem::create_directories(folder_ + "/lin_x64");
    port_ = options.port != 0 ? options.port : FreeUdpPort();
    if (options.writeSettings) {
        std::string settings = "IP_ADDRESS = 127.0.0.1\nPORT = " + std::to_string(port_) + "\n";
        if (options.usbOff && options.settings.find("USB_DEVICE_COUNT") == std::string::npos)
            settings += "USB_DEVICE_COUNT = 0\n";
        // The Studio only where a test asks for it.
        if (options.settings.find("STUDIO_PORT") == std::string::npos)
            settings += "STUDIO_PORT = 0\n";
        settings += options.settings;
        WriteFile(folder_ + "/config.ini", settings);
    }
    if (!options.dataCfg.empty()) WriteFile(folder_ + "/data.cfg", options.dataCfg);

    xphost::Reset();
    RestoreLoadState();
    std::string error;
    if (!xphost::LoadDatarefFile(DefaultDatarefFile(), &error))
        throw std::runtime_error("datarefs: " + error);
    if (!options.extraDatarefs.empty() && !xphost::LoadDatarefText(options.extraDatarefs, &error))
        throw std::runtime_error("extra datarefs: " + error);
    xphost::SetFrameRate(40.0);
    xphost::AttachPlugin(
        {XPluginStart, XPluginStop, XPluginEnable, XPluginDisable, XPluginReceiveMessage},
        folder_ + "/lin_x64/Corvane.xpl");
    xphost::StartPlugin();
    xphost::EnablePlugin();
    // The deferred start-up runs in the first frame; the main callback one second later.
    xphost::RunSeconds(1.05);
}

PluginRun::~PluginRun() {
    xphost::DisablePlugin();
    xphost::StopPlugin();
    boards_.clear();
    watched_.clear();
    xphost::Reset();
    RemoveFolder(root_);
}

boardsim::Board& PluginRun::AddBoard(const boardsim::Options& options) {
    boards_.push_back(std::make_unique<boardsim::Board>(options));
    if (!boards_.back()->ok()) throw std::runtime_error("board: " + boards_.back()->error());
    return *boards_.back();
}

boardsim::Options PluginRun::LanBoardOptions(int host, int boardId) const {
    boardsim::Options options;
    options.lanAddress = "127.0.0." + std::to_string(host);
    options.lanPort = port_;
    options.pluginAddress = "127.0.0.1";
    options.pluginPort = port_;
    options.boardId = boardId;
    return options;
}

boardsim::Board& PluginRun::AddLanBoard(int host, int boardId, int version) {
    boardsim::Options options = LanBoardOptions(host, boardId);
    options.libraryVersion = version;
    return AddBoard(options);
}

boardsim::Board& PluginRun::AddPanel(int host, const std::string& panelConfig) {
    boardsim::Options options = LanBoardOptions(host, 0);
    options.panelConfig = panelConfig;
    return AddBoard(options);
}

void PluginRun::Watch(boardsim::Board& board) {
    watched_.push_back(&board);
}

void PluginRun::PollBoards() {
    for (auto& board : boards_) board->Poll();
    for (boardsim::Board* board : watched_) board->Poll();
}

void PluginRun::Call(int count) {
    for (int n = 0; n < count; ++n) {
        // Bytes written to a pseudo-terminal reach its other end a moment later, through the
        // kernel's line discipline; give them that moment on both sides of the frame.
        if (!watched_.empty()) usleep(kSerialSettleMicros);
        xphost::RunFrame();
        if (!watched_.empty()) usleep(kSerialSettleMicros);
        PollBoards();
    }
}

bool PluginRun::CallUntil(const std::function<bool()>& done, int limit) {
    for (int n = 0; n < limit; ++n) {
        if (done()) return true;
        Call();
    }
    return done();
}

bool PluginRun::ConnectAll(int limit) {
    return CallUntil(
        [this] {
            for (auto& board : boards_)
                if (board->boardNumber() == 0) return false;
            for (boardsim::Board* board : watched_)
                if (board->boardNumber() == 0) return false;
            return true;
        },
        limit);
}

}  // namespace corvane_test
