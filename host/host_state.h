// The simulator state behind the XPLM calls, shared by the host's source files.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "XPLMDataAccess.h"
#include "XPLMMenus.h"
#include "XPLMProcessing.h"
#include "XPLMUtilities.h"
#include "XPWidgetDefs.h"
#include "xphost.h"

namespace xphost::detail {

// Handles are small tagged numbers, never pointers: a handle from before a Reset can always be
// checked, so a stale one reads as dead instead of touching freed memory.
enum class Kind : std::uintptr_t { DataRef = 1, Command = 2, Menu = 3, Widget = 4 };
constexpr int kKindShift = 28;
constexpr std::uintptr_t kIndexMask = (std::uintptr_t(1) << kKindShift) - 1;

inline void* MakeHandle(Kind kind, std::uint64_t serial) {
    return reinterpret_cast<void*>((static_cast<std::uintptr_t>(kind) << kKindShift) |
                                   static_cast<std::uintptr_t>(serial + 1));
}
// The serial of a handle of that kind, or false.
inline bool HandleSerial(const void* handle, Kind kind, std::uint64_t* serial) {
    auto bits = reinterpret_cast<std::uintptr_t>(handle);
    if ((bits >> kKindShift) != static_cast<std::uintptr_t>(kind) || (bits & kIndexMask) == 0) {
        return false;
    }
    *serial = (bits & kIndexMask) - 1;
    return true;
}

// One dataref. Records are never removed: a name keeps its record (and its handle) for the whole
// process, dead while it is not defined.
struct DataRef {
    std::string name;
    bool alive = false;
    bool accessor = false;  // published by a plug-in: values come from its callbacks
    int types = 0;
    bool writable = false;
    // Values of a simulator dataref: one scalar for every scalar type bit, one array for the int
    // and float array bits, the bytes of byte data.
    double scalar = 0.0;
    std::vector<double> array;
    std::vector<unsigned char> bytes;
    // Callbacks of a plug-in's dataref.
    XPLMGetDatai_f geti = nullptr;
    XPLMSetDatai_f seti = nullptr;
    XPLMGetDataf_f getf = nullptr;
    XPLMSetDataf_f setf = nullptr;
    XPLMGetDatad_f getd = nullptr;
    XPLMSetDatad_f setd = nullptr;
    XPLMGetDatavi_f getvi = nullptr;
    XPLMSetDatavi_f setvi = nullptr;
    XPLMGetDatavf_f getvf = nullptr;
    XPLMSetDatavf_f setvf = nullptr;
    XPLMGetDatab_f getb = nullptr;
    XPLMSetDatab_f setb = nullptr;
    void* readRefcon = nullptr;
    void* writeRefcon = nullptr;
};

struct CommandHandler {
    XPLMCommandCallback_f callback;
    bool before;
    void* refcon;
};

// One command; like datarefs, a name keeps its record for the whole process.
struct Command {
    std::string name;
    std::string description;
    bool alive = false;
    std::vector<CommandHandler> handlers;  // in registration order
    bool active = false;                   // begun, not yet ended
    std::string activeCause;
};

struct FlightLoop {
    XPLMFlightLoop_f callback = nullptr;
    void* refcon = nullptr;
    bool alive = true;
    bool scheduled = false;
    bool byFrames = false;
    double dueTime = 0.0;
    long long dueCycle = 0;
    double lastCallTime = 0.0;
    long long lastCallCycle = 0;
};

struct MenuItem {
    std::string name;
    void* itemRef = nullptr;
    int check = xplm_Menu_NoCheck;
    std::uint64_t submenu = 0;  // serial of the menu it opens, 0 for none
};

struct Menu {
    std::string name;
    std::uint64_t parent = 0;
    XPLMMenuHandler_f handler = nullptr;
    void* menuRef = nullptr;
    std::vector<MenuItem> items;
};

struct Widget {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool visible = false;
    std::string descriptor;
    bool isRoot = false;
    std::uint64_t parent = 0;
    int widgetClass = 0;
    std::map<int, std::intptr_t> properties;
    std::vector<XPWidgetFunc_t> callbacks;  // newest first
    std::vector<std::uint64_t> children;    // in creation order
};

struct Plugin {
    bool present = false;
    bool inProcess = false;
    void* library = nullptr;
    PluginEntryPoints entry{};
    std::string path;
    std::string name, signature, description;
    bool started = false;
    bool enabled = false;
};

// The plug-ins menu has the same serial always; every other menu and widget gets a new one.
constexpr std::uint64_t kPluginsMenuSerial = 1;

struct State {
    // Datarefs and commands, by name for ever (deques keep references stable while growing).
    std::deque<DataRef> datarefs;
    std::unordered_map<std::string, std::size_t> datarefIndex;
    std::deque<Command> commands;
    std::unordered_map<std::string, std::size_t> commandIndex;
    std::vector<std::size_t> activeCommands;  // begun ones, in the order they were begun
    std::deque<CommandEvent> trace;
    bool hostWrite = false;  // the host itself writes: read-only simulator datarefs take it

