// Loading a plug-in's library file the way the simulator does on each system
// (plugin_library_posix.cpp: dlopen; plugin_library_win.cpp: LoadLibrary).
#pragma once

#include <string>

namespace xphost::detail {

// The full path of a plug-in file, as the simulator reports it; the path as given when it does
// not resolve.
std::string FullPluginPath(const std::string& path);
// Loads the library and runs its initialisers; nullptr with *error (the system's reason) when it
// does not load.
void* OpenPluginLibrary(const std::string& path, std::string* error);
// The address of an exported function by its plain name; nullptr when there is none.
void* FindLibrarySymbol(void* library, const char* name);
void ClosePluginLibrary(void* library);

}  // namespace xphost::detail
