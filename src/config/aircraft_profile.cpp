#include "config/aircraft_profile.h"

#include <algorithm>
#include <filesystem>

#include "XPLMPlanes.h"
#include "config/plugin_folder.h"
#include "config/plugin_log.h"
#include "config/status_text.h"

std::string ConfigFileInForce = "data.cfg";

namespace {

// A profiles folder is read this far, so that a folder of countless files cannot stall a frame.
constexpr int kMostProfileEntries = 10000;

std::string LowerCase(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

}  // namespace

std::string AircraftNameOf(const std::string& modelFile) {
    size_t begin = modelFile.size();
    while (begin > 0 && modelFile[begin - 1] != '/' && modelFile[begin - 1] != '\\') --begin;
    std::string name = modelFile.substr(begin);
    if (name.size() > 4 && LowerCase(name.substr(name.size() - 4)) == ".acf")
        name.erase(name.size() - 4);
    return name;
}

AircraftModel UserAircraftModel() {
    // Four times the room the simulator asks for, and zeroed: what it writes ends within them.
    char file[1024] = {};
    char path[2048] = {};
    XPLMGetNthAircraftModel(0, file, path);
    return {file, path};
}

std::string UserAircraftName() {
    return AircraftNameOf(UserAircraftModel().file);
}

std::vector<std::string> ProfileNames(const std::string& folder) {
    namespace fs = std::filesystem;
    std::vector<std::string> names;
    try {
        std::error_code error;
        fs::directory_iterator entry(fs::path(folder) / "profiles", error), end;
        for (int seen = 0; !error && entry != end && seen < kMostProfileEntries;
             entry.increment(error), ++seen) {
            std::string name;
            try {
                name = entry->path().filename().string();
            } catch (...) {  // a name the system cannot hand over as text is no profile
                continue;
            }
            std::error_code kind;
            if (name.size() > 4 && LowerCase(name.substr(name.size() - 4)) == ".cfg" &&
                entry->is_regular_file(kind))
                names.push_back(name);
        }
    } catch (...) {  // a folder path the system cannot take: no profiles
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string ConfigFileFor(const std::string& folder, const std::string& aircraft) {
    if (aircraft.empty()) return "data.cfg";
    const std::string wanted = aircraft + ".cfg";
    std::string found;
    for (const std::string& name : ProfileNames(folder)) {
        if (name == wanted) return "profiles/" + name;
        if (found.empty() && LowerCase(name) == LowerCase(wanted)) found = name;
    }
    return found.empty() ? "data.cfg" : "profiles/" + found;
}

void ChooseConfigFile() {
    const std::string aircraft = UserAircraftName();
    ConfigFileInForce = ConfigFileFor(foldername, aircraft);
    WriteLog("\nconfiguration " + ConfigFileInForce +
             (aircraft.empty() ? std::string() : " for aircraft " + aircraft));
    if (ConfigFileInForce != "data.cfg")
        SetStatusLine(kConfigFileLine, "   Boards are configured from " + ConfigFileInForce +
                                           " for aircraft " + aircraft + ";");
}
