#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "config/file_replace.h"

namespace {

// More links than any sane chain of them has; a loop of links ends here.
constexpr int kMaxLinkHops = 40;

// The file that a write through path reaches: path itself, or the end of its chain of symbolic
// links (a relative link counts from the folder of the link). Empty for a loop of links.
std::string FileBehindLinks(std::string path) {
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat info {};
        if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
        char target[4096];
        const ssize_t n = readlink(path.c_str(), target, sizeof target - 1);
        if (n <= 0) return path;
        const std::string next(target, static_cast<size_t>(n));
        const size_t slash = path.rfind('/');
        if (next[0] == '/' || slash == std::string::npos)
            path = next;
        else
            path = path.substr(0, slash + 1) + next;
    }
    return std::string();
}

}  // namespace

bool ReplaceFileContent(const std::string& path, const std::string& content) {
    // Through a link the file it points to is replaced, so that the link stays a link.
    const std::string target = FileBehindLinks(path);
    if (target.empty()) return false;
    const std::string temporary = target + ".tmp";
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return false;
    // The new file takes the old one's permission bits; a file owned by someone else, whose bits
    // cannot be set, is still written (with the usual bits).
    struct stat old {};
    if (stat(target.c_str(), &old) == 0) (void)!fchmod(fd, old.st_mode & 07777);
    bool ok = true;
    size_t done = 0;
    while (ok && done < content.size()) {
        const ssize_t n = write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0)
            ok = false;
        else
            done += static_cast<size_t>(n);
    }
    if (ok && fsync(fd) != 0) ok = false;
    if (close(fd) != 0) ok = false;
    if (ok && std::rename(temporary.c_str(), target.c_str()) != 0) ok = false;
    if (!ok) std::remove(temporary.c_str());
    return ok;
}
