// The one plug-in the host runs: loading, the entry points in the simulator's order, messages and
// reloading.
#include <cstdio>
#include <cstring>

#include "XPLMPlugin.h"
#include "host_state.h"
#include "plugin_library.h"

namespace xphost {
namespace detail {

namespace {

constexpr XPLMPluginID kPluginID = 1;

bool OpenLibrary(const std::string& path, Plugin* plugin, std::string* error) {
    void* library = OpenPluginLibrary(path, error);
    if (library == nullptr) return false;
    struct Symbol {
        const char* name;
        void** target;
    };
    PluginEntryPoints entry{};
    void* start = nullptr;
    void* stop = nullptr;
    void* enable = nullptr;
    void* disable = nullptr;
    void* receive = nullptr;
    for (Symbol symbol : {Symbol{"XPluginStart", &start}, Symbol{"XPluginStop", &stop},
                          Symbol{"XPluginEnable", &enable}, Symbol{"XPluginDisable", &disable},
                          Symbol{"XPluginReceiveMessage", &receive}}) {
        *symbol.target = FindLibrarySymbol(library, symbol.name);
        if (*symbol.target == nullptr) {
            *error = path + " has no " + symbol.name;
            ClosePluginLibrary(library);
            return false;
        }
    }
    entry.start = reinterpret_cast<int (*)(char*, char*, char*)>(start);
    entry.stop = reinterpret_cast<void (*)()>(stop);
    entry.enable = reinterpret_cast<int (*)()>(enable);
    entry.disable = reinterpret_cast<void (*)()>(disable);
    entry.receive = reinterpret_cast<void (*)(int, int, void*)>(receive);
    plugin->library = library;
    plugin->entry = entry;
    return true;
}

// Everything a plug-in registered goes with it: its code may be unmapped next.
void DropRegistrations() {
    DropPluginFlightLoops();
    DropPluginDatarefs();
    DropPluginCommandHandlers();
    ResetWidgets();
    ResetMenus();
}

void CopyOut(char* out, const std::string& text) {
    if (out == nullptr) return;
    std::strncpy(out, text.c_str(), 255);
    out[255] = '\0';
}

}  // namespace

void DetachPlugin() {
    auto& plugin = S().plugin;
    if (plugin.library != nullptr) ClosePluginLibrary(plugin.library);
    plugin = Plugin();
    S().reloadPending = false;
    S().datarefNotifications = false;
}

}  // namespace detail

using detail::S;

bool LoadPlugin(const std::string& xplPath, std::string* error) {
    std::string ignored;
    std::string& problem = error != nullptr ? *error : ignored;
    auto& plugin = S().plugin;
    if (plugin.present) {
        problem = "a plug-in is loaded already: " + plugin.path;
        return false;
    }
    std::string path = detail::FullPluginPath(xplPath);
    detail::Plugin loaded;
    if (!detail::OpenLibrary(path, &loaded, &problem)) return false;
    loaded.present = true;
    loaded.path = path;
    plugin = loaded;
    return true;
}

void AttachPlugin(const PluginEntryPoints& entry, const std::string& xplPath) {
    if (S().plugin.present) UnloadPlugin();
    auto& plugin = S().plugin;
    plugin = detail::Plugin();
    plugin.present = true;
    plugin.inProcess = true;
    plugin.entry = entry;
    plugin.path = xplPath;
}

bool StartPlugin() {
    auto& plugin = S().plugin;
    if (!plugin.present || plugin.entry.start == nullptr) return false;
    if (plugin.started) return true;
    char name[256] = {};
    char signature[256] = {};
    char description[256] = {};
    int result = plugin.entry.start(name, signature, description);
    name[255] = signature[255] = description[255] = '\0';
    auto& after = S().plugin;
    after.name = name;
    after.signature = signature;
    after.description = description;
    after.started = result != 0;
    return after.started;
}

bool EnablePlugin() {
    auto& plugin = S().plugin;
    if (!plugin.present || !plugin.started || plugin.entry.enable == nullptr) return false;
    if (plugin.enabled) return true;
    int result = plugin.entry.enable();
    S().plugin.enabled = result != 0;
    return S().plugin.enabled;
}

void DisablePlugin() {
    auto& plugin = S().plugin;
    if (!plugin.present || !plugin.enabled) return;
    plugin.enabled = false;
    if (plugin.entry.disable != nullptr) plugin.entry.disable();
}

void StopPlugin() {
    DisablePlugin();
    auto& plugin = S().plugin;
    if (!plugin.present || !plugin.started) return;
    plugin.started = false;
    if (plugin.entry.stop != nullptr) plugin.entry.stop();
}

void UnloadPlugin() {
    if (!S().plugin.present) return;
    StopPlugin();
    detail::DropRegistrations();
    detail::DetachPlugin();
}

bool PluginLoaded() {
    return S().plugin.present;
}
bool PluginStarted() {
    return S().plugin.started;
}
bool PluginEnabled() {
    return S().plugin.enabled;
}

void SendPluginMessage(int message, void* param) {
    auto& plugin = S().plugin;
    if (!plugin.present || !plugin.enabled || plugin.entry.receive == nullptr) return;
    plugin.entry.receive(XPLM_PLUGIN_XPLANE, message, param);
}

bool ReloadPlugin() {
    auto& s = S();
    s.reloadPending = false;
    if (!s.plugin.present) return false;
    StopPlugin();
    detail::DropRegistrations();
    detail::Plugin& plugin = s.plugin;
    if (plugin.inProcess) {
        if (s.reloadHook) s.reloadHook();
    } else {
        std::string path = plugin.path;
        detail::ClosePluginLibrary(plugin.library);
        plugin.library = nullptr;
        std::string error;
        if (!detail::OpenLibrary(path, &plugin, &error)) {
            std::fprintf(stderr, "xphost: reload failed: %s\n", error.c_str());
            detail::DetachPlugin();
            return false;
        }
    }
    return StartPlugin() && EnablePlugin();
}

bool ReloadPending() {
    return S().reloadPending;
}

void SetReloadHook(std::function<void()> hook) {
    S().reloadHook = std::move(hook);
}

}  // namespace xphost

using xphost::detail::S;

XPLMPluginID XPLMGetMyID(void) {
    return xphost::detail::kPluginID;
}

void XPLMGetPluginInfo(XPLMPluginID inPlugin, char* outName, char* outFilePath, char* outSignature,
                       char* outDescription) {
    const auto& plugin = S().plugin;
    std::string name, path, signature, description;
    if (inPlugin == XPLM_PLUGIN_XPLANE) {
        name = "X-Plane";
        signature = "xplane";
        description = "The simulator (xphost)";
    } else if (inPlugin == xphost::detail::kPluginID && plugin.present) {
        name = plugin.name;
        path = plugin.path;
        signature = plugin.signature;
        description = plugin.description;
    }
    xphost::detail::CopyOut(outName, name);
    xphost::detail::CopyOut(outFilePath, path);
    xphost::detail::CopyOut(outSignature, signature);
    xphost::detail::CopyOut(outDescription, description);
}

void XPLMReloadPlugins(void) {
    if (S().plugin.present) S().reloadPending = true;
}
