#include "exchange/identification.h"

#include <algorithm>
#include <chrono>

#include "config/board_monitor.h"
#include "config/board_tables.h"
#include "config/config_file.h"
#include "config/live_events.h"
#include "config/plugin_log.h"
#include "config/status_text.h"
#include "exchange/held_inputs.h"
#include "exchange/learn_mode.h"
#include "exchange/learn_upload.h"
#include "exchange/wire_protocol.h"
#include "transport/connection.h"
#include "transport/lan_socket.h"
#include "transport/serial_ports.h"

unsigned int lib_ver = 124;
std::vector<int> wrong_versions;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kPinCount = 54;

// A board that identifies again this soon after its last identification, with the same board ID
// and form (and, for the panel, the same text), is answered without reading its configuration
// again: a board that floods identifications costs at most an upload each, not a parse.
constexpr auto kRepeatWindow = std::chrono::seconds(1);

struct ReadIdentification {
    bool known = false;
    Clock::time_point at;
    unsigned int id{};
    bool shortForm{};
    std::string panelText;
};

// The identification whose configuration each board index read last, and when it last came.
std::vector<ReadIdentification> lastRead;

// Quick repeats answered in one call at most: beyond them (a flood of identifications) repeats go
// unanswered, so that answering cannot hold the reception up.
constexpr int kRepeatAnswersPerCall = 16;
int repeatAnswersLeft = kRepeatAnswersPerCall;

size_t panelLinesLeft = kPanelLinesPerCall;

// Panel texts being read, in the order they came; config.text is the text as identified.
struct PanelRead {
    int board = -1;
    ConfigRead config;
};
std::vector<PanelRead> panelReads;

std::vector<PanelRead>::iterator PanelReadOf(int b) {
    return std::find_if(panelReads.begin(), panelReads.end(),
                        [b](const PanelRead& read) { return read.board == b; });
}

bool IsQuickRepeat(int b, unsigned int id, bool shortForm, const std::string& panelText) {
    if (!BoardExists(b) || BoardRefused[b] || b >= static_cast<int>(lastRead.size())) return false;
    const ReadIdentification& last = lastRead[static_cast<size_t>(b)];
    return last.known && Clock::now() - last.at < kRepeatWindow && last.id == id &&
           OutDevice[b] == id && last.shortForm == shortForm && last.panelText == panelText;
}

void RememberRead(int b, unsigned int id, bool shortForm, const std::string& panelText) {
    if (!BoardExists(b)) return;
    if (static_cast<int>(lastRead.size()) <= b) lastRead.resize(static_cast<size_t>(b) + 1);
    lastRead[static_cast<size_t>(b)] = {true, Clock::now(), id, shortForm, panelText};
}

// Sends a handshake reply over the current link; on a serial port the bytes the board sent
// before it knew its number are thrown away.
void SendHandshakeReply(int b, const std::string& reply) {
    if (MessageIsSerial) {
        SendToPort(SerialCurrent, reply.data(), static_cast<int>(reply.size()));
        DiscardPortInput(SerialCurrent);
    } else if (BoardExists(b)) {
        Send_LAN(reply.data(), static_cast<int>(reply.size()), UdpIP[b]);
        NoteSent(b, bytes_sent);
    }
}

// The panel's short identification reply: over the current link, or (a text read over several
// calls) over the panel's own link.
void AnswerPanel(int b, bool currentLink) {
    if (!BoardExists(b)) return;
    std::string reply = "~" + CodeCurrent.substr(0, 5);
    reply += static_cast<char>(b + 1);
    bytes_sent = 0;
    if (currentLink) {
        SendHandshakeReply(b, reply);
    } else {
        SendToBoard(b, reply.data(), static_cast<int>(reply.size()));
        if (SerialIndex[b] >= 0) DiscardPortInput(static_cast<unsigned int>(SerialIndex[b]));
    }
    if (bytes_sent != 0) WriteLog("\nID sent: " + std::to_string(b + 1));
}

// Reads up to the lines left for this call; true when the text is read to its end.
bool ReadPanelLines(ConfigRead& config) {
    const int before = config.lineNumber;
    const bool done = ContinueConfigRead(config, panelLinesLeft);
    panelLinesLeft -= std::min(panelLinesLeft, static_cast<size_t>(config.lineNumber - before));
    return done;
}

