#include "pty_link.h"

#include <fcntl.h>
#include <pty.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace avrboard {

bool PtyLink::Plug(const std::string& link, std::string* error) {
    struct stat existing;
    if (lstat(link.c_str(), &existing) == 0 && !S_ISLNK(existing.st_mode)) {
        *error = link + " exists and is no symbolic link";
        return false;
    }
    char name[256] = {};
    // The line discipline's defaults, as a real ttyACM has them when it appears (a line feed
    // for byte 13, XON/XOFF on bytes 17 and 19, echo, ...): the host must make the line raw.
    if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
        *error = std::string("no pseudo-terminal: ") + std::strerror(errno);
        master_ = slave_ = -1;
        return false;
    }
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    fcntl(master_, F_SETFD, FD_CLOEXEC);
    fcntl(slave_, F_SETFD, FD_CLOEXEC);
    inotify_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    const std::string temporary = link + ".new";
    unlink(temporary.c_str());
    if (inotify_ < 0 || inotify_add_watch(inotify_, name, IN_OPEN | IN_CLOSE) < 0 ||
        symlink(name, temporary.c_str()) != 0 || rename(temporary.c_str(), link.c_str()) != 0) {
        *error = "cannot link " + link + " to " + name + ": " + std::strerror(errno);
        unlink(temporary.c_str());
        Unplug();
        return false;
    }
    link_ = link;
    opens_ = 0;
    return true;
}

void PtyLink::Unplug() {
    if (!link_.empty()) unlink(link_.c_str());
    link_.clear();
    for (int* fd : {&inotify_, &master_, &slave_}) {
        if (*fd >= 0) close(*fd);
        *fd = -1;
    }
}

void PtyLink::DiscardUnread() const {
    if (slave_ >= 0) tcflush(slave_, TCIFLUSH);
}

bool PtyLink::TakeFirstOpen() {
    bool opened = false;
    alignas(inotify_event) char events[4096];
    for (int round = 0; inotify_ >= 0 && round < 64; ++round) {
        const ssize_t n = read(inotify_, events, sizeof events);
        if (n <= 0) break;
        for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(events + at);
            if (event->mask & IN_OPEN) opened |= ++opens_ == 1;
            if ((event->mask & IN_CLOSE) && opens_ > 0) --opens_;
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    return opened;
}

}  // namespace avrboard
