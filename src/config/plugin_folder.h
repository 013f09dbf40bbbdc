// The plug-in's own folder, where config.ini, data.cfg and the memory files live.
#pragma once

#include <string>

extern std::string foldername;  // the plug-in's folder, without a trailing separator
extern std::string filepath;    // working path of the file readers

// The plug-in's folder derived from the path of its .xpl file, component by component, with '/'
// or '\' between them: the file is dropped, then a platform folder (32, 64, lin_x64, mac_x64,
// win_x64) that holds it. A path without any separator is returned as it is.
std::string PluginFolderFromPath(std::string path);
