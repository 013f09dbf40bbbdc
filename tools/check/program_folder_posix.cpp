#include <filesystem>

#include "program_folder.h"

namespace corvane_check {

std::string ProgramFolder(const char* argv0) {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::path program = fs::read_symlink("/proc/self/exe", error);  // Linux
    if (error) program = fs::absolute(argv0 ? argv0 : "", error);
    return error ? std::string() : program.parent_path().string();
}

}  // namespace corvane_check
