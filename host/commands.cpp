// Commands: the simulator's own and those plug-ins create, their handlers, their phases and the
// trace of every phase dispatched.
#include "XPLMUtilities.h"
#include "host_state.h"

namespace xphost {
namespace detail {

namespace {

// The trace keeps at most this many events; the oldest go first.
constexpr std::size_t kMaxTrace = 100000;

Command* CommandOf(XPLMCommandRef handle, std::size_t* index = nullptr) {
    std::uint64_t serial = 0;
    if (!HandleSerial(handle, Kind::Command, &serial)) return nullptr;
    auto& s = S();
    if (serial >= s.commands.size() || !s.commands[serial].alive) return nullptr;
    if (index != nullptr) *index = static_cast<std::size_t>(serial);
    return &s.commands[serial];
}

bool StillRegistered(std::size_t index, const CommandHandler& handler) {
    for (const auto& current : S().commands[index].handlers) {
        if (current.callback == handler.callback && current.before == handler.before &&
            current.refcon == handler.refcon) {
            return true;
        }
    }
    return false;
}

// Runs one phase through the handlers: those before the simulator in registration order, then
// those after; a handler that returns 0 ends the chain. Handlers may (un)register handlers or run
// other commands while this runs.
void Dispatch(std::size_t index, int phase, const std::string& cause) {
    auto& s = S();
    s.trace.push_back(CommandEvent{s.commands[index].name, phase, cause});
    if (s.trace.size() > kMaxTrace) s.trace.pop_front();
    std::vector<CommandHandler> handlers = s.commands[index].handlers;
    XPLMCommandRef handle = MakeHandle(Kind::Command, index);
    for (bool before : {true, false}) {
        for (const auto& handler : handlers) {
            if (handler.before != before) continue;
            if (!s.commands[index].alive || !StillRegistered(index, handler)) continue;
            if (handler.callback(handle, phase, handler.refcon) == 0) return;
        }
        // Between the two groups the simulator would act on its own command; headless, the
        // trace is its whole action.
    }
}

void Begin(std::size_t index, const std::string& cause) {
    auto& s = S();
    Command& command = s.commands[index];
    if (!command.active) {
        command.active = true;
        s.activeCommands.push_back(index);
    }
    command.activeCause = cause;
    Dispatch(index, xplm_CommandBegin, cause);
}

void Deactivate(std::size_t index) {
    auto& s = S();
    s.commands[index].active = false;
    for (auto it = s.activeCommands.begin(); it != s.activeCommands.end(); ++it) {
        if (*it == index) {
            s.activeCommands.erase(it);
            break;
        }
    }
}

void End(std::size_t index, const std::string& cause) {
    Deactivate(index);
    Dispatch(index, xplm_CommandEnd, cause);
}

void Once(std::size_t index, const std::string& cause) {
    Dispatch(index, xplm_CommandBegin, cause);
    Dispatch(index, xplm_CommandEnd, cause);
}

bool FindByName(const std::string& name, std::size_t* index) {
    return CommandOf(XPLMFindCommand(name.c_str()), index) != nullptr;
}

}  // namespace

void ResetCommands() {
    auto& s = S();
    for (auto& command : s.commands) {
        std::string name = std::move(command.name);
        command = Command();
        command.name = std::move(name);
    }
    s.activeCommands.clear();
    s.trace.clear();
}

void DispatchContinues() {
    auto& s = S();
    std::vector<std::size_t> active = s.activeCommands;
    for (std::size_t index : active) {
        Command& command = s.commands[index];
        if (command.alive && command.active) {
            std::string cause = command.activeCause;
            Dispatch(index, xplm_CommandContinue, cause);
        }
    }
}

void DropPluginCommandHandlers() {
    auto& s = S();
    for (auto& command : s.commands) command.handlers.clear();
    std::vector<std::size_t> active = s.activeCommands;
    for (std::size_t index : active) {
        if (s.commands[index].activeCause == "plugin") Deactivate(index);
    }
}

}  // namespace detail

bool RunCommand(const std::string& name, const std::string& how) {
    std::size_t index = 0;
    if (!detail::FindByName(name, &index)) return false;
    if (how == "once") {
        detail::Once(index, "host");
    } else if (how == "begin") {
        detail::Begin(index, "host");
    } else if (how == "end") {
        detail::End(index, "host");
    } else {
        return false;
    }
    return true;
}

bool HasCommand(const std::string& name) {
    return XPLMFindCommand(name.c_str()) != nullptr;
}

bool IsCommandActive(const std::string& name) {
    std::size_t index = 0;
    return detail::FindByName(name, &index) && detail::S().commands[index].active;
}

std::vector<CommandEvent> TakeCommandTrace() {
    auto& trace = detail::S().trace;
    std::vector<CommandEvent> events(trace.begin(), trace.end());
    trace.clear();
    return events;
}

std::string PhaseName(int phase) {
    switch (phase) {
        case xplm_CommandBegin:
            return "begin";
        case xplm_CommandContinue:
            return "continue";
        case xplm_CommandEnd:
            return "end";
        default:
            return "phase " + std::to_string(phase);
    }
}

}  // namespace xphost

