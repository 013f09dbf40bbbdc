// The menu item "Write dataref list": every dataref the running simulator knows, an add-on
// aircraft's included, written to datarefs-live.txt in the plug-in's folder, where corvane-check
// reads it beside X-Plane's own DataRefs.txt.
#pragma once

constexpr char kLiveDatarefFile[] = "datarefs-live.txt";

// Writes the list and tells on the status window's message line how it went, or that this
// simulator cannot list its datarefs (X-Plane 11).
void WriteLiveDatarefList();
