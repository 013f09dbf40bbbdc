// Serial ports on POSIX systems: device files in a folder, termios line settings.
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "config/plugin_log.h"
#include "config/settings.h"
#include "transport/port_causes.h"
#include "transport/serial_ports.h"

std::string DeviceFolder() {
    const char* env = std::getenv("CORVANE_DEVICE_DIR");
    std::string folder = (env && *env) ? env : "/dev/";
    if (folder.back() != '/') folder += '/';
    return folder;
}

std::vector<std::string> ListSerialDevices() {
    std::vector<std::string> paths;
    const std::string folder = DeviceFolder();
    DIR* dir = opendir(folder.c_str());
    if (!dir) return paths;
    while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (IsSerialCandidate(name)) paths.push_back(folder + name);
    }
    closedir(dir);
    return paths;
}

namespace {

// True when another program holds the terminal exclusively (where the system tells).
bool HeldExclusively(int fd) {
#ifdef TIOCGEXCL
    int exclusive{};
    return ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0;
#else
    (void)fd;
    return false;
#endif
}

// True when the entry at path is no device at all: a plain file, a folder, a FIFO, a link that
// leads nowhere. Such an entry is never opened.
bool NoDeviceAt(const std::string& path) {
    struct stat entry {};
    if (stat(path.c_str(), &entry) == 0) return !S_ISCHR(entry.st_mode);
    return lstat(path.c_str(), &entry) == 0;  // the entry is there, what it leads to is not
}

// True when fd is a terminal, asked of the opened descriptor: the entry may have been replaced
// since it was looked at.
bool IsTerminal(int fd) {
    struct stat opened {};
    return fstat(fd, &opened) == 0 && S_ISCHR(opened.st_mode) && isatty(fd) == 1;
}

}  // namespace

int open_port(const std::string& path, PortCause& cause) {
    cause = PortCause::None;
    if (NoDeviceAt(path)) {
        cause = PortCause::NotSerialDevice;
        return -1;
    }
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd == -1) {
        const int error = errno;
        if (error == EACCES || error == EPERM)
            cause = PortCause::PermissionDenied;
        else if (error == EBUSY)  // held with TIOCEXCL by another program
            cause = PortCause::Busy;
        else
            WriteLog("\nopen_port: Unable to open serial port - " + path + ": " +
                     std::strerror(error));
        return -1;
    }
    // Not a terminal (a character device of another kind, or an entry replaced since it was
    // looked at): closed at once, nothing set or written.
    if (!IsTerminal(fd)) {
        close(fd);
        cause = PortCause::NotSerialDevice;
        return -1;
    }
    // A port that another program holds (locked, or exclusively, which does not keep root out)
    // stays that program's: nothing is set or written.
    if ((flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) || HeldExclusively(fd)) {
        CloseForeignPort(fd);
        cause = PortCause::Busy;
        return -1;
    }
    // Held: other programs that lock see the lock, and others than root cannot open it at all.
    ioctl(fd, TIOCEXCL);
    fcntl(fd, F_SETFL, O_NONBLOCK);
    return fd;
}

void ConfigurePort(int fd) {
    termios options{};
    tcgetattr(fd, &options);
    if (Baudrate == 115200 || Baudrate == 57600 || Baudrate == 38400) {
        const speed_t speed = Baudrate == 115200 ? B115200 : Baudrate == 57600 ? B57600 : B38400;
        cfsetispeed(&options, speed);
        cfsetospeed(&options, speed);
    }
    options.c_cflag |= (CLOCAL | CREAD);
    options.c_cflag &= ~(CSIZE | PARENB);
    options.c_cflag |= CS8;
    // Raw bytes in, as cfmakeraw makes them: a new ttyACM turns a board's byte 13 into 10 and
    // takes its bytes 17 and 19 (an encoder's step count) as XON and XOFF.
    options.c_iflag &=
        ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY);
    options.c_iflag |= IGNPAR;
    options.c_lflag = 0;
    options.c_oflag = 0;
    tcflush(fd, TCIFLUSH);
    tcsetattr(fd, TCSANOW, &options);
}

long ReadPort(int fd, char* buffer, size_t size) {
    int waiting{};
    if (ioctl(fd, FIONREAD, &waiting) < 0) return -1;
    if (waiting <= 0) return 0;
    const ssize_t n = read(fd, buffer, size);
    if (n < 0) return (errno == EAGAIN || errno == EINTR) ? 0 : -1;
    return static_cast<long>(n);
}

// A line that takes nothing now (its output queue full) sent 0 bytes, which are kept for later;
// -1 is left for a write that failed.
void Send_USB(int fd, const char* data, int length) {
    const ssize_t written = write(fd, data, static_cast<size_t>(length));
    const bool full = written == -1 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR);
    bytes_sent = full ? 0 : static_cast<int>(written);
}

void FlushPortInput(int fd) {
    tcflush(fd, TCIFLUSH);
}

bool PortHungUp(int fd) {
    pollfd state{fd, POLLIN, 0};
    return poll(&state, 1, 0) == 1 && (state.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}
