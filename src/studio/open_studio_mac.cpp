// Opens the Studio in the default browser with open, in the background.
#include <cstdlib>

#include "config/plugin_log.h"
#include "studio/studio.h"

void OpenStudio() {
    if (StudioAddress.empty()) {
        WriteLog("\nThe Studio does not run (STUDIO_PORT in config.ini)");
        return;
    }
    // The address holds only digits, letters and ":/?=.", nothing the shell would read.
    const std::string command = "open '" + StudioAddress + "' >/dev/null 2>&1 &";
    if (std::system(command.c_str()) != 0) WriteLog("\nCould not start open for the Studio");
}
