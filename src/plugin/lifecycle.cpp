#include "plugin/lifecycle.h"

#include <unistd.h>

#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>

#include "XPLMPlugin.h"
#include "XPLMProcessing.h"
#include "XPStandardWidgets.h"
#include "XPWidgets.h"
#include "config/aircraft_profile.h"
#include "config/board_monitor.h"
#include "config/board_tables.h"
#include "config/config_file.h"
#include "config/live_events.h"
#include "config/plugin_folder.h"
#include "config/plugin_log.h"
#include "config/scratch_state.h"
#include "config/settings.h"
#include "config/status_text.h"
#include "exchange/flight_loop.h"
#include "exchange/held_inputs.h"
#include "exchange/identification.h"
#include "exchange/output_gate.h"
#include "exchange/output_trials.h"
#include "exchange/usb_reconnect.h"
#include "exchange/wire_protocol.h"
#include "plugin/status_window.h"
#include "simdata/dataref_memory.h"
#include "studio/studio.h"
#include "transport/lan_socket.h"
#include "transport/serial_ports.h"

int FirstLaunch = 1;
XPLMPluginID plugin_id = 0;
char cwd[2048] = {};

namespace {

// Opens foldername/config.ini and reads it; false when there is no such file.
bool ReadSettingsFile() {
    filepath = foldername + "/config.ini";
    std::ifstream file(filepath, std::ios::binary);
    if (!file) return false;
    ReadSettings(file);
    return true;
}

// The plug-in's own folder first, then the usual folder under the working directory. When
// neither holds a settings file, the plug-in's own folder stays in use if it exists, so that its
// data.cfg is read and the USB check box creates config.ini where the plug-in is.
void FindFolderAndSettings() {
    XPLMGetPluginInfo(plugin_id, nullptr, cwd, nullptr, nullptr);
    cwd[sizeof cwd - 1] = '\0';
    const std::string own = PluginFolderFromPath(cwd);
    foldername = own;
    if (ReadSettingsFile()) return;
    if (getcwd(cwd, sizeof cwd) == nullptr) cwd[0] = '\0';
    foldername = std::string(cwd) + "/Resources/plugins/" + "Corvane";
    if (ReadSettingsFile()) return;
    std::error_code error;
    if (!own.empty() && std::filesystem::is_directory(own, error)) foldername = own;
}

// Tells every known board to identify itself again.
void ProbeKnownBoards() {
    for (int b = 0; b < static_cast<int>(SerialIndex.size()); ++b) {
        const int p = SerialIndex[b];
        if (p >= 0) {
            if (SendToPort(static_cast<unsigned int>(p), InitialMessage, 2))
                DiscardPortInput(static_cast<unsigned int>(p));
        } else if (sock > 0) {
            Send_LAN(InitialMessage, 2, UdpIP[b]);
        }
    }
}

}  // namespace

void ClearPluginState() {
    ReleaseAllHeldInputs();
    ClearConfigReaderState();
    USB_FIX = false;
    UsedUSB.clear();
    try {
        ClearUSB();
    } catch (...) {
    }
    ClearUsbReconnectState();
    try {
        CloseLanSocket();
    } catch (...) {
    }
    sock = 0;
    ClearLanState();
    foldername.clear();
    filepath.clear();
    std::memset(cwd, 0, sizeof cwd);
    ClearBoardTables();
    OutputTrials.clear();
    PingTimeout = 0;
    ResetSettings();
    ResetFlightLoopState();
    ResetStream();
    line.clear();
    st.clear();
    tag.clear();
    splitpair.clear();
    CloseSerialDescriptors();
    ClearSerialState();
    message_line_number = 2;
    wrong_versions.clear();
    ForgetMemoryFiles();
    ClearBoardMonitors();
}

float FlightLoopInit(float, float, int, void*) {
    InitializePlugin();
    FirstLaunch = 0;
    XPLMRegisterFlightLoopCallback(MyFlightLoopCallback, 1.0f, nullptr);
    return 0.0f;
}

void InitializePlugin() {
    InitStatusLines();
    FindFolderAndSettings();
    if (ToggleUSB) XPSetWidgetProperty(ToggleUSB, xpProperty_ButtonState, USBcountVar > 0 ? 1 : 0);
    SetUpLan();
    SetStatusLine(0, StatusLine(0) + My_IP_str);
    if (USBcountVar > 0) ScanSerialDevices();
    send_usb_request = true;
    WriteLog("\nCorvane Plugin initialized");
    DrawCodeLetters();
    LoadConfig();
    StartStudio(STUDIO_PORT, foldername, ResetPlugin);
}

void ResetPlugin() {
    StopStudio();
    try {
        ProbeKnownBoards();
        WriteLog("\n\nCorvane reconnecting...");
        ClearPluginState();
    } catch (const std::exception& error) {
        WriteLog(error.what());
    }
    try {
        InitializePlugin();
    } catch (const std::exception& error) {
        WriteLog(error.what());
    }
}

bool SwitchConfigurationForAircraft() {
    if (FirstLaunch == 1) return false;
    const std::string aircraft = UserAircraftName();
    const std::string file = ConfigFileFor(foldername, aircraft);
    if (file == ConfigFileInForce) {
        // The live feed hears of it; a change of file resets, which the page hears as the feed's
        // end, and then reads the state anew.
        if (LiveFeedOn.load(std::memory_order_relaxed)) {
            const AircraftModel model = UserAircraftModel();
            PublishAircraftEvent(model.file, model.path, ConfigFileInForce);
        }
        return false;
    }
    WriteLog("\naircraft " + aircraft + " loaded: " + file + " replaces " + ConfigFileInForce);
    ResetPlugin();
    return true;
}

void CloseTransports() {
    StopStudio();
    ReleaseAllHeldInputs();
    try {
        CloseLanSocket();
    } catch (...) {
    }
    try {
        CloseSerialDescriptors();
    } catch (...) {
    }
    StopWatchingUsbBoards();
}
