#include "config/config_sections.h"

#include <fstream>
#include <set>

#include "config/aircraft_profile.h"
#include "config/board_tables.h"
#include "config/config_diagnostics.h"
#include "config/plugin_folder.h"
#include "config/plugin_log.h"
#include "config/text_utils.h"

namespace {

void Note(int line, const std::string& text, ConfigNoteKind kind, const std::string& reason) {
    if (ConfigDiagnosing()) AddConfigNote(line, text, kind, reason);
}

bool IsPrintable(char c) {
    return c >= ' ' && c <= '~';
}

// Why a line before the first section line is not read: named precisely when bytes that no editor
// shows (a UTF-8 byte order mark, control characters) stand before what looks like a line of the
// format, such as a '*' line. Line 1 is the start of the file.
std::string BeforeFirstSectionReason(int number, const std::string& text) {
    const std::string kByteOrderMark = "\xEF\xBB\xBF";
    const std::string kDefault = "line before the first '*' section line";
    size_t stray = 0;
    while (stray < text.size() && !IsPrintable(text[stray])) ++stray;
    if (stray == 0 || stray == text.size()) return kDefault;
    const std::string rest = text.substr(stray);
    const bool mark = text.compare(0, kByteOrderMark.size(), kByteOrderMark) == 0 &&
                      stray == kByteOrderMark.size();
    if (!mark && std::string("*[@#/!").find(rest[0]) == std::string::npos) return kDefault;
    std::string what;
    if (mark) {
        what = std::string(number == 1 ? "the file" : "the line") +
               " begins with a UTF-8 byte order mark (bytes EF BB BF)";
    } else {
        static const char kHex[] = "0123456789ABCDEF";
        what = "the line begins with " + std::to_string(stray) + " stray byte" +
               (stray == 1 ? "" : "s") + " (";
        for (size_t k = 0; k < stray && k < 8; ++k) {
            const unsigned char c = static_cast<unsigned char>(text[k]);
            what += std::string(k ? " " : "") + kHex[c >> 4] + kHex[c & 15];
        }
        what += stray > 8 ? " ...)" : ")";
    }
    return what + " before '" + rest + "', so it is not read" +
           (!rest.empty() && rest[0] == '*' ? " as a section line" : "") +
           "; save the file as plain text without them";
}

// An entry under a '[0]' header, which ends the part of a section that is read: most likely the
// '[0]' was meant as '[O]'. The header is named once, at the first entry under it.
void NoteLineUnderZeroHeader(int number, const std::string& text, int header,
                             const std::string& headerText, bool& headerNoted) {
    if (!headerNoted)
        Note(header, headerText, ConfigNoteKind::Suspect,
             HeaderLetterHint('0') + "; '[0]' ends the part that is read, and entries follow it");
    headerNoted = true;
    Note(number, text, ConfigNoteKind::Skipped,
         "line under the '[0]' of line " + std::to_string(header) + ": not read");
}

}  // namespace

std::string HeaderLetterHint(char letter) {
    if (letter == '0') return "'[0]' has a zero: the outputs header is [O], with the letter O";
    if (letter == 'a' || letter == 'i' || letter == 'o')
        return std::string("header letters are capitals: [") +
               static_cast<char>(letter - 'a' + 'A') + "]";
    return std::string();
}

bool IsCommentStart(char c) {
    return c == ' ' || c == '#' || c == '/' || c == '!';
}

std::vector<ConfigSection> SplitConfigSections(std::istream& file) {
    std::vector<ConfigSection> sections;
    std::set<unsigned int> ids;
    unsigned int id = kNoBoardId;  // of the section read now: none before the first '*' line
    char letter = '0';
    bool afterInfo = false;
    int zeroHeader = 0;  // line of the '[0]' header that the lines read now are under
    std::string zeroHeaderText;
    bool zeroNoted = false;
    std::string raw;
    int number = 0;
    while (std::getline(file, raw)) {
        ++number;
        // Some editors begin a UTF-8 file with a byte-order mark; it is not part of the text.
        if (number == 1 && raw.compare(0, 3, "\xEF\xBB\xBF") == 0) {
            Note(number, raw, ConfigNoteKind::Suspect,
                 "the file begins with a UTF-8 byte order mark (bytes EF BB BF): Corvane skips it, "
                 "other tools may not; save the file as plain text without it");
            raw.erase(0, 3);
        }
        const std::string text = Trim(raw);
        if (text.empty()) continue;
        if (text[0] == '*') {
            // A string's element at its size is its ending NUL, which is no digit.
            const char c = text[1];
            if (c >= '0' && c <= '9') {
                id = static_cast<unsigned int>(c - '0');
                if (text[2] >= '0' && text[2] <= '9')
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
            letter = text[1];  // the ending NUL of a lone '['
            if (letter == '0') afterInfo = false;
            zeroHeader = letter == '0' && id != 0 && id != kNoBoardId ? number : 0;
            zeroHeaderText = text;
            zeroNoted = false;
            if (zeroHeader) {
                Note(number, text, ConfigNoteKind::Entry, "end of the part that is read");
                continue;
            }
        }
        if (letter != '0' && id != 0 && id != kNoBoardId && !sections.empty()) {
            sections.back().text += text + "\n";
            sections.back().fileLines.push_back(number);
        } else if (afterInfo && letter == '0') {
            Note(number, text, ConfigNoteKind::Comment, "free text after an @info marker");
        } else if (IsCommentStart(text[0])) {
            Note(number, text, ConfigNoteKind::Comment, "comment");
        } else if (sections.empty()) {
            Note(number, text, ConfigNoteKind::Skipped, BeforeFirstSectionReason(number, text));
        } else if (id == 0 || id == kNoBoardId) {
            Note(number, text, ConfigNoteKind::Skipped,
                 id == 0 ? "line of a board ID 0 section: not stored"
                         : "line of an unstored section");
        } else if (zeroHeader) {
            NoteLineUnderZeroHeader(number, text, zeroHeader, zeroHeaderText, zeroNoted);
        } else {
            Note(number, text, ConfigNoteKind::Skipped, "line before a section header");
        }
    }
    return sections;
}

void LoadConfig() {
    ChooseConfigFile();
    filepath = foldername + "/" + ConfigFileInForce;
    std::ifstream file(filepath);
    if (!file) return;
    for (ConfigSection& section : SplitConfigSections(file)) {
        if (section.id != kNoBoardId)
            WriteLog("\nReading config for board #" + std::to_string(section.id));
        ArduinoConfigFile.push_back(std::move(section.text));
        ArduinoID.push_back(section.id);
        ArduinoConfigLines.push_back(std::move(section.fileLines));
    }
}
