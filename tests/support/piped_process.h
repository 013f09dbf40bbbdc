// A program in a child process of the test with its standard input and output on pipes: lines
// in, lines out.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace corvane_test {

class PipedProcess {
  public:
    PipedProcess() = default;
    ~PipedProcess() { Stop(); }
    PipedProcess(const PipedProcess&) = delete;
    PipedProcess& operator=(const PipedProcess&) = delete;

    // Runs command[0] with the arguments that follow; its standard error goes to errorFile when
    // one is named, else to the test's.
    void Start(const std::vector<std::string>& command, const std::string& errorFile = "") {
        int toChild[2], fromChild[2];
        if (pipe(toChild) != 0 || pipe(fromChild) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(toChild[0], STDIN_FILENO);
            dup2(fromChild[1], STDOUT_FILENO);
            if (!errorFile.empty()) {
                const int err = open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
                dup2(err >= 0 ? err : fromChild[1], STDERR_FILENO);
            }
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
    }
    bool running() const { return pid_ > 0 && out_ >= 0; }

    // Writes text to the program's standard input; false when it did not all go.
    bool Write(const std::string& text) {
        return in_ >= 0 &&
               write(in_, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    }
    // The next line of its standard output, without the line end; "<timeout>" when none comes
    // within 30 s, "<eof>" when the output ends.
    std::string ReadLine() {
        for (;;) {
            const size_t end = pending_.find('\n');
            if (end != std::string::npos) {
                std::string line = pending_.substr(0, end);
                pending_.erase(0, end + 1);
                if (!line.empty() && line.back() == '\r') line.pop_back();
                return line;
            }
            pollfd ready{out_, POLLIN, 0};
            if (out_ < 0 || poll(&ready, 1, 30000) <= 0) return "<timeout>";
            char buffer[4096];
            const ssize_t n = read(out_, buffer, sizeof buffer);
            if (n <= 0) return "<eof>";
            pending_.append(buffer, static_cast<size_t>(n));
        }
    }
    // Closes its standard input and waits for its end: the exit status, -1 when it did not exit.
    int CloseInputAndWait() {
        if (in_ >= 0) close(in_);
        in_ = -1;
        int status = -1;
        if (pid_ > 0 && waitpid(pid_, &status, 0) == pid_) pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // Kills the program if it still runs.
    void Stop() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        for (int* fd : {&in_, &out_}) {
            if (*fd >= 0) close(*fd);
            *fd = -1;
        }
        pid_ = -1;
    }

  private:
    pid_t pid_ = -1;
    int in_ = -1, out_ = -1;
    std::string pending_;
};

}  // namespace corvane_test
