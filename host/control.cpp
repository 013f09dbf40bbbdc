// The xphost control language: one line in, one answer out.
#include <cmath>
#include <cstdio>
#include <sstream>

#include "XPLMDataAccess.h"
#include "host_state.h"

namespace xphost {

namespace {

const char* const kHelp = R"(control lines (answers go to standard output):
  set NAME VALUE         write a dataref: NAME[i] for one element, an array as 1,2,3,
                         byte data as text; answers NAME = VALUE read back
  get NAME               read a dataref (NAME[i] for one element): NAME = VALUE
  run SECONDS            advance simulated time
  frames N               run N frames
  fps N                  set the frame rate
  time                   simulated time and frame count
  command NAME once|begin|end
                         run a command as the simulator's user
  message N              send message N to the plug-in
  register NAME TYPE ACCESS [VALUE]
                         define a dataref as an aircraft's plug-in does, in the syntax of
                         a line of the dataref file (TYPE int, float[8], ...; ACCESS rw|ro)
  register command NAME  create a command the same way
  unregister NAME        take a dataref or command away: handles found before read 0 and
                         write nothing until NAME is registered again
  simulator 11|12        behave as X-Plane 11 (no dataref list calls, no notification of
                         new datarefs) or as X-Plane 12 (the default)
  aircraft [PATH]        load the user's aircraft, the .acf file at PATH (relative to the
                         X-Plane folder), and send XPLM_MSG_PLANE_LOADED with index 0; without
                         PATH: the aircraft loaded now
  plane N PATH           aircraft N (1 to 63: one flown by the simulator's AI or by another
                         player) loads the .acf file at PATH, and XPLM_MSG_PLANE_LOADED goes
                         out with index N; the user's aircraft stays
  menu PATH              choose a menu item, e.g. Corvane/Status
  items [PATH]           the items of a menu (none: the plug-ins menu)
  click CAPTION          press the visible button whose caption contains CAPTION
  check 0|1 CAPTION      set the visible check box whose caption contains CAPTION
  close                  press the close box of the first visible window
  window                 the visible windows: the title, then one caption per line
  widgets                the visible widgets with class, geometry and state
  trace                  the command events since the last trace: NAME PHASE CAUSE
  log                    the plug-in's debug output since the last log
  reload                 reload the plug-in now
  quit                   disable, stop and unload the plug-in and exit
  # ...                  a comment; blank lines and comments get no answer)";

// The next word of a line and the rest after it.
std::string Word(std::string* rest) {
    std::string text = detail::Trim(*rest);
    std::size_t end = text.find_first_of(" \t");
    std::string word = text.substr(0, end);
    *rest = end == std::string::npos ? std::string() : detail::Trim(text.substr(end));
    return word;
}

std::string Clock() {
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "time %.3f s, frame %lld", SimulatedTime(), FrameCount());
    return buffer;
}

// Runs frames for a control line, asking the frame hook before each one.
void ControlFrames(long long frames) {
    for (long long k = 0; k < frames; ++k) {
        auto& hook = detail::S().controlFrameHook;
        if (hook && !hook()) break;
        RunFrame();
    }
}

std::string Joined(const std::string& text) {
    std::string joined = text;
    while (!joined.empty() && joined.back() == '\n') joined.pop_back();
    return joined;
}

std::string Set(std::string rest) {
    std::string name = Word(&rest);
    if (name.empty() || rest.empty()) return "error: set NAME VALUE";
    std::string error;
    if (!detail::WriteText(name, rest, &error)) return "error: " + error;
    std::string value;
    if (!detail::ReadText(name, &value, &error)) return "error: " + error;
    return detail::Trim(name) + " = " + value;
}

std::string Get(std::string rest) {
    std::string name = Word(&rest);
    if (name.empty()) return "error: get NAME";
    std::string value, error;
    if (!detail::ReadText(name, &value, &error)) return "error: " + error;
    return name + " = " + value;
}

std::string Run(const std::string& rest, bool seconds) {
    double amount = 0.0;
    if (!detail::ParseNumber(rest, &amount) || amount < 0) {
        return seconds ? "error: run SECONDS" : "error: frames N";
    }
    double frames = seconds ? std::round(amount * FrameRate()) : std::floor(amount);
    ControlFrames(frames > 1e12 ? 1000000000000LL : static_cast<long long>(frames));
    return "ok: " + Clock();
}

std::string Command(std::string rest) {
    std::string name = Word(&rest);
    std::string how = Word(&rest);
    if (how != "once" && how != "begin" && how != "end") {
        return "error: command NAME once|begin|end";
    }
    if (!RunCommand(name, how)) return "error: unknown command " + name;
    return "ok";
}

std::string Message(const std::string& rest) {
    double number = 0.0;
    if (!detail::ParseNumber(rest, &number) || number != std::floor(number)) {
        return "error: message N";
    }
    if (!PluginEnabled()) return "error: no enabled plug-in";
    SendPluginMessage(static_cast<int>(number));
    return "ok";
}

