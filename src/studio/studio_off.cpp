// A plug-in built without the Studio (CORVANE_STUDIO off): it has no server and says so.
#include "config/plugin_log.h"
#include "studio/studio.h"

std::string StudioAddress;
std::string StudioToken;

void StartStudio(int, const std::string&, void (*)()) {}

void StopStudio() {}

void OpenStudio() {
    WriteLog("\nThis Corvane was built without the Studio");
}
