#include "check/name_lists.h"

#include <filesystem>
#include <sstream>

namespace corvane_check {

namespace {

namespace fs = std::filesystem;

constexpr char kDatarefFile[] = "DataRefs.txt";
constexpr char kCommandFile[] = "Commands.txt";

std::string Trimmed(const std::string& text) {
    const char* const blanks = " \t\r\n";
    const size_t begin = text.find_first_not_of(blanks);
    if (begin == std::string::npos) return std::string();
    return text.substr(begin, text.find_last_not_of(blanks) - begin + 1);
}

std::vector<std::string> Fields(const std::string& line, const char* separators) {
    std::vector<std::string> fields;
    for (size_t begin = line.find_first_not_of(separators); begin != std::string::npos;) {
        const size_t end = line.find_first_of(separators, begin);
        fields.push_back(line.substr(begin, end - begin));  // to the line's end when end is npos
        begin = line.find_first_not_of(separators, end);
    }
    return fields;
}

bool AllDigits(const std::string& text) {
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return !text.empty();
}

void NoteBad(NameList& list, int number, const std::string& why) {
    if (list.badLines++ == 0) list.firstBad = "line " + std::to_string(number) + ": " + why;
}

// X-Plane's type of a dataref in the host's words: "float/double" becomes "float+double".
std::string HostType(std::string type) {
    for (char& c : type)
        if (c == '/') c = '+';
    return type;
}

bool IsFile(const fs::path& path) {
    std::error_code error;
    return fs::is_regular_file(path, error);
}

}  // namespace

NameList ReadXPlaneDatarefs(const std::string& text) {
    NameList list;
    std::istringstream in(text);
    std::string line;
    int number = 0;
    bool headerRead = false;
    while (std::getline(in, line)) {
        ++number;
        line = Trimmed(line);
        if (line.empty()) continue;
        // Fields are tab-separated; a list written with blanks reads the same.
        const std::vector<std::string> f = Fields(line, " \t");
        if (!headerRead) {
            headerRead = true;
            if (AllDigits(f[0])) continue;  // format number, build number, date
        }
        if (f.size() < 3 || f[0].find('/') == std::string::npos) {
            NoteBad(list, number, "not a dataref line: name, type and writable (y or n)");
            continue;
        }
        list.hostLines.push_back(f[0] + " " + HostType(f[1]) + " " + (f[2] == "y" ? "rw" : "ro"));
        list.names.push_back(f[0]);
    }
    return list;
}

NameList ReadXPlaneCommands(const std::string& text) {
    NameList list;
    std::istringstream in(text);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        line = Trimmed(line);
        if (line.empty()) continue;
        const std::string name = Fields(line, " \t")[0];
        if (name.find('/') == std::string::npos) {
            NoteBad(list, number, "not a command line: name and description");
            continue;
        }
        list.hostLines.push_back("command " + name);
        list.names.push_back(name);
    }
    return list;
}

std::vector<std::string> NamesOfHostList(const std::string& text) {
    std::vector<std::string> names;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        const std::vector<std::string> f = Fields(line, " \t\r");
        if (f.empty() || f[0][0] == '#') continue;
        if (f[0] != "command")
            names.push_back(f[0]);
        else if (f.size() > 1)
            names.push_back(f[1]);
    }
    return names;
}

std::string XPlaneListFolder(const std::string& xplaneDir) {
    return (fs::path(xplaneDir) / "Resources" / "plugins").string();
}

std::string FindListsFromPluginFolder(const std::string& folder, std::string* pluginFolder) {
    std::error_code error;
    fs::path plugin = fs::weakly_canonical(fs::absolute(folder, error), error);
    if (error || plugin.empty()) return std::string();
    const std::string name = plugin.filename().string();
    if (name == "lin_x64" || name == "win_x64" || name == "mac_x64" || name == "64" ||
        name == "profiles")
        plugin = plugin.parent_path();
    const fs::path lists = plugin.parent_path();
    if (lists.empty() || lists == plugin) return std::string();
    if (!IsFile(lists / kDatarefFile) || !IsFile(lists / kCommandFile)) return std::string();
    if (pluginFolder) *pluginFolder = plugin.string();
    return lists.string();
}

}  // namespace corvane_check
