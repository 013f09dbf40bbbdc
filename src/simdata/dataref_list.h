// The list of every dataref the running simulator knows, plug-ins' included, in the format of
// X-Plane's own Resources/plugins/DataRefs.txt. Only X-Plane 12 and later can list them; the calls
// are found at run time, so that the plug-in still loads in X-Plane 11.
#pragma once

#include <string>

constexpr int kMaxListedDatarefs = 1000000;  // datarefs listed at most

// The list: a header line (format number, the simulator's build number, the date), then one line
// per dataref with its name, type (int, float, double, int[N], float[N], byte[N], joined by '/'
// when it has several) and writable (y or n), separated by tabs. Datarefs whose owner has gone
// and names with blanks in them are left out. count gets the number of datarefs listed. False,
// with text and count untouched, when the simulator cannot list its datarefs.
bool LiveDatarefList(std::string& text, int& count);
