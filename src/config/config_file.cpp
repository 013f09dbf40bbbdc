#include "config/config_file.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <algorithm>
#include <fstream>
#include <iostream>
#include <set>

#include "config/board_parse.h"
#include "config/board_tables.h"
#include "config/config_diagnostics.h"
#include "config/config_fields.h"
#include "config/input_entries.h"
#include "config/input_options.h"
#include "config/output_entries.h"
#include "config/output_options.h"
#include "config/text_utils.h"
#include "plugin/lifecycle.h"
#include "plugin/settings.h"
#include "plugin/status_text.h"
#include "transport/lan_socket.h"
#include "transport/serial_ports.h"

std::string DebugAddress;

namespace {

constexpr size_t kStatusLabelLength = 23;  // "   Connection status - "

// The beginning of each board's status line ("   1. USB"), by board index, fixed when its row
// is created, so that a board read again rewrites its own line with its own number and link.
std::vector<std::string> BoardLineHead;

void Note(int line, const std::string& text, ConfigNoteKind kind, const std::string& reason) {
    if (ConfigDiagnosing()) AddConfigNote(line, text, kind, reason);
}

std::string AddressText(const sockaddr_in& address) {
    char text[INET_ADDRSTRLEN] = {};
    if (!inet_ntop(AF_INET, &address.sin_addr, text, sizeof text)) return std::string();
    return text;
}

std::string HeadOf(int b) {
    if (b < static_cast<int>(BoardLineHead.size()) && !BoardLineHead[b].empty())
        return BoardLineHead[b];
    return "   " + std::to_string(BoardStatusLine[b] - 2) + ". " +
           (SerialIndex[b] >= 0 ? "USB" : "LAN");
}

// The board's row, created with its link or reset.
void PrepareRow(int board, unsigned int id) {
    if (board != BoardCount()) {
        ResetBoardRow(board, id);
        return;
    }
    sockaddr_in address{};
    int serialIndex = -1;
    std::string link;
    if (MessageIsSerial == 1) {
        DebugAddress = "USB";
        serialIndex = static_cast<int>(SerialCurrent);
        if (SerialCurrent < ComPortName.size()) link = ComPortName[SerialCurrent];
    } else {
        DebugAddress = "LAN";
        address = serv_addr;
        link = AddressText(serv_addr);
    }
    CreateBoardRow(id, address, serialIndex);
    BoardStatusLine[board] = NextBoardLine();
    BoardLinkName[board] = link;
    if (static_cast<int>(BoardLineHead.size()) <= board) BoardLineHead.resize(board + 1);
    BoardLineHead[board] = "   " + std::to_string(message_line_number - 2) + ". " + DebugAddress;
}

// "Connected to:", the board's own line and, while scanning, the search line.
void WriteStatusHead(int b) {
    const std::string two = StatusLine(2);
    SetStatusLine(2, two.substr(0, std::min(kStatusLabelLength, two.size())) + "Connected to:");
    if (BoardStatusLine[b] >= 0) SetStatusLine(BoardStatusLine[b], HeadOf(b));
    if (ScanTimeout > 0) SetStatusLine(SearchLine(), "   scanning...");
}

// The board's kind and counts behind its head.
void WriteStatusSummary(int b, unsigned int id) {
    if (BoardStatusLine[b] < 0) return;
    std::string text = HeadOf(b);
    text += id == 0 ? " Helvan Panel" : " Arduino #" + std::to_string(id);
    if (!Datatags[b].empty()) text += ",   " + std::to_string(Datatags[b].size()) + " inputs";
    if (!OutDrefs[b].empty())
        text += ",   " + std::to_string(OutDrefs[b].size() + OutputModeLed[b].size()) + " outputs";
    SetStatusLine(BoardStatusLine[b], text);
}

bool IsLateLetter(char c) {
    return c == 'T' || c == 'R' || c == 'S' || c == 'Q';
}

// One entry of the A section (additional settings).
void ParseAdditionalEntry(BoardParse& parse, const std::string& text) {
    const std::vector<std::string> f = SplitBy(text, " ");
    if (f.size() < 2) {
        parse.Note(ConfigNoteKind::Skipped, "A entry needs a letter and at least one value");
        return;
    }
    const int b = parse.board;
    const char letter = f[0][0];
    if (parse.inputsSeen && IsLateLetter(letter))
        parse.Note(ConfigNoteKind::Suspect,
                   "A entry after the I section: it affects only inputs read after it");
    switch (letter) {
        case 'B': {
            if (f.size() < 6) {
                parse.Note(ConfigNoteKind::Skipped, "matrix entry B needs five numbers");
                return;
            }
            unsigned int bytes[5] = {};
            for (int k = 0; k < 5; ++k) {
                if (!ReadUnsigned(f[k + 1], bytes[k])) {
                    parse.Note(ConfigNoteKind::Skipped,
                               "matrix number '" + f[k + 1] + "' does not read; entry ignored");
                    return;
                }
            }
            std::string block;
            for (unsigned int v : bytes) block += static_cast<char>(v & 0xFF);
            MatrixAdditional[b] = block;
            if (ConfigDiagnosing()) {
                std::string shown;
                for (unsigned int v : bytes) shown += " " + std::to_string(v & 0xFF);
                parse.Note(ConfigNoteKind::Entry, "matrix bytes" + shown);
            }
            return;
        }
        case 'G':
        case 'L':
        case 'N': {
            unsigned int pin = 0;
            if (!ReadUnsigned(f[1], pin)) {
                parse.Note(ConfigNoteKind::Skipped,
                           "pin number '" + f[1] + "' does not read; entry ignored");
                return;
            }
            const char* label = letter == 'G'   ? "Stepper Direction pin: "
                                : letter == 'L' ? "LED Port pin: "
                                                : "7-segment common pin: ";
            if (letter == 'G') StepperCommon[b] = pin;
            if (letter == 'L') LEDCommon[b] = pin;
            if (letter == 'N') SevenSegCommon[b] = pin;
            std::cerr << "\n" << label << pin;
            if (ConfigDiagnosing()) parse.Note(ConfigNoteKind::Entry, label + std::to_string(pin));
            return;
        }
        case 'T':
            for (size_t k = 1; k < f.size(); ++k)
                parse.tList.push_back(TGroup{Trim(f[k]), 0, -1, parse.lineNumber});
            parse.Note(ConfigNoteKind::Entry, "T list: input groups");
            return;
        case 'R':
        case 'Q':
            for (size_t k = 1; k < f.size(); ++k)
                (letter == 'R' ? parse.rList : parse.qList)
                    .push_back(ListItem{Trim(f[k]), parse.lineNumber, false});
            parse.Note(ConfigNoteKind::Entry, letter == 'R' ? "R list: inputs repeated while held"
                                                            : "Q list: analog inputs of value 2");
            return;
        case 'S':
            for (size_t k = 1; k < f.size(); ++k) {
                const std::string item = Trim(f[k]);
                const std::vector<std::string> parts = SplitBy(item, ",");
                if (item.find(',') == std::string::npos || parts.size() < 2) {
                    parse.Note(ConfigNoteKind::Skipped,
                               "S item '" + item + "' has no tag,count form; ignored");
                    continue;
                }
                if (IntOf(parts[1]) < 0) {
                    parse.Note(ConfigNoteKind::Skipped,
                               "S item '" + item + "' has a negative count; ignored");
                    continue;
                }
                if (parts[1][0] < '0' || parts[1][0] > '9')
                    parse.Note(ConfigNoteKind::Suspect,
                               "S item '" + item + "': the count does not read; 0 used");
                parse.sList.push_back(ListItem{item, parse.lineNumber, false});
            }
            parse.Note(ConfigNoteKind::Entry, "S list: input skip counts");
            return;
        default:
            parse.Note(ConfigNoteKind::Skipped,
                       "unknown A entry letter '" + std::string(1, letter) + "'; ignored");
            return;
    }
}

// After the passes: list items that no input matched (reporting only).
void NoteUnusedLists(const BoardParse& parse) {
    if (!ConfigDiagnosing()) return;
    for (const TGroup& group : parse.tList)
        if (group.members == 0)
            AddConfigNote(group.line, group.tag, ConfigNoteKind::Suspect,
                          "T tag " + group.tag + " matches no input tag");
    const std::pair<const std::vector<ListItem>*, const char*> lists[] = {
        {&parse.rList, "R"}, {&parse.sList, "S"}, {&parse.qList, "Q"}};
    for (const auto& list : lists)
        for (const ListItem& item : *list.first)
            if (!item.used)
                AddConfigNote(
                    item.line, item.text, ConfigNoteKind::Suspect,
                    std::string(list.second) + " item " + item.text + " matches no input tag");
}

// A held command (begun on the press of a '+' tag) ends when the '-' tag of its release arrives;
// an entry of its own for that release runs the same command once more (reporting only).
void NoteHeldReleases(int b, const BoardParse& parse) {
    if (!ConfigDiagnosing()) return;
    const size_t count =
        std::min({Datatags[b].size(), Data[b].size(), InputArrayNum[b].size(), Contval[b].size()});
    const auto command = [&](size_t k) {
        return InputArrayNum[b][k] == 0 && Data[b][k].size() >= 2 && !Datatags[b][k].empty();
    };
    for (size_t i = 0; i < count; ++i) {
        const std::string& release = Datatags[b][i];
        if (!command(i) || release.back() != '-') continue;
        const std::string press = release.substr(0, release.size() - 1) + "+";
        for (size_t j = 0; j < count; ++j) {
            if (!command(j) || Contval[b][j] < 0 || Datatags[b][j] != press ||
                Data[b][j][1] != Data[b][i][1])
                continue;
            NoteEntry(&parse.inputSources, i, ConfigNoteKind::Suspect,
                      press + " holds " + Data[b][i][1] +
                          " from press to release: this entry runs it once more when " + release +
                          " arrives");
            break;
        }
    }
}

// On an Arduino board a pin reference such as 13L is kept as one character, the letter's code plus
// the pin number, and marks the outputs whose type letter is that character (reporting only).
void NotePinReferences(int b, const BoardParse& parse) {
    if (!ConfigDiagnosing() || !parse.IsArduino()) return;
    for (int i : parse.convertedPins) {
        if (!InputExists(b, i) || Data[b][i].size() < 2 || Data[b][i][1].size() != 1) continue;
        const char c = Data[b][i][1][0];
        bool marks = false;
        for (const std::vector<std::string>& f : OutDrefs[b])
            marks = marks || (!f.empty() && !f[0].empty() && f[0].back() == c);
        if (!marks)
            NoteEntry(&parse.inputSources, i, ConfigNoteKind::Suspect,
                      "on an Arduino board a pin reference marks the outputs whose type letter "
                      "has the code " +
                          std::to_string(static_cast<unsigned char>(c)) +
                          " (its letter's code plus the pin number); there are none: it lights "
                          "nothing");
    }
}

bool IsCommentStart(char c) {
    return c == ' ' || c == '#' || c == '/' || c == '!';
}

}  // namespace

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
        if (section.id != kNoBoardId) std::cerr << "\nReading config for board #" << section.id;
        ArduinoConfigFile.push_back(std::move(section.text));
        ArduinoID.push_back(section.id);
    }
}