// Reads a panel's text into its row: at once when the lines left for this call suffice (true),
// else over the next calls, with the row's outputs held until the end.
bool ReadPanel(const std::string& text, int b) {
    if (b < static_cast<int>(lastRead.size())) lastRead[static_cast<size_t>(b)].known = false;
    PanelRead read{b, {}};
    if (!BeginConfigRead(read.config, text, b, 0)) return false;
    if (ReadPanelLines(read.config)) {
        FinishConfigRead(read.config);
        RememberRead(b, 0, false, text);
        return true;
    }
    AllowOutput[b] = false;
    panelReads.push_back(std::move(read));
    return false;
}

// A board that restarted keeps its configuration: its held inputs end, and its outputs wait for
// its gate and are all sent again, as after a fresh read.
void RestartBoard(int b) {
    ReleaseBoardHeldInputs(b);
    AllowOutput[b] = OutDevice[b] == 0;
    AllowPing[b] = false;
    sendall[b] = true;
    allow_output[b] = 'w';
}

// Reads the board's configuration, unless the same identification was read a moment ago. False
// when the identification is to go unanswered.
bool ReadBoard(const std::string& text, int b, unsigned int id, bool shortForm) {
    static const std::string noText;
    const std::string& panelText = shortForm ? noText : text;
    if (IsQuickRepeat(b, id, shortForm, panelText)) {
        if (repeatAnswersLeft <= 0) return false;
        --repeatAnswersLeft;
        lastRead[static_cast<size_t>(b)].at = Clock::now();
        RestartBoard(b);
        return true;
    }
    const auto pending = PanelReadOf(b);
    if (pending != panelReads.end()) panelReads.erase(pending);
    ReleaseBoardHeldInputs(b);
    if (!shortForm) return ReadPanel(text, b);
    ReadConfigFile(text, b, id);
    RememberRead(b, id, shortForm, panelText);
    return true;
}

// A version x100 as text with a '.' after its first digit: 124 -> "1.24".
std::string VersionText(unsigned int version) {
    std::string digits = std::to_string(version);
    return digits.substr(0, 1) + "." + digits.substr(1);
}

void SetPin(std::string& pins, long pin, char code) {
    if (pin >= 0 && pin < kPinCount) pins[static_cast<size_t>(pin)] = code;
}

// Decimal number at the start of text; -1 when no digit reads.
long LeadingDecimal(const std::string& text) {
    long value = 0;
    size_t i = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = std::min(value * 10 + (text[i] - '0'), 100000L);  // kept from overflowing
    return i == 0 ? -1 : value;
}

void AddInputPins(std::string& pins, int b) {
    for (size_t i = 0; i < Datatags[b].size(); ++i) {
        const std::string& tagText = Datatags[b][i];
        if (tagText.empty()) continue;
        if (tagText[0] == 'D') {
            std::string number = tagText.substr(1);
            number.erase(std::remove_if(number.begin(), number.end(),
                                        [](char c) { return c == '+' || c == '-'; }),
                         number.end());
            SetPin(pins, LeadingDecimal(number), 1);
        } else if (tagText[0] == 'E') {
            const std::string rest = tagText.substr(1);
            const std::string number = rest.substr(0, rest.find_first_of("+-/"));
            const long pin = LeadingDecimal(number);
            const std::string field0 =
                (i < Data[b].size() && !Data[b][i].empty()) ? Data[b][i][0] : std::string();
            const char first = field0[0];  // an empty field gives its terminating '\0'
            SetPin(pins, pin, first == 'E' ? 2 : first == 'e' ? 3 : 0);
        }
    }
}

char OutputPinCode(char type) {
    switch (type) {
        case 'G':
            return 10;
        case 'L':
            return 7;
        case 'N':
            return 7;
        case 'P':
            return 8;
        case 'S':
            return 12;
        case 'g':
            return 9;
        default:
            return -1;
    }
}

// A network board is answered where its identification came from: one that restarted may send
// from another port (or, in its own network, another address) than before.
void FollowLanBoard(int b) {
    if (!MessageIsSerial) UdpIP[b] = serv_addr;
}

