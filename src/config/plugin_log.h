// The plug-in's diagnostics: short texts for the standard error stream, and the same texts as
// whole lines in X-Plane's Log.txt, where a builder who starts X-Plane from its icon finds them.
#pragma once

#include <string>

// Writes text to X-Plane's log and to the standard error stream as one line per line of the text,
// each prefixed "Corvane: " and finished with a line feed (empty lines are left out).
void WriteLog(const std::string& text);

// While above 0, WriteLog writes nothing: a check of a text that is not in force reads it with the
// plug-in's readers, whose log lines are no part of the session (check/live_state_aside.h).
extern int LogSilenced;
