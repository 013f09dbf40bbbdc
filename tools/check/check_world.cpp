#include "check_world.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "check/name_lists.h"
#include "check/name_suggestions.h"
#include "config/board_tables.h"
#include "config/config_file.h"
#include "config/settings.h"
#include "config/status_text.h"
#include "simdata/custom_refs.h"
#include "transport/lan_socket.h"
#include "transport/serial_ports.h"
#include "xphost.h"

namespace corvane_check {

namespace {

void Warn(std::string* warning, const std::string& text) {
    if (warning && warning->empty()) *warning = text;
}

// Loads one of X-Plane's lists into the host, entry by entry: a dataref of a type the host does
// not know stays known as a scalar of every kind, rather than be reported as missing.
bool LoadXPlaneList(const std::string& path, bool datarefs, std::string* error,
                    std::string* warning) {
    std::string text;
    if (!ReadWholeFile(path, text)) {
        if (error) *error = "cannot read " + path;
        return false;
    }
    const NameList list = datarefs ? ReadXPlaneDatarefs(text) : ReadXPlaneCommands(text);
    int odd = 0;
    for (size_t k = 0; k < list.hostLines.size(); ++k) {
        if (xphost::LoadDatarefText(list.hostLines[k], nullptr)) continue;
        const std::string& line = list.hostLines[k];
        const size_t access = line.rfind(' ');
        xphost::LoadDatarefText(list.names[k] + " int+float+double" + line.substr(access), nullptr);
        if (odd++ == 0) Warn(warning, path + ": type of " + list.names[k] + " not understood");
    }
    if (list.badLines > 0)
        Warn(warning, path + ": " + list.firstBad +
                          (list.badLines > 1 ? " (and " + std::to_string(list.badLines - 1) +
                                                   " more lines not read)"
                                             : ""));
    KnownNames.insert(KnownNames.end(), list.names.begin(), list.names.end());
    return true;
}

bool LoadHostList(const std::string& path, std::string* error, std::string* warning) {
    std::string text;
    if (!ReadWholeFile(path, text)) {
        if (error) *error = "cannot read the dataref list " + path;
        return false;
    }
    std::string bad;
    if (!xphost::LoadDatarefFile(path, &bad)) Warn(warning, bad);
    const std::vector<std::string> names = NamesOfHostList(text);
    KnownNames.insert(KnownNames.end(), names.begin(), names.end());
    return true;
}

}  // namespace

bool PrepareWorldFrom(const NameSources& sources, std::string* error, std::string* warning) {
    xphost::Reset();
    xphost::SetDebugEcho(false);
    KnownNames.clear();
    if (!sources.xplaneLists.empty()) {
        const std::string folder = sources.xplaneLists + "/";
        if (!LoadXPlaneList(folder + "DataRefs.txt", true, error, warning) ||
            !LoadXPlaneList(folder + "Commands.txt", false, error, warning))
            return false;
        std::string ignored;
        if (!sources.liveList.empty() && ReadWholeFile(sources.liveList, ignored))
            LoadXPlaneList(sources.liveList, true, error, warning);
    }
    if (!sources.datarefs.empty() && !LoadHostList(sources.datarefs, error, warning)) return false;
    InitiateCustom();
    for (const CustomDref& own : Corvane_Drefs) KnownNames.push_back(own.name);
    for (const CustomCommand& own : Corvane_Commands) KnownNames.push_back(own.name);
    ClearBoards();
    return true;
}

bool PrepareWorld(const std::string& datarefPath, std::string* error, std::string* warning) {
    NameSources sources;
    sources.datarefs = datarefPath;
    return PrepareWorldFrom(sources, error, warning);
}

void ClearBoards() {
    ClearBoardTables();
    ClearConfigReaderState();
    InitStatusLines();
    message_line_number = 2;
    // No search runs: the reader writes no "scanning..." line.
    ScanTimeout = 0;
    MessageIsSerial = 0;
    SerialCurrent = 0;
    serv_addr = sockaddr_in{};
    ComPortName.clear();
}

bool ReadWholeFile(const std::string& path, std::string& text, std::string* why) {
    const auto fail = [&](const std::string& reason) {
        if (why) *why = reason;
        return false;
    };
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) return fail("it is a folder");
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    if (!in) return fail(errno != 0 ? std::strerror(errno) : "it does not open");
    std::ostringstream content;
    content << in.rdbuf();
    text = content.str();
    return true;
}

}  // namespace corvane_check
