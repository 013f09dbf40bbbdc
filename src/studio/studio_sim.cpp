// The calls that read or change the simulator and the boards: run on the simulator's thread, as
// jobs the flight loop takes.
#include <algorithm>

#include "XPLMProcessing.h"
#include "config/aircraft_profile.h"
#include "config/board_monitor.h"
#include "config/board_tables.h"
#include "config/config_fields.h"
#include "config/missing_names.h"
#include "config/status_text.h"
#include "exchange/input_dispatch.h"
#include "exchange/learn_mode.h"
#include "exchange/output_trials.h"
#include "exchange/usb_reconnect.h"
#include "exchange/wire_protocol.h"
#include "studio/studio_api.h"
#include "transport/port_causes.h"

namespace {

constexpr size_t kTagLimit = 64;
constexpr size_t kValueLimit = 256;

Json LinkOf(int b) {
    const std::string& link = BoardLinkName[static_cast<size_t>(b)];
    if (SerialIndex[static_cast<size_t>(b)] >= 0)
        return Json{{"type", "serial"}, {"port", link.substr(link.rfind('/') + 1)}};
    return Json{{"type", "lan"}, {"address", link}};
}

// A board with no traffic counted yet has every count at zero.
Json TrafficOf(int b) {
    static const BoardMonitor kNothingYet;
    const BoardMonitor& m = static_cast<size_t>(b) < BoardMonitors.size()
                                ? BoardMonitors[static_cast<size_t>(b)]
                                : kNothingYet;
    return Json{{"messages_in", m.messagesIn},
                {"bytes_in", m.bytesIn},
                {"messages_out", m.messagesOut},
                {"bytes_out", m.bytesOut}};
}

Json BoardsJson() {
    Json boards = Json::array();
    const int count = BoardCount();
    for (int b = 0; b < count; ++b) {
        const size_t n = static_cast<size_t>(b);
        boards.push_back(Json{{"index", b},
                              {"id", OutDevice[n]},
                              {"kind", OutDevice[n] == 0 ? "panel" : "arduino"},
                              {"link", LinkOf(b)},
                              {"connected", !UsbBoardIsAway(b)},
                              {"configured", !BoardRefused[n]},
                              {"library", ""},
                              {"inputs", Datatags[n].size()},
                              {"outputs", OutDrefs[n].size()},
                              {"traffic", TrafficOf(b)}});
    }
    return boards;
}

Json AircraftJson() {
    const AircraftModel model = UserAircraftModel();
    if (model.file.empty()) return nullptr;
    return Json{{"file", model.file}, {"path", model.path}};
}

// A field of body: an integer, a text. False when missing or of another type.
bool IntField(const Json& body, const char* key, int& value) {
    if (!body.contains(key) || !body[key].is_number_integer()) return false;
    value = body[key].get<int>();
    return true;
}

bool TextField(const Json& body, const char* key, std::string& value, size_t limit) {
    if (!body.contains(key) || !body[key].is_string()) return false;
    value = body[key].get<std::string>();
    return value.size() <= limit;
}

// The message board b would send for tag and value, its type letter in this start-up's code.
std::string InputMessageOf(int b, const std::string& tag, const std::string& value) {
    std::string message(1, static_cast<char>(b + 1));
    std::string text = tag;
    const char* const end = InputOriginal + std::min<size_t>(5, CodeCurrent.size());
    const char* const letter = std::find(InputOriginal, end, text[0]);
    if (letter != end) text[0] = CodeCurrent[static_cast<size_t>(letter - InputOriginal)];
    message += text;
    if (tag[0] == 'E' && (tag.back() == '+' || tag.back() == '-')) {
        // An encoder's value is its repeat count, one raw byte.
        const int count = value.empty() ? 1 : std::clamp(std::atoi(value.c_str()), 1, 255);
        message += ' ';
        message += static_cast<char>(count);
    } else if (!value.empty()) {
        message += ' ' + value;
    }
    return message;
}

}  // namespace