std::string Plane(std::string rest) {
    const std::string index = Word(&rest);
    double number = 0.0;
    if (!detail::ParseNumber(index, &number) || number != std::floor(number) || number < 1 ||
        number >= kMaxAircraft || rest.empty())
        return "error: plane N PATH (N from 1 to " + std::to_string(kMaxAircraft - 1) + ")";
    if (!PluginEnabled()) return "error: no enabled plug-in";
    LoadOtherAircraft(static_cast<int>(number), rest);
    return "ok";
}

std::string Register(const std::string& rest) {
    if (rest.empty()) return "error: register NAME TYPE ACCESS [VALUE] or register command NAME";
    std::string error;
    if (!LoadDatarefText(rest, &error)) return "error: " + error;
    return "ok";
}

std::string Simulator(const std::string& rest) {
    if (rest != "11" && rest != "12") return "error: simulator 11|12";
    SetSimulatorVersion(rest == "11" ? 11 : 12);
    return "ok: X-Plane " + rest;
}

std::string Items(const std::string& path) {
    std::vector<std::string> items = MenuItems(path);
    if (items.empty()) return "error: no menu " + path;
    std::string text;
    for (const auto& item : items) {
        std::string itemPath = path.empty() ? item : path + "/" + item;
        int check = MenuItemCheck(itemPath);
        if (!text.empty()) text += '\n';
        text += item;
        if (check == xplm_Menu_Checked) text += " [x]";
        if (check == xplm_Menu_Unchecked) text += " [ ]";
    }
    return text;
}

std::string Check(std::string rest) {
    std::string state = Word(&rest);
    if ((state != "0" && state != "1") || rest.empty()) return "error: check 0|1 CAPTION";
    if (!SetCheckBox(rest, state == "1" ? 1 : 0)) return "error: no check box " + rest;
    return "ok";
}

std::string Trace() {
    std::string text;
    for (const auto& event : TakeCommandTrace()) {
        if (!text.empty()) text += '\n';
        text += event.name + " " + PhaseName(event.phase) + " " + event.cause;
    }
    return text.empty() ? "(no command events)" : text;
}

std::string Log() {
    auto& s = detail::S();
    if (s.logCursor > s.log.size()) s.logCursor = s.log.size();
    std::string text = s.log.substr(s.logCursor);
    s.logCursor = s.log.size();
    text = Joined(text);
    return text.empty() ? "(no log output)" : text;
}

}  // namespace

std::string ExecuteLine(const std::string& line) {
    std::string rest = detail::Trim(line);
    if (rest.empty() || rest[0] == '#') return "";
    std::string word = Word(&rest);
    if (word == "set") return Set(rest);
    if (word == "get") return Get(rest);
    if (word == "run") return Run(rest, true);
    if (word == "frames") return Run(rest, false);
    if (word == "fps") {
        double fps = 0.0;
        if (!detail::ParseNumber(rest, &fps) || !(fps > 0)) return "error: fps N";
        SetFrameRate(fps);
        return "ok: " + detail::FormatDouble(fps) + " fps";
    }
    if (word == "time") return Clock();
    if (word == "command") return Command(rest);
    if (word == "message") return Message(rest);
    if (word == "register") return Register(rest);
    if (word == "unregister")
        return Unregister(rest) ? "ok" : "error: no dataref or command " + rest;
    if (word == "simulator") return Simulator(rest);
    if (word == "aircraft") {
        if (!rest.empty()) LoadUserAircraft(rest);
        return UserAircraft().empty() ? "(no aircraft)" : "aircraft " + UserAircraft();
    }
    if (word == "plane") return Plane(rest);
    if (word == "menu") {
        if (!ChooseMenu(rest)) return "error: no menu item " + rest;
        return ReloadPending() ? "ok (reload at the end of the next frame)" : "ok";
    }
    if (word == "items") return Items(rest);
    if (word == "click") {
        if (rest.empty()) return "error: click CAPTION";
        return ClickButton(rest) ? "ok" : "error: no button " + rest;
    }
    if (word == "check") return Check(rest);
    if (word == "close") return PressCloseBox() ? "ok" : "error: no window with a close box";
    if (word == "window") {
        std::string text = Joined(WindowText());
        return text.empty() ? "(no visible window)" : text;
    }
    if (word == "widgets") {
        std::string text = Joined(WidgetListText());
        return text.empty() ? "(no visible window)" : text;
    }
    if (word == "trace") return Trace();
    if (word == "log") return Log();
    if (word == "reload") {
        if (!PluginLoaded()) return "error: no plug-in";
        return ReloadPlugin() ? "ok: reloaded" : "error: the plug-in did not start again";
    }
    if (word == "quit") {
        detail::S().quit = true;
        return "bye";
    }
    if (word == "help") return kHelp;
    return "error: unknown control line '" + detail::Trim(line) + "' (try help)";
}

}  // namespace xphost
