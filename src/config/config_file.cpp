#include "config/config_file.h"

#include <algorithm>

#include "config/additional_settings.h"
#include "config/aircraft_profile.h"
#include "config/board_parse.h"
#include "config/board_tables.h"
#include "config/config_diagnostics.h"
#include "config/config_fields.h"
#include "config/input_entries.h"
#include "config/input_options.h"
#include "config/live_events.h"
#include "config/output_entries.h"
#include "config/output_options.h"
#include "config/plugin_folder.h"
#include "config/settings.h"
#include "config/status_text.h"
#include "config/text_utils.h"
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
    PublishBoardEvent(board, "found", static_cast<int>(id), link);
    if (static_cast<int>(BoardLineHead.size()) <= board) BoardLineHead.resize(board + 1);
    BoardLineHead[board] = "   " + std::to_string(message_line_number - 2) + ". " + DebugAddress;
}

// "Connected to:", the board's own line and, while scanning, the search line.
void WriteStatusHead(int b) {
    const std::string two = StatusLine(2);
    SetStatusLine(2, two.substr(0, std::min(kStatusLabelLength, two.size())) + "Connected to:");
    SetStatusLine(BoardStatusLine[b], HeadOf(b));  // passes over the -1 of a row without a line
    if (ScanTimeout > 0) SetStatusLine(SearchLine(), "   scanning...");
}

// The board's kind and counts behind its head (on no line for a row without one, -1).
void WriteStatusSummary(int b, unsigned int id) {
    std::string text = HeadOf(b);
    text += id == 0 ? " Helvan Panel" : " Arduino #" + std::to_string(id);
    if (!Datatags[b].empty()) text += ",   " + std::to_string(Datatags[b].size()) + " inputs";
    if (!OutDrefs[b].empty())
        text += ",   " + std::to_string(OutDrefs[b].size() + OutputModeLed[b].size()) + " outputs";
    SetStatusLine(BoardStatusLine[b], text);
}

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
            if (!command(j) || Contval[b][j] == -1 || Datatags[b][j] != press ||
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

// The line numbers in the configuration file of text when it is the section that board ID id
// reads (the first section with that ID, as the identification takes it); else null.
const std::vector<int>* FileLinesOf(const std::string& text, unsigned int id) {
    if (id == 0) return nullptr;
    const auto section = std::find(ArduinoID.begin(), ArduinoID.end(), id);
    const size_t k = static_cast<size_t>(section - ArduinoID.begin());
    if (k >= std::min(ArduinoConfigFile.size(), ArduinoConfigLines.size()) ||
        ArduinoConfigFile[k] != text)
        return nullptr;
    return &ArduinoConfigLines[k];
}

std::string UnknownHeaderReason(char letter) {
    const std::string hint = HeaderLetterHint(letter);
    return std::string("section letter '") + letter + "': the lines below it are ignored" +
           (hint.empty() ? "" : "; " + hint);
}

}  // namespace

bool BeginConfigRead(ConfigRead& read, std::string text, int board, unsigned int id) {
    if (board != BoardCount() && !BoardExists(board)) {
        Note(0, std::string(), ConfigNoteKind::Skipped,
             "board index " + std::to_string(board) + " is neither a row nor the next one");
        return false;
    }
    PrepareRow(board, id);
    MatrixAdditional[board].append(5, static_cast<char>(100));
    for (int n = 0; n < 16; ++n) AnalogAdditional[board].append(std::string("\0\0\x64", 3));
    WriteStatusHead(board);
    read = ConfigRead();
    read.text = std::move(text);
    read.parse.board = board;
    read.parse.id = id;
    read.parse.fileLines = FileLinesOf(read.text, id);
    read.parse.fileName = ConfigFileInForce;  // the file the sections were read from
    return true;
}

bool ContinueConfigRead(ConfigRead& read, size_t maxLines) {
    BoardParse& parse = read.parse;
    const std::string& text = read.text;
    for (size_t done = 0;; ++done) {
        // The text's non-empty lines, one at a time, as SplitBy(text, "\n") gives them.
        read.next = std::min(text.find_first_not_of('\n', read.next), text.size());
        // Read to its end, also when its last line was this call's last: told at once.
        if (read.next >= text.size()) return true;
        if (done == maxLines) return false;
        const size_t end = std::min(text.find('\n', read.next), text.size());
        const std::string text_line = text.substr(read.next, end - read.next);
        read.next = end;
        parse.lineNumber = ++read.lineNumber;
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
            const char section = read.section = text_line[1];
            read.anyHeader = true;
            const bool known = section == 'A' || section == 'I' || section == 'O';
            if (known && !read.seen.insert(section).second)
                parse.Note(ConfigNoteKind::Suspect,
                           std::string("repeated [") + section +
                               "] header: its entries are added to the earlier ones");
            if (section == 'I') parse.inputsSeen = true;
            parse.Note(known ? ConfigNoteKind::Entry : ConfigNoteKind::Skipped,
                       known ? std::string("section ") + section : UnknownHeaderReason(section));
            continue;
        }
        switch (read.section) {
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
                parse.Note(ConfigNoteKind::Skipped, read.anyHeader
                                                        ? "line of an ignored section"
                                                        : "line before the first section header");
                break;
        }
    }
}

void FinishConfigRead(ConfigRead& read) {
    const int board = read.parse.board;
    const unsigned int id = read.parse.id;
    if (!BoardExists(board)) return;
    SetInputOptions(board, &read.parse);
    SetOutputOptions(board, id, &read.parse);
    if (!OutDrefs[board].empty()) CompleteOutputs(read.parse);
    WriteStatusSummary(board, id);
    NoteUnusedLists(read.parse);
    NoteHeldReleases(board, read.parse);
}

void ReadConfigFile(std::string text, int board, unsigned int id) {
    ConfigRead read;
    if (!BeginConfigRead(read, std::move(text), board, id)) return;
    ContinueConfigRead(read, std::string::npos);
    FinishConfigRead(read);
}

void ClearConfigReaderState() {
    DebugAddress.clear();
    BoardLineHead.clear();
}

void ExchangeConfigReaderState(ConfigReaderState& state) {
    DebugAddress.swap(state.debugAddress);
    BoardLineHead.swap(state.lineHeads);
}
