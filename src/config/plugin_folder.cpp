#include "config/plugin_folder.h"

#include <cctype>

std::string foldername;
std::string filepath;

namespace {

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

bool SameLetters(const std::string& text, const char* name) {
    size_t k = 0;
    for (; name[k] != '\0'; ++k) {
        if (k >= text.size()) return false;
        if (std::tolower(static_cast<unsigned char>(text[k])) != name[k]) return false;
    }
    return k == text.size();
}

// A folder that holds the plug-in file of one platform inside the plug-in's own folder.
bool IsPlatformFolder(const std::string& name) {
    for (const char* known : {"32", "64", "lin_x64", "mac_x64", "win_x64"})
        if (SameLetters(name, known)) return true;
    return false;
}

bool IsPluginFile(const std::string& name) {
    return name.size() > 4 && SameLetters(name.substr(name.size() - 4), ".xpl");
}

// Cuts path's last component; false (path unchanged) when it has no separator before it.
bool DropLastComponent(std::string& path, std::string* component) {
    size_t cut = path.size();
    while (cut > 0 && !IsSeparator(path[cut - 1])) --cut;
    if (cut == 0) return false;
    *component = path.substr(cut);
    path.erase(cut - 1);
    return true;
}

}  // namespace

std::string PluginFolderFromPath(std::string path) {
    std::string folder = path;
    std::string name;
    if (!DropLastComponent(folder, &name)) return path;
    if (!IsPluginFile(name)) folder = path;  // a folder's path: nothing to drop
    std::string platform = folder;
    if (DropLastComponent(platform, &name) && IsPlatformFolder(name)) folder = platform;
    return folder;
}
