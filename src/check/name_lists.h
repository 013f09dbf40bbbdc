// The lists of names that corvane-check reads: X-Plane's own DataRefs.txt and Commands.txt (in
// Resources/plugins of an X-Plane folder), and the headless host's list (examples/datarefs.txt).
#pragma once

#include <string>
#include <vector>

namespace corvane_check {

// The entries of one list, each as one line of the headless host's format, with its name.
struct NameList {
    std::vector<std::string> hostLines;  // "NAME TYPE rw|ro" or "command NAME"
    std::vector<std::string> names;      // the name of each entry, in the same order
    int badLines = 0;                    // lines that hold no entry
    std::string firstBad;                // "line N: why" of the first of them
};

// DataRefs.txt: a header line (format number, build number, date), then one dataref a line with
// tab-separated fields: name, type (int, float, double, int[N], float[N], byte[N], or types joined
// by '/'), writable ("y" or "n"), and optionally units and a description. Blank lines are allowed.
NameList ReadXPlaneDatarefs(const std::string& text);

// Commands.txt: one command a line, its name, then blanks or a tab, then its description.
NameList ReadXPlaneCommands(const std::string& text);

// The names of a list in the headless host's format (comments and blank lines aside).
std::vector<std::string> NamesOfHostList(const std::string& text);

// Resources/plugins of the X-Plane folder dir, where DataRefs.txt and Commands.txt lie.
std::string XPlaneListFolder(const std::string& xplaneDir);

// The folder holding DataRefs.txt and Commands.txt when folder is a plug-in's folder inside
// X-Plane (Resources/plugins/NAME, or its lin_x64, win_x64, mac_x64, 64 or profiles sub-folder);
// "" when it is not. plugin, when given, gets that plug-in's folder.
std::string FindListsFromPluginFolder(const std::string& folder, std::string* plugin = nullptr);

// The list of every dataref of a running X-Plane, an add-on aircraft's included, that the
// plug-in's menu item "Write dataref list" writes into its folder, in DataRefs.txt's format.
constexpr char kLiveListFile[] = "datarefs-live.txt";

}  // namespace corvane_check