void RefuseVersion(int b, unsigned char version, unsigned int id) {
    if (std::find(wrong_versions.begin(), wrong_versions.end(), b) != wrong_versions.end()) return;
    const int ordinal = message_line_number + 1 - 2;
    const int line = NextBoardLine();
    std::string text = "   " + std::to_string(ordinal) + ". Wrong library version - ";
    if (version > 118) text += VersionText(version) + " ";
    text += "(req. min. " + VersionText(lib_ver) + ")";
    SetStatusLine(line, text);
    wrong_versions.push_back(b);
    // The link is registered under b; an empty row keeps that index taken, so the next board
    // cannot share it. Its gate letter is a zero byte, which no message can carry, so a refused
    // board never opens its outputs.
    if (!BoardExists(b)) {
        sockaddr_in none{};
        CreateBoardRow(id, MessageIsSerial ? none : serv_addr,
                       MessageIsSerial ? static_cast<int>(SerialCurrent) : -1);
        AllowOutput[b] = false;
    }
    if (BoardExists(b)) {
        allow_output[b] = '\0';
        BoardRefused[b] = true;
    }
}

}  // namespace

std::string BuildPinModes(int b) {
    std::string pins(kPinCount, '\0');
    if (!BoardExists(b)) return pins;
    const std::string& matrix = MatrixAdditional[b];
    if (matrix.size() >= 5) {
        const auto byte = [&](int k) { return static_cast<unsigned char>(matrix[k]); };
        for (int pin = byte(0); pin <= byte(1); ++pin) SetPin(pins, pin, 5);
        for (int pin = byte(2); pin <= byte(3); ++pin) SetPin(pins, pin, 6);
    }
    SetPin(pins, StepperCommon[b], 11);
    SetPin(pins, LEDCommon[b], 7);
    SetPin(pins, SevenSegCommon[b], 13);
    if (matrix.size() >= 5) SetPin(pins, static_cast<unsigned char>(matrix[4]), 4);
    AddInputPins(pins, b);
    for (const auto& fields : OutDrefs[b]) {
        if (fields.empty() || fields[0].size() < 2) continue;
        const char code = OutputPinCode(fields[0][1]);
        if (code != -1) SetPin(pins, static_cast<unsigned char>(fields[0][0]), code);
    }
    for (const auto& fields : OutputModeLed[b]) {
        if (fields.empty() || fields[0].size() < 2 || fields[0][1] != 'L') continue;
        SetPin(pins, static_cast<unsigned char>(fields[0][0]), 7);
    }
    return pins;
}

std::string BuildAnalogBlock(int b) {
    // A board without its table reads no channel: nothing it could report has an entry.
    std::string block = BoardExists(b) && AnalogAdditional[b].size() >= 48
                            ? AnalogAdditional[b].substr(0, 48)
                            : std::string(48, '\0');
    bool used[16] = {};
    for (const std::string& tag : BoardExists(b) ? Datatags[b] : std::vector<std::string>()) {
        if (tag.size() < 2 || tag[0] != 'A' || tag[1] < '0' || tag[1] > '9') continue;
        unsigned int n = 0;
        for (size_t k = 1; k < 4 && tag[k] >= '0' && tag[k] <= '9'; ++k)
            n = n * 10 + static_cast<unsigned int>(tag[k] - '0');
        if (n < 16) used[n] = true;
    }
    for (size_t n = 0; n < 16; ++n)
        if (!used[n]) block[3 * n] = kAnalogChannelOff;
    return block;
}

void SendConfig(unsigned int serial, unsigned int board) {
    WriteLog("\nSending config");
    const int b = static_cast<int>(board);
    const bool learning = Learning() && BoardExists(b) && OutDevice[b] != 0;
    std::string message =
        "~" + (learning ? LearnPinModes(b) : BuildPinModes(b)) + CodeCurrent.substr(0, 5);
    message += static_cast<char>(board + 1);
    bytes_sent = 0;
    if (serial == 1) {
        SendToPort(SerialCurrent, message.data(), static_cast<int>(message.size()));
        DiscardPortInput(SerialCurrent);
    } else if (BoardExists(b)) {
        Send_LAN(message.data(), static_cast<int>(message.size()), UdpIP[b]);
        NoteSent(b, bytes_sent);
    }
    WriteLog("\nConfig sent: " + std::to_string(bytes_sent) + " bytes");
    if (BoardExists(b))
        PublishBoardEvent(b, "configured", static_cast<int>(OutDevice[b]), BoardLinkName[b]);
}