void ReadConfigFile(std::string text, int board, unsigned int id) {
    if (board != BoardCount() && !BoardExists(board)) {
        Note(0, std::string(), ConfigNoteKind::Skipped,
             "board index " + std::to_string(board) + " is neither a row nor the next one");
        return;
    }
    const std::vector<std::string> lines = SplitBy(text, "\n");
    PrepareRow(board, id);
    MatrixAdditional[board].append(5, static_cast<char>(100));
    for (int n = 0; n < 16; ++n) AnalogAdditional[board].append(std::string("\0\0\x64", 3));
    WriteStatusHead(board);

    BoardParse parse;
    parse.board = board;
    parse.id = id;
    char section = '0';
    bool anyHeader = false;
    std::set<char> seen;
    for (size_t k = 0; k < lines.size(); ++k) {
        const std::string& text_line = lines[k];
        parse.lineNumber = static_cast<int>(k + 1);
        if (ConfigDiagnosing()) parse.lineText = text_line;
        if (text_line.size() < 3) {
            parse.Note(ConfigNoteKind::Skipped,
                       text_line[0] == '['
                           ? "header shorter than 3 characters is not read (add ']')"
                           : "line shorter than 3 characters");
            continue;
        }
        if (IsCommentStart(text_line[0])) {
            parse.Note(ConfigNoteKind::Comment, "comment");
            continue;
        }
        if (text_line[0] == '[') {
            section = text_line[1];
            anyHeader = true;
            const bool known = section == 'A' || section == 'I' || section == 'O';
            if (known && !seen.insert(section).second)
                parse.Note(ConfigNoteKind::Suspect,
                           std::string("repeated [") + section +
                               "] header: its entries are added to the earlier ones");
            if (section == 'I') parse.inputsSeen = true;
            parse.Note(known ? ConfigNoteKind::Entry : ConfigNoteKind::Skipped,
                       known ? std::string("section ") + section
                             : std::string("section letter '") + section +
                                   "': the lines below it are ignored");
            continue;
        }
        switch (section) {
            case 'A':
                ParseAdditionalEntry(parse, text_line);
                break;
            case 'O':
                ParseOutputEntry(parse, text_line);
                break;
            case 'I':
                ParseInputEntry(parse, text_line);
                break;
            default:
                parse.Note(ConfigNoteKind::Skipped, anyHeader
                                                        ? "line of an ignored section"
                                                        : "line before the first section header");
                break;
        }
    }

    SetInputOptions(board, &parse);
    SetOutputOptions(board, id, &parse);
    if (!OutDrefs[board].empty()) CompleteOutputs(parse);
    WriteStatusSummary(board, id);
    NoteUnusedLists(parse);
    NoteHeldReleases(board, parse);
    NotePinReferences(board, parse);
}

void ClearConfigReaderState() {
    DebugAddress.clear();
    BoardLineHead.clear();
}
