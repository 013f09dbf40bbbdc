// The aircraft: which .acf file XPLMGetNthAircraftModel reports for the user's and for the others,
// and the message the simulator sends when one has loaded.
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "XPLMPlanes.h"
#include "XPLMPlugin.h"
#include "host_state.h"

namespace xphost {

namespace {

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

// The folder that holds Resources/plugins/ of the loaded plug-in, else the working folder.
std::string XPlaneFolder() {
    const std::string& plugin = detail::S().plugin.path;
    for (const char* marker : {"/Resources/plugins/", "\\Resources\\plugins\\"}) {
        const std::size_t at = plugin.rfind(marker);
        if (at != std::string::npos) return plugin.substr(0, at);
    }
    std::error_code error;
    const std::filesystem::path here = std::filesystem::current_path(error);
    return error ? std::string(".") : here.string();
}

bool IsAbsolute(const std::string& path) {
    return (!path.empty() && IsSeparator(path[0])) || (path.size() > 2 && path[1] == ':');
}

void CopyOut(char* out, const std::string& text, std::size_t size) {
    if (out == nullptr) return;
    std::strncpy(out, text.c_str(), size - 1);
    out[size - 1] = '\0';
}

}  // namespace

void SetUserAircraft(const std::string& path) {
    detail::S().aircraft = detail::Trim(path);
}

void LoadUserAircraft(const std::string& path) {
    SetUserAircraft(path);
    SendPluginMessage(XPLM_MSG_PLANE_LOADED, nullptr);  // the plane's index, 0, as the pointer
}

std::string UserAircraft() {
    return detail::S().aircraft;
}

bool LoadOtherAircraft(int index, const std::string& path) {
    if (index < 1 || index >= kMaxAircraft) return false;
    detail::S().otherAircraft[index] = detail::Trim(path);
    SendPluginMessage(XPLM_MSG_PLANE_LOADED, reinterpret_cast<void*>(static_cast<intptr_t>(index)));
    return true;
}

}  // namespace xphost

void XPLMGetNthAircraftModel(int inIndex, char* outFileName, char* outPath) {
    std::string name, path;
    const auto& state = xphost::detail::S();
    std::string given = state.aircraft;
    if (inIndex != 0) {
        const auto other = state.otherAircraft.find(inIndex);
        given = other == state.otherAircraft.end() ? std::string() : other->second;
    }
    if (!given.empty()) {
        path = xphost::IsAbsolute(given) ? given : xphost::XPlaneFolder() + "/" + given;
        std::size_t cut = path.size();
        while (cut > 0 && !xphost::IsSeparator(path[cut - 1])) --cut;
        name = path.substr(cut);
    }
    xphost::CopyOut(outFileName, name, 256);
    xphost::CopyOut(outPath, path, 512);
}
