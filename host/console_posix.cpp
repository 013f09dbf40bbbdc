// The xphost console on POSIX systems: signals, and ppoll on standard input.
#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include "console.h"

namespace xphost::console {

namespace {

volatile sig_atomic_t gSignal = 0;
sigset_t gOpenMask;

extern "C" void OnSignal(int) {
    gSignal = 1;
}

}  // namespace

void Install() {
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
    // The signals stay blocked except while waiting, so none is lost between a check and a wait.
    sigset_t blocked;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGINT);
    sigaddset(&blocked, SIGTERM);
    sigprocmask(SIG_BLOCK, &blocked, &gOpenMask);
    sigdelset(&gOpenMask, SIGINT);
    sigdelset(&gOpenMask, SIGTERM);
}

bool StopRequested() {
    return gSignal != 0;
}

bool CheckStop() {
    sigset_t pending;
    sigemptyset(&pending);
    sigpending(&pending);
    if (sigismember(&pending, SIGINT) || sigismember(&pending, SIGTERM)) gSignal = 1;
    return gSignal != 0;
}

void Wait(std::chrono::steady_clock::time_point deadline, bool forever, bool watchInput,
          std::string* input, bool* open) {
    timespec timeout{};
    if (!forever) {
        auto left = deadline - std::chrono::steady_clock::now();
        if (left < std::chrono::steady_clock::duration::zero())
            left = std::chrono::steady_clock::duration::zero();
        auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        timeout.tv_sec = static_cast<time_t>(nanoseconds / 1000000000);
        timeout.tv_nsec = static_cast<long>(nanoseconds % 1000000000);
    }
    pollfd fd{};
    fd.fd = STDIN_FILENO;
    fd.events = POLLIN;
    int ready = ppoll(watchInput ? &fd : nullptr, watchInput ? 1 : 0, forever ? nullptr : &timeout,
                      &gOpenMask);
    if (ready <= 0 || !watchInput) return;
    if ((fd.revents & POLLNVAL) != 0) {
        *open = false;
        return;
    }
    if ((fd.revents & (POLLIN | POLLHUP | POLLERR)) == 0) return;
    char buffer[4096];
    ssize_t got = read(STDIN_FILENO, buffer, sizeof buffer);
    if (got > 0) {
        input->append(buffer, static_cast<std::size_t>(got));
    } else if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
        *open = false;
    }
}

}  // namespace xphost::console
