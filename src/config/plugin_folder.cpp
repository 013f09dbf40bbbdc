#include "config/plugin_folder.h"

#include <cstring>

std::string foldername;
std::string filepath;

namespace {

bool EndsWith(const std::string& text, const char* suffix) {
    const size_t n = std::strlen(suffix);
    return text.size() >= n && text.compare(text.size() - n, n, suffix) == 0;
}

// The last path separator, '/' or '\\' (Windows gives either); npos when there is none.
size_t LastSeparator(const std::string& path) {
    return path.find_last_of("/\\");
}

}  // namespace

std::string PluginFolderFromPath(std::string path) {
    if (EndsWith(path, "xpl") || EndsWith(path, "XPL")) {
        const size_t separator = LastSeparator(path);
        if (separator != std::string::npos) path.erase(separator);
    }
    // The platform folder of a fat plug-in: 64/ or 32/, or lin_x64/, mac_x64/, win_x64/.
    const size_t separator = LastSeparator(path);
    if (separator != std::string::npos) {
        const std::string last = path.substr(separator + 1);
        if (last == "32" || last == "64" || EndsWith(last, "_x64")) path.erase(separator);
    }
    return path;
}
