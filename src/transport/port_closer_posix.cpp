// Closing serial ports off the simulator's thread. The close of a terminal device waits until the
// output it holds has gone out, on Linux up to 30 s when the device takes nothing (a board that
// hangs, a device that is no board); a close never waits in the flight loop, so the descriptors
// are closed by a thread of their own, started when there is one to close and ending when there
// is none left. A port of ours is let go at once (lock and exclusive hold), so that a reset can
// open it again while it closes; it gets a tenth of a second for its last bytes (the probe of a
// reset), and what a device that takes nothing still holds after that is thrown away. A port that
// another program holds is closed as it is, its output being that program's.
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "transport/serial_ports.h"

namespace {

constexpr int kDrainChecks = 20;
constexpr auto kDrainStep = std::chrono::milliseconds(5);

// A descriptor to close, and whether the port is ours (its output let go first).
struct Closing {
    int fd;
    bool ours;
};

// The closing thread, joined before the library is unloaded (its code goes with the library).
struct Closer {
    std::thread thread;
    ~Closer() {
        if (thread.joinable()) thread.join();
    }
};

std::mutex QueueMutex;
std::vector<Closing> Queue;  // guarded by QueueMutex
bool Working = false;        // guarded by QueueMutex: the thread takes from Queue
Closer Worker;               // touched only from the simulator's thread

void LetOutputGo(int fd) {
    for (int k = 0; k < kDrainChecks; ++k) {
        int waiting{};
        if (ioctl(fd, TIOCOUTQ, &waiting) != 0 || waiting <= 0) return;
        std::this_thread::sleep_for(kDrainStep);
    }
    tcflush(fd, TCOFLUSH);
}

void CloseQueued() {
    for (;;) {
        Closing next{};
        {
            std::lock_guard<std::mutex> lock(QueueMutex);
            if (Queue.empty()) {
                Working = false;
                return;
            }
            next = Queue.front();
            Queue.erase(Queue.begin());
        }
        if (next.ours) LetOutputGo(next.fd);
        close(next.fd);
    }
}

void CloseLater(int fd, bool ours) {
    {
        std::lock_guard<std::mutex> lock(QueueMutex);
        Queue.push_back({fd, ours});
        if (Working) return;
        Working = true;
    }
    // A thread that took the last descriptor has left its loop: this join does not wait.
    if (Worker.thread.joinable()) Worker.thread.join();
    try {
        Worker.thread = std::thread(CloseQueued);
    } catch (const std::system_error&) {
        CloseQueued();  // no thread to be had: closed here, as before
    }
}

}  // namespace

void ClosePortDescriptor(int fd) {
    flock(fd, LOCK_UN);
    ioctl(fd, TIOCNXCL);
    CloseLater(fd, true);
}

void CloseForeignPort(int fd) {
    CloseLater(fd, false);
}

void FinishPortCloses() {
    if (Worker.thread.joinable()) Worker.thread.join();
}
