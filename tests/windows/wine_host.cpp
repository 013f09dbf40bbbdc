#include "windows/wine_host.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>

#include "support/plugin_harness.h"

namespace corvane_wine {

namespace {

constexpr int kAnswerTimeoutMs = 30000;
// Bytes written to a pseudo-terminal reach the other end a moment later.
constexpr useconds_t kSerialSettleMicros = 2000;

void UseTestPrefix() {
    setenv("WINEPREFIX", CORVANE_WINEPREFIX, 1);
    setenv("WINEDEBUG", "-all", 1);
    // The plug-in opens only the test's own port, never the machine's serial ports that Wine
    // offers as COM ports too.
    setenv("CORVANE_COM_PORTS", "COM42", 1);
}

// Starts command with standard input and output on pipes and standard error into errPath.
pid_t Spawn(const std::vector<std::string>& command, int* in, int* out,
            const std::string& errPath) {
    int toChild[2], fromChild[2];
    if (pipe(toChild) != 0 || pipe(fromChild) != 0) return -1;
    UseTestPrefix();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(toChild[0], STDIN_FILENO);
        dup2(fromChild[1], STDOUT_FILENO);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(err >= 0 ? err : fromChild[1], STDERR_FILENO);
        for (int fd : {toChild[0], toChild[1], fromChild[0], fromChild[1]}) close(fd);
        std::vector<char*> argv;
        for (const std::string& arg : command) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(toChild[0]);
    close(fromChild[1]);
    *in = toChild[1];
    *out = fromChild[0];
    return pid;
}

}  // namespace

int RunInPrefix(const std::vector<std::string>& command) {
    UseTestPrefix();
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_RDWR);
        for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) dup2(null, fd);
        std::vector<char*> argv;
        for (const std::string& arg : command) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void MapComPort(const std::string& port, const std::string& device) {
    const std::string key = "HKLM\\Software\\Wine\\Ports";
    if (device.empty())
        RunInPrefix({CORVANE_WINE, "reg", "delete", key, "/v", port, "/f"});
    else
        RunInPrefix({CORVANE_WINE, "reg", "add", key, "/v", port, "/d", device, "/f"});
    RunInPrefix({CORVANE_WINESERVER, "-k"});
    RunInPrefix({CORVANE_WINESERVER, "-w"});
}

WineHost::WineHost(const HostOptions& options) {
    root_ = corvane_test::MakeTempFolder("corvane-wine");
    folder_ = root_ + "/Resources/plugins/Corvane";
    std::filesystem::create_directories(folder_ + "/win_x64");
    std::filesystem::copy_file(CORVANE_WIN_XPL, folder_ + "/win_x64/Corvane.xpl");
    port_ = corvane_test::FreeUdpPort();
    corvane_test::WriteFile(
        folder_ + "/config.ini",
        "IP_ADDRESS = 127.0.0.1\nPORT = " + std::to_string(port_) + "\n" + options.settings);
    if (!options.dataCfg.empty()) corvane_test::WriteFile(folder_ + "/data.cfg", options.dataCfg);
    std::vector<std::string> command = {CORVANE_WINE, CORVANE_WIN_XPHOST,
                                        "--plugin",   folder_ + "/win_x64/Corvane.xpl",
                                        "--fps",      "40",
                                        "--datarefs", corvane_test::DefaultDatarefFile()};
    if (!options.extraDatarefs.empty()) {
        corvane_test::WriteFile(root_ + "/datarefs.txt", options.extraDatarefs);
        command.push_back("--datarefs");
        command.push_back(root_ + "/datarefs.txt");
    }
    pid_ = Spawn(command, &in_, &out_, root_ + "/stderr.txt");
}

WineHost::~WineHost() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (in_ >= 0) close(in_);
    if (out_ >= 0) close(out_);
    boards_.clear();
    corvane_test::RemoveFolder(root_);
}

std::string WineHost::ReadLine() {
    for (;;) {
        const size_t end = pending_.find('\n');
        if (end != std::string::npos) {
            std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            return line;
        }
        pollfd ready{out_, POLLIN, 0};
        if (out_ < 0 || poll(&ready, 1, kAnswerTimeoutMs) <= 0) return "<timeout>";
        char buffer[4096];
        const ssize_t n = read(out_, buffer, sizeof buffer);
        if (n <= 0) return "<eof>";
        pending_.append(buffer, static_cast<size_t>(n));
    }
}

std::string WineHost::Ask(const std::string& line) {
    // The answer ends where the answer of the "time" line that follows it begins.
    const std::string text = line + "\ntime\n";
    if (in_ < 0 || write(in_, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
        return "<closed>";
    std::string answer;
    for (;;) {
        const std::string got = ReadLine();
        if (got.rfind("time ", 0) == 0) return answer;
        if (got == "<timeout>" || got == "<eof>") return answer + got;
        answer += got + "\n";
    }
}

void WineHost::PollBoards() {
    for (auto& board : boards_) board->Poll();
    for (boardsim::Board* board : watched_) board->Poll();
}

void WineHost::Call(int count) {
    for (int n = 0; n < count; ++n) {
        if (!watched_.empty()) usleep(kSerialSettleMicros);
        Ask("frames 1");
        if (!watched_.empty()) usleep(kSerialSettleMicros);
        PollBoards();
    }
}

bool WineHost::CallUntil(const std::function<bool()>& done, int limit) {
    for (int n = 0; n < limit; ++n) {
        if (done()) return true;
        Call();
    }
    return done();
}

boardsim::Options WineHost::LanBoardOptions(int host, int boardId) const {
    boardsim::Options options;
    options.lanAddress = "127.0.0." + std::to_string(host);
    options.lanPort = port_;
    options.pluginAddress = "127.0.0.1";
    options.pluginPort = port_;
    options.boardId = boardId;
    return options;
}

boardsim::Board& WineHost::AddBoard(boardsim::Options options) {
    boards_.push_back(std::make_unique<boardsim::Board>(options));
    if (!boards_.back()->ok()) throw std::runtime_error("board: " + boards_.back()->error());
    return *boards_.back();
}

int WineHost::Quit(std::string* log) {
    const std::string bye = Ask("quit");
    close(in_);
    in_ = -1;
    int status = -1;
    if (pid_ > 0 && waitpid(pid_, &status, 0) == pid_) pid_ = -1;
    if (log) *log = corvane_test::ReadFile(root_ + "/stderr.txt");
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace corvane_wine