StudioReply StateReply(int port) {
    Json missing = Json::array();
    for (const MissingName& name : MissingNames)
        missing.push_back(Json{{"board", name.board},
                               {"output", name.output},
                               {"index", name.index},
                               {"name", name.name},
                               {"line", name.line}});
    Json ports = Json::array();
    for (const PortProblem& problem : PortProblems)
        ports.push_back(Json{{"port", problem.path.substr(problem.path.rfind('/') + 1)},
                             {"cause", PortCauseText(problem.cause)}});
    return JsonReply(200, Json{{"version", plugin_ver},
                               {"simulator", Json{{"name", "X-Plane"}}},
                               {"aircraft", AircraftJson()},
                               {"config_file", ConfigFileInForce},
                               {"studio_port", port},
                               {"learning", Learning()},
                               {"boards", BoardsJson()},
                               {"missing_names", missing},
                               {"ports", ports}});
}

StudioReply TryInputReply(const Json& body) {
    int b{};
    std::string tag;
    std::string value;
    if (!IntField(body, "board", b) || !TextField(body, "tag", tag, kTagLimit) || tag.size() < 2)
        return ErrorReply(400, "bad request", "board (a number) and tag (a text) are needed");
    if (body.contains("value") && !TextField(body, "value", value, kValueLimit))
        return ErrorReply(400, "bad request", "value must be a short text");
    if (tag.find_first_of(" \r\n{}") != std::string::npos ||
        value.find_first_of("\r\n{}") != std::string::npos)
        return ErrorReply(400, "bad request", "tag and value hold no blanks, braces or line ends");
    if (!BoardExists(b) || b >= 127) return ErrorReply(404, "not found");
    HandleInputMessage(InputMessageOf(b, tag, value));
    return JsonReply(200, Json{{"ok", true}, {"matched", MatchedInputs}});
}

StudioReply TestOutputReply(const Json& body) {
    int b{};
    int seconds = 5;
    std::string tag;
    std::string text;
    if (!IntField(body, "board", b) || !TextField(body, "tag", tag, kTagLimit) ||
        !TextField(body, "text", text, kValueLimit))
        return ErrorReply(400, "bad request", "board, tag and text are needed");
    if (body.contains("seconds") && !IntField(body, "seconds", seconds))
        return ErrorReply(400, "bad request", "seconds must be a number");
    if (seconds < 1 || seconds > kLongestOutputTrial)
        return ErrorReply(400, "bad request", "seconds must be 1 to 30");
    if (!BoardExists(b)) return ErrorReply(404, "not found");
    const size_t n = static_cast<size_t>(b);
    for (size_t j = 0; j < OutDrefs[n].size(); ++j) {
        if (OutDrefs[n][j].empty() || ShowOutputTag(OutDrefs[n][j][0], OutDevice[n]) != tag)
            continue;
        if (!StartOutputTrial(b, static_cast<int>(j), text, seconds))
            return ErrorReply(503, "busy");
        return JsonReply(200, Json{{"ok", true}});
    }
    return ErrorReply(404, "not found");
}

StudioReply LearnReply(const Json& body) {
    if (!body.contains("on") || !body["on"].is_boolean())
        return ErrorReply(400, "bad request", "on (true or false) is needed");
    if (body["on"].get<bool>())
        StartLearning();
    else
        StopLearning();
    return JsonReply(200, Json{{"learning", Learning()}, {"seconds_left", LearningSecondsLeft()}});
}

namespace {

void (*ApplyReset)() = nullptr;  // the plug-in's full reset, run by the Apply callback

float ApplyCallback(float, float, int, void*) {
    if (ApplyReset) ApplyReset();
    return 0.0f;
}

}  // namespace

void RegisterApply(void (*reset)()) {
    ApplyReset = reset;
    XPLMRegisterFlightLoopCallback(ApplyCallback, 0.0f, nullptr);
}

void UnregisterApply() {
    XPLMUnregisterFlightLoopCallback(ApplyCallback, nullptr);
    ApplyReset = nullptr;
}

StudioReply ApplyReply() {
    // The reset runs in a callback of its own, after this flight-loop call, never inside it.
    XPLMSetFlightLoopCallbackInterval(ApplyCallback, -1.0f, 1, nullptr);
    return JsonReply(200, Json{{"ok", true}});
}
