// The checker's verdict as JSON (POST /api/check, and with every save): the check on the
// simulator's thread, as a job, its suggestions and its JSON on the server's thread; and the names
// the simulator knows (GET /api/names), looked up by the engine on the simulator's thread.
#include <cstdio>
#include <cstdlib>

#include "check/simulator_names.h"
#include "check/verdict.h"
#include "studio/studio_api.h"

namespace {

std::string Hex(const std::string& bytes) {
    std::string hex;
    hex.reserve(bytes.size() * 2);
    char pair[3];
    for (unsigned char c : bytes) {
        std::snprintf(pair, sizeof pair, "%02x", c);
        hex += pair;
    }
    return hex;
}

int LineAt(const std::vector<int>& lines, size_t k) {
    return k < lines.size() ? lines[k] : 0;
}

Json BoardJson(const corvane_check::BoardVerdict& board) {
    const corvane_check::BoardView& view = board.view;
    Json inputs = Json::array();
    for (size_t k = 0; k < view.inputs.size(); ++k) {
        const auto& in = view.inputs[k];
        inputs.push_back(Json{{"index", k},
                              {"line", LineAt(board.inputLines, k)},
                              {"tag", in.tag},
                              {"kind", in.kind},
                              {"pin", in.pin},
                              {"target", in.target},
                              {"detail", in.detail}});
    }
    Json outputs = Json::array();
    for (size_t k = 0; k < view.outputs.size(); ++k) {
        const auto& out = view.outputs[k];
        outputs.push_back(
            Json{{"index", k},
                 {"line", LineAt(board.outputLines, k)},
                 {"tag", out.tag},
                 {"type", std::string(1, out.type)},
                 {"pin", out.pin},
                 {"kind", out.kind},
                 {"dataref", out.dataref},
                 {"found", out.found},
                 {"element", out.element},
                 {"precision", corvane_check::WrittenPrecision(out.precision, view.id)},
                 {"detail", out.detail}});
    }
    Json modes = Json::array();
    for (size_t k = 0; k < view.ledModes.size(); ++k)
        modes.push_back(Json{{"index", k},
                             {"line", LineAt(board.ledModeLines, k)},
                             {"tag", view.ledModes[k].tag},
                             {"reference", view.ledModes[k].reference}});
    Json pins = Json::array();
    for (const auto& pin : board.pins) {
        Json entries = Json::array();
        for (const auto& entry : pin.entries)
            entries.push_back(
                Json{{"output", entry.output}, {"index", entry.index}, {"line", entry.line}});
        pins.push_back(
            Json{{"pin", pin.pin}, {"code", pin.code}, {"use", pin.use}, {"entries", entries}});
    }
    return Json{{"id", board.id},
                {"line", board.line},
                {"used_line", board.usedLine},
                {"read", board.read},
                {"inputs", inputs},
                {"outputs", outputs},
                {"led_modes", modes},
                {"pins", pins},
                {"upload", Hex(board.upload)},
                {"blocks", Json{{"analog", Hex(view.analog)},
                                {"seven_segment", Hex(view.sevenSegment)},
                                {"stepper", Hex(view.stepper)}}}};
}

}  // namespace

PendingVerdict CheckOnSimulator(const std::string& name, const std::string& text) {
    PendingVerdict pending;
    pending.verdict = corvane_check::CheckConfigText(name, text, false);
    pending.names = corvane_check::SimulatorNamesSnapshot();
    return pending;
}

bool CheckBodyFields(const Json& body, StudioReply& refusal) {
    if (!body.contains("name") || !body["name"].is_string() || !body.contains("text") ||
        !body["text"].is_string()) {
        refusal = ErrorReply(400, "bad request", "name and text must be texts");
        return false;
    }
    if (body["text"].get_ref<const std::string&>().size() > kStudioCheckLimit) {
        refusal = ErrorReply(413, "too large");
        return false;
    }
    return true;
}

Json VerdictJson(PendingVerdict&& pending) {
    corvane_check::Verdict& verdict = pending.verdict;
    if (pending.names) corvane_check::SuggestNames(verdict, *pending.names);
    Json lines = Json::array();
    for (const auto& line : verdict.lines) {
        Json notes = Json::array();
        for (const auto& note : line.notes)
            notes.push_back(Json{{"kind", corvane_check::KindWord(note.kind)},
                                 {"text", corvane_check::NoteText(note)}});
        lines.push_back(Json{{"line", line.line}, {"text", line.text}, {"notes", notes}});
    }
    Json issues = Json::array();
    for (const auto& issue : verdict.Issues())
        issues.push_back(Json{{"line", issue.line},
                              {"severity", corvane_check::KindWord(issue.severity)},
                              {"message", issue.message},
                              {"suggestion", issue.suggestion}});
    Json boards = Json::array();
    for (const auto& board : verdict.boards) boards.push_back(BoardJson(board));
    return Json{
        {"problems", issues.size()}, {"lines", lines}, {"issues", issues}, {"boards", boards}};
}

StudioReply NamesReply(const StudioRequest& request) {
    const auto find = [&](const char* key) {
        const auto it = request.query.find(key);
        return it == request.query.end() ? std::string() : it->second;
    };
    const std::string prefix = find("prefix");
    const std::string kind = find("kind");
    const std::string limitText = find("limit");
    if (!kind.empty() && kind != "dataref" && kind != "command")
        return ErrorReply(400, "bad request", "kind is dataref or command");
    const int limit = limitText.empty() ? 50 : std::atoi(limitText.c_str());
    if (limit < 1 || limit > 200) return ErrorReply(400, "bad request", "limit is 1 to 200");
    const corvane_check::NameKind which = kind == "dataref"   ? corvane_check::NameKind::Dataref
                                          : kind == "command" ? corvane_check::NameKind::Command
                                                              : corvane_check::NameKind::Any;
    const corvane_check::NameAnswer answer =
        corvane_check::LookUpNames(prefix, which, static_cast<size_t>(limit));
    Json found = Json::array();
    for (const corvane_check::SimulatorName& n : answer.names)
        found.push_back(Json{{"name", n.name},
                             {"kind", n.command ? "command" : "dataref"},
                             {"type", n.type},
                             {"writable", n.writable}});
    return JsonReply(
        200, Json{{"names", found}, {"source", answer.source}, {"complete", answer.complete}});
}
