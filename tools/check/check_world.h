// The world corvane-check reads a data.cfg in: the headless host's datarefs and commands (the
// names a configuration may use), the plug-in's own corvane/ datarefs and commands, and empty
// board tables. No plug-in runs, no socket and no serial port is opened.
#pragma once

#include <string>
#include <vector>

namespace corvane_check {

// Where the simulator's names come from; either may be empty, and both may be given (X-Plane's
// lists lack what plug-ins add at run time, which a list of the host's format can name).
struct NameSources {
    std::string datarefs;     // a list in the headless host's format (examples/datarefs.txt)
    std::string xplaneLists;  // a folder with X-Plane's DataRefs.txt and Commands.txt
    std::string liveList;     // beside them, the plug-in's datarefs-live.txt, read when it exists
};

// Empties the host and the board tables, loads the lists of sources and creates the plug-in's own
// datarefs and commands. False, with *error, when a list cannot be opened. A list with bad lines
// still loads its good ones; *warning then names the first bad line.
bool PrepareWorldFrom(const NameSources& sources, std::string* error, std::string* warning);

// PrepareWorldFrom with the host-format list at datarefPath alone.
bool PrepareWorld(const std::string& datarefPath, std::string* error, std::string* warning);

// Gives the board tables, the status lines and the configuration reader their start-up state,
// so that the next board read gets board index 0. The host's names stay.
void ClearBoards();

// The whole content of the file at path into text (bytes as they are); false when it is a folder
// or does not open, with the reason in *why when given.
bool ReadWholeFile(const std::string& path, std::string& text, std::string* why = nullptr);

}  // namespace corvane_check
