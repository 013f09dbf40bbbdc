#include "config/plugin_folder.h"

#include <cstring>

std::string foldername;
std::string filepath;

namespace {

bool EndsWith(const std::string& text, const char* suffix) {
    const size_t n = std::strlen(suffix);
    return text.size() >= n && text.compare(text.size() - n, n, suffix) == 0;
}

}  // namespace

std::string PluginFolderFromPath(std::string path) {
    if (EndsWith(path, "xpl") || EndsWith(path, "XPL")) {
        if (path.size() >= 8) path.erase(path.size() - 8);
    }
    if (EndsWith(path, "32") || EndsWith(path, "64")) {
        if (path.size() >= 3) path.erase(path.size() - 3);
    }
    return path;
}
