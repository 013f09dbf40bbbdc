// The Windows build under Wine: xphost.exe loads the Windows Corvane.xpl and is driven like the
// Linux host; a pseudo-terminal of the test is mapped into Wine as a COM port.
#pragma once

#include <cstdlib>
#include <string>

#include "support/host_process.h"

namespace corvane_wine {

inline void UseTestPrefix() {
    setenv("WINEPREFIX", CORVANE_WINEPREFIX, 1);
    setenv("WINEDEBUG", "-all", 1);
    // The plug-in opens only the test's own ports, never the machine's serial ports that Wine
    // offers as COM ports too. COM43 is never mapped: it fails to open. COMA is no port's name: it
    // is never opened.
    setenv("CORVANE_COM_PORTS", "COM43,COMA,COM10", 1);
}

// Maps a COM port of the test prefix to a device (empty: removes the mapping). Wine lists the
// port and links it in dosdevices when its server starts next, so the server is stopped here.
inline void MapComPort(const std::string& port, const std::string& device) {
    UseTestPrefix();
    const std::string key = " 'HKLM\\Software\\Wine\\Ports' /v " + port;
    const std::string reg = device.empty() ? "delete" + key : "add" + key + " /d '" + device + "'";
    std::string ignored;
    corvane_test::RunCommand("('" CORVANE_WINE "' reg " + reg +
                                 " /f; '" CORVANE_WINESERVER "' -k; '" CORVANE_WINESERVER
                                 "' -w) </dev/null >/dev/null 2>&1",
                             &ignored);
}

using corvane_test::HostOptions;

// xphost.exe with the Windows Corvane.xpl, under Wine in the test prefix (set before it starts).
inline corvane_test::HostProgram WineProgram() {
    UseTestPrefix();
    return {{CORVANE_WINE, CORVANE_WIN_XPHOST}, CORVANE_WIN_XPL, "win_x64"};
}

class WineHost : public corvane_test::HostProcess {
  public:
    explicit WineHost(const HostOptions& options) : HostProcess(WineProgram(), options) {}
};

}  // namespace corvane_wine
