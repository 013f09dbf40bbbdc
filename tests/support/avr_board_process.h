// corvane-avr-board in a process of its own: a firmware ELF on the emulated chip, its serial port
// at a link the test names, driven by control lines over pipes (one answer line each).
#pragma once

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace corvane_test {

class AvrBoardProcess {
  public:
    // `options` follow --mcu, --firmware and --link on the command line.
    AvrBoardProcess(const std::string& program, const std::string& mcu, const std::string& elf,
                    const std::string& link, const std::vector<std::string>& options = {}) {
        std::vector<std::string> command = {program, "--mcu",  mcu, "--firmware",
                                            elf,     "--link", link};
        command.insert(command.end(), options.begin(), options.end());
        int toChild[2], fromChild[2];
        if (pipe(toChild) != 0 || pipe(fromChild) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(toChild[0], STDIN_FILENO);
            dup2(fromChild[1], STDOUT_FILENO);
            for (int fd : {toChild[0], toChild[1], fromChild[0], fromChild[1]}) close(fd);
            std::vector<char*> argv;
            for (const std::string& arg : command) argv.push_back(const_cast<char*>(arg.c_str()));
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(toChild[0]);
        close(fromChild[1]);
        in_ = toChild[1];
        out_ = fromChild[0];
        ready_ = ReadLine() == "ready " + link;
    }
    ~AvrBoardProcess() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        for (int fd : {in_, out_})
            if (fd >= 0) close(fd);
    }
    AvrBoardProcess(const AvrBoardProcess&) = delete;
    AvrBoardProcess& operator=(const AvrBoardProcess&) = delete;

    // The board printed "ready LINK": the link exists.
    bool ready() const { return ready_; }
    // One control line and its answer ("<timeout>" or "<eof>" when none comes).
    std::string Ask(const std::string& line) {
        const std::string text = line + "\n";
        if (in_ < 0 || write(in_, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
            return "<closed>";
        return ReadLine();
    }
    // Closes standard input and waits for the exit: the exit status (-1 when it did not exit).
    int CloseInputAndWait() {
        close(in_);
        in_ = -1;
        int status = -1;
        if (pid_ > 0 && waitpid(pid_, &status, 0) == pid_) pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

  private:
    std::string ReadLine() {
        for (;;) {
            const size_t end = pending_.find('\n');
            if (end != std::string::npos) {
                std::string line = pending_.substr(0, end);
                pending_.erase(0, end + 1);
                return line;
            }
            pollfd ready{out_, POLLIN, 0};
            if (out_ < 0 || poll(&ready, 1, 30000) <= 0) return "<timeout>";
            char buffer[1024];
            const ssize_t n = read(out_, buffer, sizeof buffer);
            if (n <= 0) return "<eof>";
            pending_.append(buffer, static_cast<size_t>(n));
        }
    }

    pid_t pid_ = -1;
    int in_ = -1, out_ = -1;
    bool ready_ = false;
    std::string pending_;
};

}  // namespace corvane_test
