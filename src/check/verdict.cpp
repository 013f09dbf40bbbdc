#include "check/verdict.h"

#include <map>

#include "check/name_suggestions.h"
#include "exchange/wire_protocol.h"

namespace corvane_check {

namespace {

constexpr size_t kCodeLetters = 5;  // code letters of the configuration upload

VerdictNote NoteOf(const Finding& f) {
    return VerdictNote{f.kind, f.reason, f.unknownName, f.suggestions};
}

// The pin an input's pin text names ("pin 5", "encoder pin 3"), or -1.
int PinOfInput(const std::string& pin) {
    const size_t at = pin.rfind("pin ");
    if (at == std::string::npos || at + 4 >= pin.size()) return -1;
    int number = 0;
    for (size_t k = at + 4; k < pin.size(); ++k) {
        if (pin[k] < '0' || pin[k] > '9' || number > 1000) return -1;
        number = number * 10 + (pin[k] - '0');
    }
    return number;
}

// Output types whose number is a pin of the board.
bool OutputOnPin(char type) {
    return type == 'L' || type == 'N' || type == 'S' || type == 'P' || type == 'G' || type == 'g';
}

std::vector<PinUse> PinUses(const BoardVerdict& board) {
    const BoardView& v = board.view;
    std::map<int, PinUse> uses;
    int pin = 0;
    for (const char byte : v.pinModes) {
        const unsigned char code = static_cast<unsigned char>(byte);
        if (code != 0) uses[pin] = PinUse{pin, code, PinModeName(code), {}};
        ++pin;
    }
    const auto lineOf = [](const std::vector<int>& lines, size_t k) {
        return k < lines.size() ? lines[k] : 0;
    };
    for (size_t i = 0; i < v.inputs.size(); ++i) {
        const auto use = uses.find(PinOfInput(v.inputs[i].pin));
        if (use != uses.end())
            use->second.entries.push_back(
                PinEntry{false, static_cast<int>(i), lineOf(board.inputLines, i)});
    }
    for (size_t j = 0; j < v.outputs.size(); ++j) {
        if (!OutputOnPin(v.outputs[j].type)) continue;
        const auto use = uses.find(static_cast<int>(v.outputs[j].pin));
        if (use != uses.end())
            use->second.entries.push_back(
                PinEntry{true, static_cast<int>(j), lineOf(board.outputLines, j)});
    }
    std::vector<PinUse> pins;
    for (auto& use : uses) pins.push_back(std::move(use.second));
    return pins;
}

}  // namespace

std::string NoteText(const VerdictNote& note) {
    return note.message + DidYouMean(note.suggestions);
}

const char* KindWord(ConfigNoteKind kind) {
    switch (kind) {
        case ConfigNoteKind::Entry:
            return "entry";
        case ConfigNoteKind::Skipped:
            return "skipped";
        case ConfigNoteKind::Suspect:
            return "suspect";
        case ConfigNoteKind::Comment:
            return "comment";
    }
    return "note";
}

bool IsProblemKind(ConfigNoteKind kind) {
    return kind == ConfigNoteKind::Skipped || kind == ConfigNoteKind::Suspect;
}

std::vector<VerdictIssue> Verdict::Issues() const {
    std::vector<VerdictIssue> issues;
    for (const VerdictLine& l : lines)
        for (const VerdictNote& n : l.notes)
            if (IsProblemKind(n.kind))
                issues.push_back(VerdictIssue{l.line, n.kind, n.message,
                                              n.suggestions.empty() ? "" : n.suggestions[0]});
    return issues;
}

const VerdictLine* Verdict::LineOf(int line) const {
    for (const VerdictLine& l : lines)
        if (l.line == line) return &l;
    return nullptr;
}

Verdict VerdictOf(const CheckReport& report) {
    Verdict verdict;
    verdict.lineCount = static_cast<int>(report.lines.size());
    // Every finding by its line: the file's first, then each section's, each in their order.
    std::map<int, std::vector<VerdictNote>> byLine;
    for (const Finding& f : report.fileFindings) byLine[f.line].push_back(NoteOf(f));
    for (const SectionCheck& section : report.sections)
        for (const Finding& f : section.findings) byLine[f.line].push_back(NoteOf(f));
    for (auto& entry : byLine) {
        VerdictLine line;
        line.line = entry.first;
        if (entry.first >= 1 && static_cast<size_t>(entry.first) <= report.lines.size())
            line.text = report.lines[entry.first - 1];
        line.notes = std::move(entry.second);
        verdict.lines.push_back(std::move(line));
    }
    int number = 0;  // board number of the sections read
    for (const SectionCheck& section : report.sections) {
        BoardVerdict board;
        board.id = section.id;
        board.line = section.line;
        board.usedLine = section.usedLine;
        board.read = section.read;
        board.view = section.view;
        board.inputLines = section.inputLines;
        board.outputLines = section.outputLines;
        board.ledModeLines = section.ledModeLines;
        if (section.read) ++number;
        if (section.read && section.view.id != 0) {
            board.pins = PinUses(board);
            board.upload = "~" + section.view.pinModes + CodeCurrent.substr(0, kCodeLetters) +
                           static_cast<char>(number);
        }
        verdict.boards.push_back(std::move(board));
    }
    return verdict;
}

Verdict CheckConfigText(const std::string& name, const std::string& text, bool suggest) {
    return VerdictOf(name == "panel" ? CheckPanelText(text, suggest) : CheckDataCfg(text, suggest));
}

void SuggestNames(Verdict& verdict, const std::vector<std::string>& names, size_t most) {
    std::map<std::string, std::vector<std::string>> found;  // each name is looked up once
    for (VerdictLine& line : verdict.lines)
        for (VerdictNote& note : line.notes) {
            if (note.unknownName.empty()) continue;
            auto known = found.find(note.unknownName);
            if (known == found.end() && found.size() >= most) continue;
            if (known == found.end())
                known =
                    found.emplace(note.unknownName, ClosestNames(note.unknownName, names)).first;
            note.suggestions = known->second;
        }
}

}  // namespace corvane_check
