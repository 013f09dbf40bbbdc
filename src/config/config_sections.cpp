#include "config/config_sections.h"

#include <fstream>
#include <set>

#include "config/board_tables.h"
#include "config/config_diagnostics.h"
#include "config/plugin_folder.h"
#include "config/plugin_log.h"
#include "config/text_utils.h"

namespace {

void Note(int line, const std::string& text, ConfigNoteKind kind, const std::string& reason) {
    if (ConfigDiagnosing()) AddConfigNote(line, text, kind, reason);
}

}  // namespace

bool IsCommentStart(char c) {
    return c == ' ' || c == '#' || c == '/' || c == '!';
}

std::vector<ConfigSection> SplitConfigSections(std::istream& file) {
    std::vector<ConfigSection> sections;
    std::set<unsigned int> ids;
    unsigned int id = 0;
    char letter = '0';
    bool afterInfo = false;
    std::string raw;
    int number = 0;
    while (std::getline(file, raw)) {
        ++number;
        // Some editors begin a UTF-8 file with a byte-order mark; it is not part of the text.
        if (number == 1 && raw.compare(0, 3, "\xEF\xBB\xBF") == 0) raw.erase(0, 3);
        const std::string text = Trim(raw);
        if (text.empty()) continue;
        if (text[0] == '*') {
            const char c = text.size() > 1 ? text[1] : '\0';
            if (c >= '0' && c <= '9') {
                id = static_cast<unsigned int>(c - '0');
                if (text.size() > 2 && text[2] >= '0' && text[2] <= '9')
                    Note(number, text, ConfigNoteKind::Suspect,
                         "only one digit is read: board ID " + std::to_string(id));
                if (!ids.insert(id).second)
                    Note(number, text, ConfigNoteKind::Suspect,
                         "repeated board ID " + std::to_string(id) +
                             ": the first section with it is used");
                Note(number, text, ConfigNoteKind::Entry,
                     id == 0 ? "section of board ID 0 (Helvan panel): not stored"
                             : "section of board ID " + std::to_string(id));
            } else {
                id = kNoBoardId;
                Note(number, text, ConfigNoteKind::Skipped,
                     "no board ID digit after '*': this section is not stored");
            }
            sections.push_back(ConfigSection{id, std::string(), {}, number});
            continue;
        }
        if (text[0] == '@') {
            if (Trim(text.substr(1)) == "info") {
                letter = '0';
                afterInfo = true;
                Note(number, text, ConfigNoteKind::Entry, "info marker: free text follows");
            } else {
                Note(number, text, ConfigNoteKind::Skipped, "marker other than @info; ignored");
            }
            continue;
        }
        if (text[0] == '[') {
            letter = text.size() > 1 ? text[1] : '\0';
            if (letter == '0') afterInfo = false;
        }
        if (letter != '0' && id != 0 && id != kNoBoardId && !sections.empty()) {
            sections.back().text += text + "\n";
            sections.back().fileLines.push_back(number);
        } else if (afterInfo && letter == '0') {
            Note(number, text, ConfigNoteKind::Comment, "free text after an @info marker");
        } else if (IsCommentStart(text[0])) {
            Note(number, text, ConfigNoteKind::Comment, "comment");
        } else if (sections.empty()) {
            Note(number, text, ConfigNoteKind::Skipped, "line before the first '*' section line");
        } else if (id == 0 || id == kNoBoardId) {
            Note(number, text, ConfigNoteKind::Skipped,
                 id == 0 ? "line of a board ID 0 section: not stored"
                         : "line of an unstored section");
        } else {
            Note(number, text, ConfigNoteKind::Skipped, "line before a section header");
        }
    }
    return sections;
}

void LoadConfig() {
    filepath = foldername + "/data.cfg";
    std::ifstream file(filepath);
    if (!file) return;
    for (ConfigSection& section : SplitConfigSections(file)) {
        if (section.id != kNoBoardId)
            WriteLog("\nReading config for board #" + std::to_string(section.id));
        ArduinoConfigFile.push_back(std::move(section.text));
        ArduinoID.push_back(section.id);
    }
}
