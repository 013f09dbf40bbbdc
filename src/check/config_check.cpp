#include "check/config_check.h"

#include <algorithm>
#include <map>
#include <sstream>

#include "check/live_state_aside.h"
#include "check/name_suggestions.h"
#include "check/simulator_names.h"
#include "config/board_tables.h"
#include "config/config_file.h"
#include "transport/lan_socket.h"
#include "transport/net_address.h"
#include "transport/serial_ports.h"

namespace corvane_check {

namespace {

constexpr size_t kShortestPanelText = 10;  // a shorter identification is an Arduino board's
constexpr unsigned int kUnsetPin = 100;    // a pin setting the section leaves unset

// The text's lines as std::getline gives them (a final line feed ends the last line).
std::vector<std::string> LinesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

Finding FindingOf(const ConfigNote& note, int line) {
    return Finding{line, note.kind, note.reason, note.entry, note.index, note.unknownName};
}

// The current link of the board read next: a LAN board at 127.0.0.(index + 2).
void ActAsLanBoard(int index) {
    MessageIsSerial = 0;
    SerialCurrent = 0;
    serv_addr = sockaddr_in{};
    serv_addr.sin_family = AF_INET;
    serv_addr.sin_port = htons(5080);
    serv_addr.sin_addr.s_addr = htonl(0x7F000000u | static_cast<uint32_t>(2 + index % 250));
}

// The line of the first output of type letter `type`, and else of the first LED mode entry of it;
// 0 when the board has neither.
int FirstLineOfType(const SectionCheck& section, char type) {
    const BoardView& v = section.view;
    for (size_t j = 0; j < v.outputs.size(); ++j)
        if (v.outputs[j].type == type) return section.outputLines[j];
    for (size_t k = 0; k < v.ledModes.size(); ++k)
        if (!v.ledModes[k].tag.empty() && v.ledModes[k].tag.back() == type)
            return section.ledModeLines[k];
    return 0;
}

// Port LEDs (type 'l') reach the board in the LED port block, which names the LED port pin of the
// A entry L; without it the block goes to pin 100. 7-segment displays share the common pin of the
// A entry N, which the configuration upload marks.
void NoteOutputsWithoutTheirPin(SectionCheck& section) {
    const BoardView& v = section.view;
    if (v.id == 0) return;
    const auto note = [&](int line, const char* reason) {
        if (line > 0) section.findings.push_back(Finding{line, ConfigNoteKind::Suspect, reason});
    };
    if (v.ledCommon == kUnsetPin)
        note(FirstLineOfType(section, 'l'),
             "port LEDs need the LED port pin (A entry L, as in L 21): without it their block "
             "names pin 100");
    if (v.sevenSegCommon == kUnsetPin)
        note(FirstLineOfType(section, 'N'),
             "7-segment displays need their common pin (A entry N, as in N 22): without it the "
             "configuration upload marks no pin as the displays' common pin");
}

// Reads text into a new board row with the diagnostics on; notes are placed by lineOf, which maps
// a position in the text's lines (from 1; 0 for the whole text) to a line of the checked file.
template <typename LineOf>
void ReadSection(SectionCheck& section, const std::string& text, unsigned int id, LineOf lineOf) {
    const int b = BoardCount();
    std::vector<ConfigNote> notes;
    {
        ConfigDiagnosticsScope scope(notes);
        ActAsLanBoard(b);
        ReadConfigFile(text, b, id);
    }
    section.read = true;
    for (const ConfigNote& note : notes)
        section.findings.push_back(FindingOf(note, lineOf(note.line)));
    section.view = ViewOfBoard(b);
    section.inputLines.assign(section.view.inputs.size(), 0);
    section.outputLines.assign(section.view.outputs.size(), 0);
    section.ledModeLines.assign(section.view.ledModes.size(), 0);
    for (const Finding& f : section.findings) {
        std::vector<int>* lines = f.entry == ConfigNoteEntry::Input     ? &section.inputLines
                                  : f.entry == ConfigNoteEntry::Output  ? &section.outputLines
                                  : f.entry == ConfigNoteEntry::LedMode ? &section.ledModeLines
                                                                        : nullptr;
        if (lines && f.index >= 0 && static_cast<size_t>(f.index) < lines->size())
            (*lines)[f.index] = f.line;
    }
    const BoardView& v = section.view;
    NoteOutputsWithoutTheirPin(section);
    if (v.inputs.empty() && v.outputs.empty() && v.ledModes.empty())
        section.findings.push_back(Finding{section.line, ConfigNoteKind::Suspect,
                                           "the section gives the board no inputs and no outputs"});
}

// Control bytes in a line (a tab aside, and a carriage return at its end, which the reader trims)
// are shown by no editor, and the reader takes each as part of the field it stands in.
void NoteControlBytes(CheckReport& report) {
    static const char kHex[] = "0123456789ABCDEF";
    for (size_t k = 0; k < report.lines.size(); ++k) {
        const std::string& line = report.lines[k];
        const size_t end = !line.empty() && line.back() == '\r' ? line.size() - 1 : line.size();
        std::string where;
        size_t count = 0;
        for (size_t c = 0; c < end; ++c) {
            const unsigned char byte = static_cast<unsigned char>(line[c]);
            if ((byte >= 0x20 && byte != 0x7F) || byte == '\t') continue;
            if (++count <= 3)
                where += std::string(count > 1 ? ", " : "") + kHex[byte >> 4] + kHex[byte & 15] +
                         " at column " + std::to_string(c + 1);
        }
        if (count == 0) continue;
        const bool one = count == 1;
        report.fileFindings.push_back(Finding{
            static_cast<int>(k + 1), ConfigNoteKind::Suspect,
            (one ? std::string("a control byte (") : std::to_string(count) + " control bytes (") +
                where + (count > 3 ? ", ..." : "") + ") that no editor shows: Corvane reads " +
                (one ? "it" : "each") + " as part of the field it stands in; delete " +
                (one ? "it" : "them")});
    }
}

}  // namespace

std::string ReasonText(const Finding& finding) {
    return finding.reason + DidYouMean(finding.suggestions);
}

bool IsProblem(const Finding& finding) {
    return finding.kind == ConfigNoteKind::Skipped || finding.kind == ConfigNoteKind::Suspect;
}

std::vector<Finding> CheckReport::Problems() const {
    std::vector<Finding> problems;
    for (const Finding& f : fileFindings)
        if (IsProblem(f)) problems.push_back(f);
    for (const SectionCheck& section : sections)
        for (const Finding& f : section.findings)
            if (IsProblem(f)) problems.push_back(f);
    std::stable_sort(problems.begin(), problems.end(),
                     [](const Finding& a, const Finding& b) { return a.line < b.line; });
    return problems;
}

void SuggestNames(CheckReport& report) {
    // corvane-check loads its names; inside the plug-in they are the simulator's, and a text
    // full of unknown names gets suggestions for the first few only.
    const bool own = !KnownNames.empty();
    const std::vector<std::string>& known = own ? KnownNames : IndexedNames();
    std::map<std::string, std::vector<std::string>> suggestions;  // each name is looked up once
    const auto suggest = [&](Finding& f) {
        if (f.unknownName.empty()) return;
        auto found = suggestions.find(f.unknownName);
        if (found == suggestions.end() && !own && suggestions.size() >= kMostSuggestedNames) return;
        if (found == suggestions.end())
            found = suggestions.emplace(f.unknownName, ClosestNames(f.unknownName, known)).first;
        f.suggestions = found->second;
    };
    for (Finding& f : report.fileFindings) suggest(f);
    for (SectionCheck& section : report.sections)
        for (Finding& f : section.findings) suggest(f);
}

CheckReport CheckDataCfg(const std::string& text, bool suggest) {
    CheckReport report;
    report.lines = LinesOf(text);
    LiveStateAside aside;
    std::vector<ConfigSection> sections;
    {
        std::vector<ConfigNote> notes;
        ConfigDiagnosticsScope scope(notes);
        std::istringstream in(text);
        sections = SplitConfigSections(in);
        for (const ConfigNote& note : notes)
            report.fileFindings.push_back(FindingOf(note, note.line));
    }
    if (sections.empty())
        report.fileFindings.push_back(Finding{0, ConfigNoteKind::Skipped,
                                              "no board section: a section begins with '*' and "
                                              "the board ID, as in *1"});
    for (const ConfigSection& stored : sections) {
        SectionCheck section;
        section.id = stored.id;
        section.line = stored.line;
        section.usedLine = stored.line;
        for (const SectionCheck& earlier : report.sections)
            if (earlier.id == stored.id) {
                section.usedLine = earlier.line;
                break;
            }
        if (stored.id != 0 && stored.id != kNoBoardId) {
            const std::vector<int>& fileLines = stored.fileLines;
            const int headerLine = stored.line;
            ReadSection(section, stored.text, stored.id, [&](int position) {
                if (position >= 1 && static_cast<size_t>(position) <= fileLines.size())
                    return fileLines[position - 1];
                return headerLine;
            });
        }
        report.sections.push_back(std::move(section));
    }
    NoteControlBytes(report);
    if (suggest) SuggestNames(report);
    return report;
}

CheckReport CheckPanelText(const std::string& text, bool suggest) {
    CheckReport report;
    report.lines = LinesOf(text);
    LiveStateAside aside;
    // ReadConfigFile numbers the text's non-empty lines; a line is one run between line feeds.
    std::vector<int> lineOfPosition;
    bool headerAdded = text.empty() || text[0] != '[';
    if (headerAdded) lineOfPosition.push_back(0);
    for (size_t k = 0; k < report.lines.size(); ++k)
        if (!report.lines[k].empty()) lineOfPosition.push_back(static_cast<int>(k + 1));
    if (text.size() < kShortestPanelText)
        report.fileFindings.push_back(Finding{0, ConfigNoteKind::Skipped,
                                              "a panel's text needs 10 characters or more: a "
                                              "shorter identification is read as an Arduino "
                                              "board's"});
    SectionCheck section;
    ReadSection(section, headerAdded ? "[O]\n" + text : text, 0, [&](int position) {
        if (position >= 1 && static_cast<size_t>(position) <= lineOfPosition.size())
            return lineOfPosition[position - 1];
        return 0;
    });
    report.sections.push_back(std::move(section));
    NoteControlBytes(report);
    if (suggest) SuggestNames(report);
    return report;
}

}  // namespace corvane_check
