#include "plugin/live_dataref_list.h"

#include <fstream>
#include <string>

#include "config/plugin_folder.h"
#include "config/plugin_log.h"
#include "config/status_text.h"
#include "simdata/dataref_list.h"

void WriteLiveDatarefList() {
    std::string text;
    int count = 0;
    if (!LiveDatarefList(text, count)) {
        ShowOnMessageLine("Corvane: this X-Plane cannot list its datarefs (X-Plane 12 can)");
        return;
    }
    const std::string path = foldername + "/" + kLiveDatarefFile;
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
    file.close();
    if (!file) {
        WriteLog("\nCould not write " + path);
        ShowOnMessageLine(std::string("Corvane: ") + kLiveDatarefFile + " could not be written");
        return;
    }
    WriteLog("\nWrote " + std::to_string(count) + " datarefs to " + path);
    ShowOnMessageLine("Corvane: " + std::to_string(count) + " datarefs written to " +
                      kLiveDatarefFile);
}
