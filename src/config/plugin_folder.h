// The plug-in's own folder, where config.ini, data.cfg and the memory files live.
#pragma once

#include <string>

extern std::string foldername;  // the plug-in's folder, without a trailing separator
extern std::string filepath;    // working path of the file readers

// The plug-in's folder derived from the path of its .xpl file (fat or flat layout).
std::string PluginFolderFromPath(std::string path);
