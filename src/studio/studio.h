// Corvane Studio: the page that the plug-in serves to the builder's browser on 127.0.0.1, and
// the interface it speaks. The server runs on a thread of its own from the start-up until the
// next reset, disable or stop; everything that needs the simulator goes to the flight loop.
#pragma once

#include <string>

extern std::string
    StudioAddress;  // "http://127.0.0.1:PORT/?token=…" while the Studio runs, else ""
extern std::string StudioToken;  // the token of this load of the plug-in (hex, 128 bits)

// Starts the server on 127.0.0.1:port for the plug-in folder, telling its address (or why it could
// not start) in the log and on the status window; port 0 starts nothing. reset runs the full reset
// of Reconnect, which the interface's apply asks for. Call on the simulator's thread.
void StartStudio(int port, const std::string& folder, void (*reset)());
// Closes every connection, stops and joins the server's thread; nothing when it does not run.
void StopStudio();
// Opens the Studio's address in the default browser (the menu item "Open Studio").
void OpenStudio();