    // Clock.
    double fps = 60.0;
    long long cycle = 0;
    long long baseCycle = 0;  // time = baseTime + (cycle - baseCycle) / fps
    double baseTime = 0.0;
    bool inFrame = false;
    std::vector<FlightLoop> loops;

    // Menus and widgets.
    std::uint64_t nextSerial = kPluginsMenuSerial + 1;
    std::map<std::uint64_t, Menu> menus;
    std::map<std::uint64_t, Widget> widgets;

    // The plug-in, the user's aircraft (its .acf path as given, "" for none) and the other
    // aircraft loaded, by their index (1 or more).
    Plugin plugin;
    std::string aircraft;
    std::map<int, std::string> otherAircraft;
    bool reloadPending = false;
    std::function<void()> reloadHook;

    // X-Plane 12's run-time names: the dataref list and the notification of new datarefs.
    int simulatorVersion = 12;          // 11: neither the XPLM 4 calls nor the notification
    bool datarefNotifications = false;  // the plug-in asked for XPLM_MSG_DATAREFS_ADDED
    bool datarefsAdded = false;         // a dataref came alive since the last notification

    // Log, control language.
    std::string log;
    std::size_t logCursor = 0;
    bool echo = false;
    bool quit = false;
    std::function<bool()> controlFrameHook;
};

State& S();

double Now();
double Period();

// Dataref internals.
DataRef* RefOf(XPLMDataRef handle);
XPLMDataRef HandleOfDataRef(std::size_t index);
std::size_t DataRefSlot(const std::string& name);  // the record of a name, made when missing
void ClearDataRef(DataRef& ref);
void ResetDatarefs();
void EnsureTimeDatarefs();
void UpdateTimeDatarefs(double frameSeconds);
void DropPluginDatarefs();
bool ReadText(const std::string& nameWithIndex, std::string* out, std::string* error);
bool WriteText(const std::string& nameWithIndex, const std::string& valueText, std::string* error);

// X-Plane 12's run-time names.
void ResetRunTimeNames();
// Sends XPLM_MSG_DATAREFS_ADDED when datarefs came alive and the plug-in asked for it.
void NotifyDatarefsAdded();

// Command internals.
void ResetCommands();
void DispatchContinues();
void DropPluginCommandHandlers();

// Flight loops.
void ResetFlightLoops();
void DropPluginFlightLoops();

// Menus and widgets.
void ResetMenus();
void ResetWidgets();

// Plug-in.
void DetachPlugin();

// Text helpers.
std::string Trim(const std::string& text);
std::string FormatFloat(float value);
std::string FormatDouble(double value);
bool ParseNumber(const std::string& text, double* value);

}  // namespace xphost::detail