int IdentificationBoardId(const std::string& message) {
    if (message.size() < 4) return -1;
    if (message.size() > 10) return 0;
    const char idDigit = message[3];
    // A board's identification without a decimal board ID carries no usable identity.
    return idDigit >= '0' && idDigit <= '9' ? idDigit - '0' : -1;
}

void HandleIdentification(const std::string& message) {
    const int idValue = IdentificationBoardId(message);
    if (idValue < 0) return;
    const unsigned int id = static_cast<unsigned int>(idValue);
    const std::string t = message.substr(1);
    const bool shortForm = t.size() <= 9;
    const int b = ConnectionExists(true);
    if (b < 0) return;
    if (shortForm) {
        const unsigned char version = static_cast<unsigned char>(t[1]);
        if (version < 128 && version < lib_ver) {
            RefuseVersion(b, version, id);
            return;
        }
        const auto section = std::find(ArduinoID.begin(), ArduinoID.end(), id);
        const std::string text = section == ArduinoID.end()
                                     ? std::string()
                                     : ArduinoConfigFile[section - ArduinoID.begin()];
        if (!ReadBoard(text, b, id, true) || !BoardExists(b)) return;
        NoteBoardChip(b, message[1]);
        FollowLanBoard(b);
        SendConfig(static_cast<unsigned int>(MessageIsSerial), static_cast<unsigned int>(b));
        return;
    }
    std::string text = t;
    if (text[0] != '[') text = "[O]\n" + text;
    // The same text while it is being read: the panel is answered at the end of the read.
    const auto pending = PanelReadOf(b);
    const bool answer = (pending == panelReads.end() || pending->config.text != text) &&
                        ReadBoard(text, b, 0, false);
    if (!BoardExists(b)) return;
    FollowLanBoard(b);
    if (answer) AnswerPanel(b, true);
}

void ContinuePanelReads() {
    panelLinesLeft = kPanelLinesPerCall;
    while (!panelReads.empty() && panelLinesLeft > 0 && ReadPanelLines(panelReads.front().config)) {
        const int b = panelReads.front().board;
        FinishConfigRead(panelReads.front().config);
        RememberRead(b, 0, false, panelReads.front().config.text);
        panelReads.erase(panelReads.begin());
        if (!BoardExists(b) || BoardRefused[b]) continue;  // refused while it was read
        AllowOutput[b] = true;
        AnswerPanel(b, false);
    }
}

bool PanelBeingRead(int b) {
    return PanelReadOf(b) != panelReads.end();
}

void ForgetIdentifications() {
    lastRead.clear();
    panelReads.clear();
    repeatAnswersLeft = kRepeatAnswersPerCall;
}

void StartIdentificationCall() {
    repeatAnswersLeft = kRepeatAnswersPerCall;
}

void AnswerConfigRequest(int b, char request) {
    if (!BoardExists(b)) return;
    if (request == 'a') {
        const std::string reply = "A" + BuildAnalogBlock(b);
        SendToCurrentLink(reply.data(), static_cast<int>(reply.size()));
        WriteLog("\nSending analog: " + std::to_string(bytes_sent) + " bytes");
        return;
    }
    const bool sevenSegment = (request == 'n');
    if (!sevenSegment && request != 's') return;
    const std::string& block = sevenSegment ? SevenSegAdditional[b] : StepperAdditional[b];
    const size_t n = std::min<size_t>(block.size(), 255);
    WriteLog(std::string(sevenSegment ? "\nReceived request for 7-segment config: "
                                      : "\nReceived request for Stepper config: ") +
             std::to_string(block.size()) + " bytes available.");
    std::string reply(1, sevenSegment ? 'N' : 'S');
    reply += static_cast<char>(n);
    // The block goes out whatever its length: a board with one or two displays needs its pins.
    reply += block.substr(0, n);
    SendToCurrentLink(reply.data(), static_cast<int>(reply.size()));
    WriteLog(
        std::string(sevenSegment ? "\nSending 7-segment config: " : "\nSending Stepper config: ") +
        std::to_string(bytes_sent) + " bytes");
}
