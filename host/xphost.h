// xphost: a headless stand-in for the simulator. It implements every XPLM and XPWidgets call of
// xplm/ on a simulated clock, and lets tests and the xphost command-line host drive it: load
// datarefs and commands from a text file, load or attach one plug-in, run frames, run commands,
// choose menu items, press widgets and read back what the plug-in did.
//
// Everything runs on the calling thread; none of it is thread-safe (the simulator calls plug-ins
// on its main thread only).
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace xphost {

// The five entry points of a plug-in, for AttachPlugin (a plug-in linked into the test program).
struct PluginEntryPoints {
    int (*start)(char*, char*, char*);
    void (*stop)();
    int (*enable)();
    void (*disable)();
    void (*receive)(int, int, void*);
};

// ---- State ----

// Forgets every dataref, command, handler, flight loop, menu, widget, the command trace and the
// debug log; sets the clock to time 0, frame 0, 60 frames per second; detaches the plug-in
// without calling its stop (a loaded library is closed). Handles handed out before stay valid
// pointers: they read as dead (0) until a dataref or command of the same name is defined again,
// which gets the same handle back.
void Reset();

// ---- Datarefs and commands ----

// Reads a dataref and command file (format in examples/datarefs.txt); may be called more than
// once, later entries add to or replace earlier ones. Bad lines are skipped: the good lines are
// loaded all the same, the result is false and *error names the first bad line (and how many
// more there were).
bool LoadDatarefFile(const std::string& path, std::string* error);
bool LoadDatarefText(const std::string& text, std::string* error);
// The file xphost loads when no --datarefs is given: $XPHOST_DATAREFS if set, else the
// examples/datarefs.txt of the source tree this was built from.
std::string DefaultDatarefFile();

// Writes a dataref as the simulator does (read-only ones too; a plug-in's dataref only through its
// write accessor, and only when it is writable). "name" for the whole value or "name[3]" for one
// element. Arrays take comma-separated values (elements from 0 on, the others unchanged), byte
// data takes text (the rest of the buffer is zeroed). False when the name, index or value is bad.
bool SetDataref(const std::string& nameWithOptionalIndex, const std::string& valueText);
// The value as text, as the CLI prints it: integers plainly, floats and doubles in their shortest
// exact form, arrays comma-separated, byte data as text up to its first zero byte. "name[i]" for
// one element. Empty when there is no such dataref (or element).
std::string GetDataref(const std::string& name);
// The value as a number: a double dataref's double, else the float, else the int; for arrays the
// element at index (0 when index is -1; "name[i]" works too); for byte data the byte. NaN when
// there is no such dataref or element.
double GetNumber(const std::string& name, int index = -1);
bool HasDataref(const std::string& name);
bool HasCommand(const std::string& name);
// Takes a dataref or command away as its plug-in does when it goes: the name is not found any
// more; handles found before stay valid, read 0 and write nothing (a command runs nothing) until
// the name is defined again, which gives the same handle back. False when no dataref or command
// of that name is defined.
bool Unregister(const std::string& name);
// The simulator the host behaves as: 12 (the default after Reset) offers X-Plane 12's calls
// through XPLMFindSymbol (XPLMCountDataRefs, XPLMGetDataRefsByIndex, XPLMGetDataRefInfo) and
// sends XPLM_MSG_DATAREFS_ADDED, at the start of the frame after datarefs came alive, to a
// plug-in that enabled "XPLM_WANTS_DATAREF_NOTIFICATIONS"; 11 offers neither.
void SetSimulatorVersion(int major);

// Runs a command as the simulator's user would: how is "once", "begin" or "end"; the trace names
// "host" as its cause. False for an unknown command or a bad how.
bool RunCommand(const std::string& name, const std::string& how);
bool IsCommandActive(const std::string& name);  // begun and not yet ended

// One command phase that reached the dispatcher. phase: 0 begin, 1 continue, 2 end; cause:
// "plugin" (XPLMCommandBegin/End/Once) or "host" (RunCommand, the CLI).
struct CommandEvent {
    std::string name;
    int phase;
    std::string cause;
};
std::vector<CommandEvent> TakeCommandTrace();  // the events since the last call
std::string PhaseName(int phase);              // "begin", "continue", "end"

// ---- Plug-in ----

// dlopen()s an .xpl and resolves its five entry points; does not start it. False (with *error)
// when a plug-in is already there, the file does not load or an entry point is missing.
bool LoadPlugin(const std::string& xplPath, std::string* error);
// Takes a plug-in linked into this program; XPLMGetPluginInfo reports xplPath as its file. A
// plug-in already there is unloaded first.
void AttachPlugin(const PluginEntryPoints& entry, const std::string& xplPath);
// The simulator's order: start, enable ... disable, stop. Start and Enable return what the
// plug-in answered (false also when there is no plug-in, or it is not started for Enable).
bool StartPlugin();
bool EnablePlugin();
void DisablePlugin();
void StopPlugin();  // disables first when enabled
// Disable (if enabled), stop (if started), drop everything the plug-in registered (flight loops,
// datarefs, command handlers, menus, widgets), dlclose. Commands it created stay.
void UnloadPlugin();
bool PluginLoaded();
bool PluginStarted();
bool PluginEnabled();
// Sends XPLM_MSG_* (or any) message from the simulator (ID 0); only an enabled plug-in gets it.
void SendPluginMessage(int message, void* param = nullptr);
// XPLMReloadPlugins happens at the end of the current frame (the next one when asked between
// frames). ReloadPlugin does it now: disable, stop, drop registrations, dlclose and dlopen the
// same file again (an attached plug-in is kept), start, enable. False when there is no plug-in or
// it cannot be loaded or started again.
bool ReloadPlugin();
bool ReloadPending();
// Called during a reload of an attached plug-in, after it has been stopped and its registrations
// dropped and before it is started again: the place to restore the load-time state that a real
// dlopen would give its globals. Reset clears it.
void SetReloadHook(std::function<void()> hook);

// Everything XPLMDebugString received since Reset (the simulator's Log.txt). With echo on it is
// also written to stderr; echo is off unless asked for.
std::string DebugLog();
void SetDebugEcho(bool echo);

// ---- The user's aircraft ----

// Makes the .acf file at path the user's aircraft, as XPLMGetNthAircraftModel(0, ...) reports it:
// its file name, and its full path with path taken relative to the X-Plane folder (the one that
// holds the plug-in's Resources/plugins/, else the working folder) unless it is absolute. ""
// for none, as after Reset. Sends no message: the aircraft loaded when the plug-in starts.
void SetUserAircraft(const std::string& path);
// SetUserAircraft, then XPLM_MSG_PLANE_LOADED with plane index 0 to the plug-in, as the simulator
// does once it has loaded the user's aircraft.
void LoadUserAircraft(const std::string& path);
std::string UserAircraft();  // the path as given
// The most aircraft the simulator flies at once, the user's included.
constexpr int kMaxAircraft = 64;
// Makes the .acf file at path aircraft `index` (1 to kMaxAircraft - 1: one flown by the
// simulator's AI or by another player), as XPLMGetNthAircraftModel(index, ...) reports it, and
// sends XPLM_MSG_PLANE_LOADED with that index to the plug-in; the user's aircraft stays. False
// for an index out of that range.
bool LoadOtherAircraft(int index, const std::string& path);

// ---- Clock ----

void SetFrameRate(double fps);  // frames per second, > 0; default 60
double FrameRate();
// One frame: the clock advances by one frame period, the time datarefs follow, begun commands get
// their continue phase, due flight loops run, then a requested reload happens.
void RunFrame();
void RunFrames(int n);
void RunSeconds(double seconds);  // round(seconds * fps) frames
double SimulatedTime();           // seconds since Reset
long long FrameCount();           // frames since Reset (= XPLMGetCycleNumber)

// ---- Menus ----

// Chooses a menu item by path from the plug-ins menu, e.g. "Corvane/Status" (a top-level menu
// that a plug-in created without a parent is found by its name as well). Calls the menu's handler
// with (menuRef, itemRef). False when there is no such item or it opens a submenu.
bool ChooseMenu(const std::string& path);
// The item names of a submenu, in order; "" = the plug-ins menu itself. Empty when not found.
std::vector<std::string> MenuItems(const std::string& path);
// xplm_Menu_NoCheck/Unchecked/Checked of an item, -1 when there is no such item.
int MenuItemCheck(const std::string& path);

// ---- Widgets, as a person at the screen uses them ----

// Searches the visible buttons of every visible window, top to bottom, for the first whose
// descriptor contains captionPart. A push button sends xpMsg_PushButtonPressed up the chain; a
// check box toggles; a radio button is set to 1. False when no such button is visible.
bool ClickButton(const std::string& captionPart);
// Sets a visible check box (or radio button) found the same way: when state differs, the
// xpProperty_ButtonState is set, then xpMsg_ButtonStateChanged goes up the chain.
bool SetCheckBox(const std::string& captionPart, int state);
int CheckBoxState(const std::string& captionPart);  // -1 when no such button is visible
// Sends xpMessage_CloseButtonPushed to the first visible main window that has close boxes.
bool PressCloseBox();
// Every visible root widget as text: its descriptor (the title), then the descriptor of each of
// its visible descendants, one per line, top to bottom (then left to right). Every line ends with
// '\n'; windows are separated by an empty line; "" when no window is visible.
std::string WindowText();
// One line per visible widget of the visible windows: class, descriptor, geometry, button state.
std::string WidgetListText();
int RootWidgetCount();  // root widgets that exist, visible or not

// ---- The xphost control language ----

// Runs one control line (set, get, run, frames, command, message, menu, click, check, window,
// trace, reload, quit, and more: "help" lists them) and returns its answer, without a trailing
// newline. Blank lines and # comments answer "". Errors answer "error: ...".
std::string ExecuteLine(const std::string& line);
bool QuitRequested();  // a "quit" line was run since Reset
// Called before each frame that a "run" or "frames" line runs; returning false ends that run early.
// The xphost CLI paces real time and watches for signals with it. Reset clears it.
void SetControlFrameHook(std::function<bool()> hook);

}  // namespace xphost