using xphost::detail::S;

XPLMCommandRef XPLMFindCommand(const char* inName) {
    if (inName == nullptr) return nullptr;
    auto& s = S();
    auto found = s.commandIndex.find(inName);
    if (found == s.commandIndex.end() || !s.commands[found->second].alive) return nullptr;
    return xphost::detail::MakeHandle(xphost::detail::Kind::Command, found->second);
}

XPLMCommandRef XPLMCreateCommand(const char* inName, const char* inDescription) {
    if (inName == nullptr || *inName == '\0') return nullptr;
    if (XPLMCommandRef existing = XPLMFindCommand(inName)) return existing;
    auto& s = S();
    std::size_t index = 0;
    auto found = s.commandIndex.find(inName);
    if (found != s.commandIndex.end()) {
        index = found->second;
    } else {
        s.commands.emplace_back();
        s.commands.back().name = inName;
        index = s.commands.size() - 1;
        s.commandIndex.emplace(inName, index);
    }
    auto& command = s.commands[index];
    command.alive = true;
    command.description = inDescription != nullptr ? inDescription : "";
    return xphost::detail::MakeHandle(xphost::detail::Kind::Command, index);
}

void XPLMCommandBegin(XPLMCommandRef inCommand) {
    std::size_t index = 0;
    if (xphost::detail::CommandOf(inCommand, &index)) xphost::detail::Begin(index, "plugin");
}

void XPLMCommandEnd(XPLMCommandRef inCommand) {
    std::size_t index = 0;
    if (xphost::detail::CommandOf(inCommand, &index)) xphost::detail::End(index, "plugin");
}

void XPLMCommandOnce(XPLMCommandRef inCommand) {
    std::size_t index = 0;
    if (xphost::detail::CommandOf(inCommand, &index)) xphost::detail::Once(index, "plugin");
}

void XPLMRegisterCommandHandler(XPLMCommandRef inComand, XPLMCommandCallback_f inHandler,
                                int inBefore, void* inRefcon) {
    auto* command = xphost::detail::CommandOf(inComand);
    if (command == nullptr || inHandler == nullptr) return;
    command->handlers.push_back(xphost::detail::CommandHandler{inHandler, inBefore != 0, inRefcon});
}

void XPLMUnregisterCommandHandler(XPLMCommandRef inComand, XPLMCommandCallback_f inHandler,
                                  int inBefore, void* inRefcon) {
    auto* command = xphost::detail::CommandOf(inComand);
    if (command == nullptr) return;
    auto& handlers = command->handlers;
    for (auto it = handlers.begin(); it != handlers.end(); ++it) {
        if (it->callback == inHandler && it->before == (inBefore != 0) && it->refcon == inRefcon) {
            handlers.erase(it);
            return;
        }
    }
}
