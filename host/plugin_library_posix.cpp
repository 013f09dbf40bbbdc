// Plug-in libraries on Linux and macOS: dlopen, as the simulator loads a .xpl there.
#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

#include "plugin_library.h"

namespace xphost::detail {

std::string FullPluginPath(const std::string& path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) != nullptr ? resolved : path;
}

void* OpenPluginLibrary(const std::string& path, std::string* error) {
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char* reason = dlerror();
        *error = reason != nullptr ? reason : "cannot load " + path;
    }
    return library;
}

void* FindLibrarySymbol(void* library, const char* name) {
    return dlsym(library, name);
}

void ClosePluginLibrary(void* library) {
    dlclose(library);
}

}  // namespace xphost::detail
