#include <windows.h>

#include <filesystem>

#include "program_folder.h"

namespace corvane_check {

std::string ProgramFolder(const char*) {
    wchar_t path[MAX_PATH];
    const DWORD size = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (size == 0 || size >= MAX_PATH) return std::string();
    return std::filesystem::path(path).parent_path().string();
}

}  // namespace corvane_check
