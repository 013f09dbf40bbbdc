// Opens the Studio in the default browser with ShellExecute.
#include <windows.h>
// windows.h before shellapi.h
#include <shellapi.h>

#include "config/plugin_log.h"
#include "studio/studio.h"

void OpenStudio() {
    if (StudioAddress.empty()) {
        WriteLog("\nThe Studio does not run (STUDIO_PORT in config.ini)");
        return;
    }
    constexpr int kShowNormal = 1;  // SW_SHOWNORMAL
    const auto result = reinterpret_cast<intptr_t>(
        ShellExecuteA(nullptr, "open", StudioAddress.c_str(), nullptr, nullptr, kShowNormal));
    if (result <= 32) WriteLog("\nCould not open the Studio in the browser");
}
