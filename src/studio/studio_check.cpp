// The checker's verdict as JSON (POST /api/check, and with every save), and the names the
// simulator knows (GET /api/names): both on the simulator's thread, as jobs.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "check/name_lists.h"
#include "check/name_suggestions.h"
#include "check/verdict.h"
#include "simdata/dataref_list.h"
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

// One name the simulator knows.
struct KnownName {
    std::string name;
    bool command = false;
    std::string type;  // "int", "float", "double", "int[]", "float[]", "data", "" (commands)
    bool writable = false;
};

// The names, by name, and where they came from; made at the first request of a start-up.
std::vector<KnownName> names;
std::string namesSource;

// "float/double" -> "float", "int[8]" -> "int[]", "byte[260]" -> "data".
std::string TypeWord(const std::string& text) {
    const std::string first = text.substr(0, text.find('/'));
    const size_t bracket = first.find('[');
    if (bracket == std::string::npos) return first;
    const std::string base = first.substr(0, bracket);
    return base == "int" || base == "float" ? base + "[]" : "data";
}

bool ReadText(const std::string& path, std::string& text) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    std::ostringstream content;
    content << file.rdbuf();
    text = content.str();
    return true;
}

void AddHostLines(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        std::istringstream fields(line);
        KnownName known;
        std::string first;
        fields >> first;
        if (first == "command") {
            known.command = true;
            fields >> known.name;
        } else {
            std::string access;
            known.name = first;
            fields >> known.type >> access;
            known.type = TypeWord(known.type);
            known.writable = access == "rw";
        }
        if (!known.name.empty()) names.push_back(known);
    }
}

void LoadNames(const std::string& folder) {
    names.clear();
    std::string live;
    int count = 0;
    const std::string lists = corvane_check::FindListsFromPluginFolder(folder);
    std::string text;
    if (LiveDatarefList(live, count)) {
        namesSource = "live";
        std::istringstream lines(live);
        std::string line;
        std::getline(lines, line);  // the header
        while (std::getline(lines, line)) {
            std::vector<std::string> fields;
            std::istringstream split(line);
            for (std::string field; std::getline(split, field, '\t');) fields.push_back(field);
            if (fields.size() < 3) continue;
            names.push_back(KnownName{fields[0], false, TypeWord(fields[1]), fields[2] == "y"});
        }
    } else {
        namesSource = "lists";
        if (!lists.empty() && ReadText(lists + "/DataRefs.txt", text))
            AddHostLines(corvane_check::ReadXPlaneDatarefs(text).hostLines);
    }
    // No simulator lists its commands: they come from Commands.txt.
    if (!lists.empty() && ReadText(lists + "/Commands.txt", text))
        AddHostLines(corvane_check::ReadXPlaneCommands(text).hostLines);
    std::sort(names.begin(), names.end(),
              [](const KnownName& a, const KnownName& b) { return a.name < b.name; });
    // The checker's suggestions for a misspelt name come from the same names.
    corvane_check::KnownNames.clear();
    corvane_check::KnownNames.reserve(names.size());
    for (const KnownName& known : names) corvane_check::KnownNames.push_back(known.name);
}

}  // namespace

StudioReply CheckReply(const std::string& folder, const Json& body) {
    if (!body.contains("name") || !body["name"].is_string() || !body.contains("text") ||
        !body["text"].is_string())
        return ErrorReply(400, "bad request", "name and text must be texts");
    return JsonReply(
        200, VerdictJson(folder, body["name"].get<std::string>(), body["text"].get<std::string>()));
}

Json VerdictJson(const std::string& folder, const std::string& name, const std::string& text) {
    if (namesSource.empty()) LoadNames(folder);
    const corvane_check::Verdict verdict = corvane_check::CheckConfigText(name, text);
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

StudioReply NamesReply(const std::string& folder, const StudioRequest& request) {
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
    if (namesSource.empty()) LoadNames(folder);
    Json found = Json::array();
    auto it = std::lower_bound(names.begin(), names.end(), prefix,
                               [](const KnownName& a, const std::string& p) { return a.name < p; });
    for (; it != names.end() && static_cast<int>(found.size()) < limit; ++it) {
        if (it->name.compare(0, prefix.size(), prefix) != 0) break;
        if (!kind.empty() && (kind == "command") != it->command) continue;
        found.push_back(Json{{"name", it->name},
                             {"kind", it->command ? "command" : "dataref"},
                             {"type", it->type},
                             {"writable", it->writable}});
    }
    return JsonReply(200, Json{{"names", found}, {"source", namesSource}});
}

void ForgetKnownNames() {
    names.clear();
    corvane_check::KnownNames.clear();
    namesSource.clear();
}
