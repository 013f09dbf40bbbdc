// The Windows Corvane.xpl as Windows' loader sees it: the functions it exports and the DLLs it
// imports, read with MinGW-w64's objdump.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <sstream>
#include <string>

namespace {

std::string Output(const std::string& command) {
    std::string text;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return text;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
    pclose(pipe);
    return text;
}

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return text;
}

TEST(WindowsPlugin, ExportsTheEntryPointsAndImportsOnlyTheSimulatorAndSystemDlls) {
    const std::string tables = Output("'" CORVANE_MINGW_OBJDUMP "' -p '" CORVANE_WIN_XPL "'");
    std::set<std::string> exported, imported;
    std::istringstream lines(tables);
    bool inExports = false;
    for (std::string line; std::getline(lines, line);) {
        if (line.empty()) inExports = false;
        if (line.find("[Ordinal/Name Pointer] Table") != std::string::npos) {
            inExports = true;
            continue;
        }
        const size_t bracket = line.find("] ");
        if (inExports && bracket != std::string::npos) exported.insert(line.substr(bracket + 2));
        const size_t dll = line.find("DLL Name: ");
        if (dll != std::string::npos) imported.insert(Upper(line.substr(dll + 10)));
    }
    EXPECT_EQ(exported,
              (std::set<std::string>{"XPluginDisable", "XPluginEnable", "XPluginReceiveMessage",
                                     "XPluginStart", "XPluginStop"}));
    EXPECT_EQ(imported.count("XPLM_64.DLL"), 1u);
    EXPECT_EQ(imported.count("XPWIDGETS_64.DLL"), 1u);
    // No MinGW runtime DLL (libstdc++, libgcc, winpthread): only what every Windows has.
    const std::set<std::string> allowed = {"XPLM_64.DLL", "XPWIDGETS_64.DLL", "KERNEL32.DLL",
                                           "WS2_32.DLL",  "IPHLPAPI.DLL",     "ADVAPI32.DLL",
                                           "MSVCRT.DLL",  "UCRTBASE.DLL"};
    for (const std::string& dll : imported)
        EXPECT_TRUE(allowed.count(dll) || dll.rfind("API-MS-WIN-CRT-", 0) == 0) << dll;
}

}  // namespace
