// The five entry points through which the simulator drives the plug-in.
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "XPLMDataAccess.h"
#include "XPLMDefs.h"
#include "XPLMPlugin.h"
#include "XPLMProcessing.h"
#include "check/simulator_names.h"
#include "config/settings.h"
#include "exchange/name_healing.h"
#include "exchange/output_gate.h"
#include "plugin/lifecycle.h"
#include "plugin/monitor_window.h"
#include "plugin/status_window.h"
#include "simdata/custom_refs.h"
#include "simdata/sim_time.h"
#include "transport/serial_ports.h"

namespace {

constexpr char kDatarefNotifications[] = "XPLM_WANTS_DATAREF_NOTIFICATIONS";

constexpr size_t kTextSize = 256;  // the simulator's name, signature and description buffers

void CopyText(char* out, const char* text) {
    std::snprintf(out, kTextSize, "%s", text);
}

}  // namespace

PLUGIN_API int XPluginStart(char* outName, char* outSig, char* outDesc) {
    CopyText(outName, "Corvane");
    CopyText(outSig, "Tamsworth.Corvane");
    CopyText(outDesc,
             "A plugin for reading and writing configured sets of X-Plane DataRefs and commands, "
             "connecting to client programs over LAN or USB. A new branch of the earlier Pellam "
             "plugin.");
    if (FirstLaunch == 1) {
        CreatePluginMenu();
        plugin_id = XPLMGetMyID();
    }
    FindTimeDatarefs();
    InitiateCustom();
    corvane_check::ForgetSimulatorNames();  // the names of an earlier start may be gone
    // X-Plane 12 tells when datarefs were added, so that names not found yet are looked up then.
    if (XPLMHasFeature(kDatarefNotifications)) XPLMEnableFeature(kDatarefNotifications, 1);
    if (FirstLaunch == 1) XPLMRegisterFlightLoopCallback(FlightLoopInit, -1.0f, nullptr);
    return 1;
}

PLUGIN_API int XPluginEnable(void) {
    if (FirstLaunch == 0) ResetPlugin();
    return 1;
}

PLUGIN_API void XPluginDisable(void) {
    CloseTransports();
}

PLUGIN_API void XPluginStop(void) {
    UnregisterCustomDrefs();
    corvane_check::ForgetSimulatorNames();
    DestroyStatusWindow();
    DestroyMonitorWindow();
    CloseTransports();
    FinishPortCloses();  // before the library, and the thread closing ports, is unloaded
}

PLUGIN_API void XPluginReceiveMessage(XPLMPluginID, int inMessage, void* inParam) {
    // The user's aircraft (plane index 0, passed as the pointer's value) has loaded: a change of
    // configuration file comes first, as a full reset that looks everything up anew.
    const bool userAircraft = reinterpret_cast<intptr_t>(inParam) == 0;
    if (inMessage == XPLM_MSG_PLANE_LOADED && userAircraft && SwitchConfigurationForAircraft())
        return;
    // Else an aircraft's plug-in may have added datarefs and commands that are not found yet.
    if (inMessage == XPLM_MSG_PLANE_LOADED || inMessage == XPLM_MSG_DATAREFS_ADDED) {
        LookUpMissingNamesSoon();
        return;
    }
    if (!RESET_EVENTS) return;
    const float flightTime = XPLMGetDataf(FlightTimeDref);
    if (!(flightTime < 5.0f)) return;
    if (inMessage == XPLM_MSG_AIRPORT_LOADED || inMessage == XPLM_MSG_SCENERY_LOADED) PingInputs(1);
}
