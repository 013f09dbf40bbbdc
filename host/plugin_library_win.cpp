// Plug-in libraries on Windows: LoadLibrary, as the simulator loads a .xpl there; its imports
// from XPLM_64.dll and XPWidgets_64.dll resolve to the host's own.
#include <windows.h>

#include "plugin_library.h"

namespace xphost::detail {

std::string FullPluginPath(const std::string& path) {
    char full[MAX_PATH];
    const DWORD n = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    return n > 0 && n < sizeof full ? std::string(full, n) : path;
}

void* OpenPluginLibrary(const std::string& path, std::string* error) {
    // The DLLs it imports are found beside xphost.exe, as the simulator's are beside X-Plane.exe.
    HMODULE library = LoadLibraryA(path.c_str());
    if (library == nullptr) {
        const DWORD code = GetLastError();
        char text[256] = {};
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                       text, sizeof text, nullptr);
        std::string reason = text;
        while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r'))
            reason.pop_back();
        *error = "cannot load " + path + ": " +
                 (reason.empty() ? "error " + std::to_string(code) : reason);
    }
    return reinterpret_cast<void*>(library);
}

void* FindLibrarySymbol(void* library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void ClosePluginLibrary(void* library) {
    FreeLibrary(static_cast<HMODULE>(library));
}

}  // namespace xphost::detail
