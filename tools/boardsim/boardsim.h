// boardsim: an emulator of the cockpit boards that talk to Corvane.
//
// A Board plays one Arduino board running the board library, or one Helvan panel, on a real
// link: a UDP socket bound to a loopback address (127.0.0.x), or a pseudo-terminal whose slave
// is reached through a symlink that looks like a USB serial device. It answers the plug-in's
// probe with its identification, learns its board number, code letters and pin uses from the
// configuration upload, sends inputs the way a board encodes them, and decodes every output
// message into the state a real board would show (LEDs, 7-segment digits, steppers, ...).
//
// Single-threaded and non-blocking: call Poll() whenever the peer may have sent something.
//
// Decoding of the plug-in's byte-form output frames
// -------------------------------------------------
// A frame is '{', the count of the bytes that follow, then records. Each record is a pin byte
// and a kind byte, and is cut by its kind:
//   ')' / '('      LED on / off                      2 bytes
//   'R'            pin, 'R', count, count bytes       7-segment digits, or the LED port block
//   'G'            pin, 'G', step lo/hi, time lo/hi   stepper target (signed 16 bit) and time
//   'P'            pin, 'P', value                    one-byte (PWM) value
//   'B'            pin, 'B', length, text             byte-data text
//   any other      pin, letter, 4-byte float (LE)     float value ('D', 'S', ...)
// The LED port block has the same shape as a 7-segment record. It is taken as the port block
// when it stands first in the frame and its pin is the board's LED port pin: Options::ledPortPin
// when set, else the 'L' additional setting of Options::configSection, else 100 (the value the
// plug-in sends when no LED port pin is configured).
//
// 7-segment bytes decode to the characters 0-9, '-', ' ' (blank) and '?' (unknown pattern), each
// followed by '.' when its point is lit; the all-on pattern reads as "8." per digit. With the
// board's configuration section known, the 'r' (reversed) and 'c' (common anode) options of the
// display's entry are undone, so displays() shows the text in reading order. Without it, the
// digits are taken in wire order and inverted bytes are recognised when no byte fits the plain
// table but all fit the inverted one.
//
// Mode messages ('{', 2, pin, ')' or '(' and '{', 6, pin, kind, float) are byte for byte the
// same as output frames holding one LED or one float record. With a configuration section, a
// one-record frame on the pin of an LED mode entry (a two-field O entry) is a mode message;
// without one, every such frame is recorded both as an output value and in modes(). Mode
// messages of kind 'L' also set leds(), as they light the board's LED.
//
// Port LEDs are numbered from 1 as the plug-in's outputs number them: LED n is bit
// 7 - ((n - 1) % 8) of port (n - 1) / 8; ledPorts() gives the raw port patterns, port 0 first.
//
// Messages from the plug-in on the serial link are unframed. They are cut by their first byte:
// "XP" "XX" "XR" 2 bytes, '~' 61 bytes (7 for a panel), 'A' 49, 'D' 13, 'N' / 'S' / '{' their
// length byte + 2; anything else (the panel's text form '>', unknown bytes) takes everything
// that has arrived.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace boardsim {

// True for a dotted IPv4 address in 127.0.0.0/8.
bool IsLoopback(const std::string& address);

// Printable form of raw bytes: printable ASCII as is, '\\' doubled, everything else \xNN.
std::string Escape(const std::string& bytes);
// The reverse, for script text: \xNN (two hex digits), \n, \r, \t, \s (a blank) and \\; any
// other escaped character stands for itself.
std::string Unescape(const std::string& text);

// What the emulator knows from a board's section of data.cfg.
struct BoardConfig {
    struct Output {
        char type = 'D';      // type letter of the tag ('D' when the tag ends in a digit)
        std::string tag;      // the tag as written
        int digits = 0;       // 7-segment digit count (field 4)
        int point = 0;        // 7-segment decimal position (field 5)
        std::string options;  // 7-segment option letters (field 6)
    };
    bool known = false;             // a section was given
    int ledPortPin = 100;           // 'L' additional setting
    int sevenSegCommon = 100;       // 'N' additional setting
    int stepperCommon = 100;        // 'G' additional setting
    std::map<int, Output> outputs;  // pin -> output entry (the last entry on a pin wins)
    std::map<int, char> modeLeds;   // pin -> LED kind of an LED mode entry (two-field O entry)
};

// Reads a board section ("[A]", "[I]", "[O]" headers and their entries). Lines starting with
// '*' and '@' are skipped; comment lines are skipped as the plug-in skips them.
BoardConfig ParseConfigSection(const std::string& text);

// The stored lines of the section of board ID `boardId` in a whole data.cfg text (headers and
// entries, trimmed, each followed by a line feed), as the plug-in files them; empty when the
// file has no such section.
std::string SectionFromDataCfg(const std::string& fileText, int boardId);

// One decoded record of an output frame.
struct Record {
    enum Kind { kLed, kDisplay, kStepper, kPwm, kText, kFloat, kLedPort };
    Kind kind = kLed;
    int pin = 0;
    char letter = 0;             // the kind byte on the wire (the float's letter)
    bool on = false;             // kLed
    std::string text;            // kDisplay: digits shown; kText: the bytes
    std::vector<uint8_t> bytes;  // kDisplay: segment bytes; kLedPort: patterns, port 0 first
    int target = 0;              // kStepper: signed step target
    int time = 0;                // kStepper: move time in 10 us units
    int value = 0;               // kPwm
    float number = 0.0f;         // kFloat
};

struct Frame {
    std::vector<Record> records;
    bool ok = true;     // every byte belonged to a complete record and the length byte agreed
    std::string error;  // what was wrong when !ok
};

// Decodes a byte-form output frame (or mode message) that starts with '{'.
Frame DecodeFrame(const std::string& message, const BoardConfig& config, int ledPortPin = -1);

// Decodes 7-segment bytes: '0'-'9', '-', ' ', '?' with '.' after each digit whose point is lit.
std::string DecodeSevenSegment(const std::vector<uint8_t>& bytes, bool inverted = false,
                               bool reversed = false);

// One record as readable text, e.g. "L13=on", "N5=\"12.34\"", "G4=(512,2000)".
std::string RecordText(const Record& record);

struct Options {
    std::string lanAddress;  // e.g. "127.0.0.25": a LAN board bound to this loopback address
    int lanPort = 0;         // the board's own UDP port; 0 takes pluginPort (0 too: any free port)
    std::string pluginAddress = "127.0.0.1";  // where the board sends its messages
    int pluginPort = 0;          // 0: reply to the sender of the last datagram received
    std::string serialLink;      // serial board: DIR/NAME of the symlink to the pty slave
    bool twin = false;           // also link the macOS twin name (tty.X <-> cu.X) in DIR
    int boardId = 1;             // board ID digit 0..9
    int libraryVersion = 124;    // version byte of the identification
    char chip = 'A';             // the identification's byte after '|' ('M' for a Mega 2560)
    std::string identPadding;    // bytes sent after the ID digit (the message stays <= 10 bytes)
    std::string panelConfig;     // non-empty: a Helvan panel sending this text as identification
    bool answerProbe = true;     // answer "XP" with the identification
    std::string configSection;   // the board's data.cfg section, to tell pin kinds apart
    int ledPortPin = -1;         // LED port pin for decoding; -1: from configSection, else 100
    bool requestBlocks = false;  // after the upload, ask for the analog/7-segment/stepper blocks
    bool autoGate = false;       // after the upload, ask for the output gate and open it
    bool recordEmptyFrames = false;  // keep empty output frames in received()/log()
};

class Board {
  public:
    explicit Board(const Options& options);
    ~Board();
    Board(const Board&) = delete;
    Board& operator=(const Board&) = delete;

    bool ok() const { return ok_; }
    std::string error() const { return error_; }

    // Reads everything waiting, decodes each message and sends the automatic replies.
    // Returns the number of messages handled.
    int Poll();

    // What the board learned.
    int boardNumber() const { return boardNumber_; }
    std::string codeLetters() const { return codes_; }
    std::vector<int> pinModes() const { return pinModes_; }
    int uploadCount() const { return uploadCount_; }  // uploads and panel identification replies
    int probeCount() const { return probeCount_; }
    int pingCount() const { return pingCount_; }
    int requestAllCount() const { return requestAllCount_; }
    int frameCount() const { return frameCount_; }  // output frames (empty ones included)
    int emptyFrameCount() const { return emptyFrameCount_; }
    int modeCount() const { return modeCount_; }
    // Messages received of one kind, by the first word of their log line: "probe", "ping",
    // "request-all", "upload", "ident-reply", "analog-config", "7seg-config", "stepper-config",
    // "gate-reply", "frame", "empty-frame", "mode", "panel", "unknown". A one-record frame that
    // may be a mode message counts as "frame" and "mode" (see the top of this file).
    int messageCount(const std::string& kind) const;
    char gateLetter() const { return gateLetter_; }  // 0 until a gate reply arrived
    std::vector<uint8_t> analogConfig() const { return analogConfig_; }      // 48 bytes
    std::vector<uint8_t> sevenSegConfig() const { return sevenSegConfig_; }  // the n bytes
    std::vector<uint8_t> stepperConfig() const { return stepperConfig_; }    // the n bytes

    // Raw messages received, in order, and one readable line for each.
    std::vector<std::string> received() const { return received_; }
    std::vector<std::string> log() const { return log_; }
    // Raw messages sent (without the serial braces), in order.
    std::vector<std::string> sent() const { return sent_; }
    void clearReceived();

    // Called with every readable line: received (true) or sent (false).
    void SetLogSink(std::function<void(bool received, const std::string& line)> sink) {
        sink_ = std::move(sink);
    }

    // Sending, encoded as a real board would. Each returns true when the whole message went out.
    bool SendIdentification();
    bool SendRaw(const std::string& bytes);       // as is on the LAN, braced on serial
    bool SendUnframed(const std::string& bytes);  // as is on both links (to test framing)
    bool SendControl(char c);                     // "~" + c
    bool RequestGate();                           // "~d"
    bool OpenGate();                              // "~" + the gate letter; false without one
    bool CloseGate();                             // "~x"
    bool RequestBlocks();                         // "~a", "~n", "~s"
    // Board number byte, type letter through the code letters ("EDABC"[k] -> code[k]), the rest
    // of the tag, and " " + value when a value is given.
    bool SendInput(const std::string& tag, const std::string& value = "");
    bool Press(const std::string& tag);                         // tag + "+"
    bool Release(const std::string& tag);                       // tag + "-"
    bool TurnEncoder(const std::string& tag, int repeatCount);  // value: one raw byte 1..255
    bool MoveAxis(const std::string& tag, int reading);         // value: decimal text
    std::string EncodeInput(const std::string& tag, const std::string& value = "") const;

    // Decoded output state.
    std::map<int, bool> leds() const { return leds_; }
    std::map<int, std::string> displays() const { return displays_; }
    std::map<int, std::pair<int, int>> steppers() const { return steppers_; }
    std::map<int, int> pwm() const { return pwm_; }
    std::map<int, float> floats() const { return floats_; }
    std::map<int, std::string> texts() const { return texts_; }  // byte-data records
    std::map<int, bool> portLeds() const { return portLeds_; }
    std::vector<int> ledPorts() const { return ledPorts_; }  // port patterns, port 0 first
    std::map<std::string, std::string> panelValues() const { return panelValues_; }
    // Mode LED pin -> "on" / "off" for kind 'L', else the kind letter, a blank and the value.
    std::map<int, std::string> modes() const { return modes_; }
    std::string StateText() const;

    std::string address() const;  // "127.0.0.25:PORT" or the serial link path
    int port() const { return boundPort_; }
    std::string slavePath() const { return slavePath_; }
    std::string twinPath() const { return twinPath_; }
    bool isSerial() const { return serial_; }
    bool isPanel() const { return !options_.panelConfig.empty(); }
    int fd() const { return fd_; }

  private:
    bool OpenLan();
    bool OpenSerial();
    bool Transmit(const std::string& bytes, bool framed, const std::string& what);
    void FlushPending();
    size_t SerialMessageLength(const std::string& buffer) const;
    void Handle(const std::string& message);
    void HandleFrame(const std::string& message);
    void HandlePanelText(const std::string& message);
    void Note(const std::string& line);
    void Count(const std::string& kind) { ++kindCounts_[kind]; }
    void AfterConfigured();
    void RunAfterConfigured();

    Options options_;
    BoardConfig config_;
    bool ok_ = false;
    std::string error_;
    bool serial_ = false;
    int fd_ = -1;
    int slaveFd_ = -1;
    int boundPort_ = 0;
    std::string slavePath_, linkPath_, twinPath_;
    std::vector<char> datagram_;  // receive buffer of the LAN link
    std::string inbox_;           // serial bytes not yet cut into messages
    std::string pending_;         // serial bytes not yet written
    bool haveSender_ = false;
    uint32_t senderAddr_ = 0;  // network order
    uint16_t senderPort_ = 0;  // network order
    bool openGateOnReply_ = false;
    // On a serial link the automatic requests after the upload wait a moment, as a real board's
    // would: the plug-in empties the port's input queue right after it has written the upload.
    bool afterConfiguredDue_ = false;
    std::chrono::steady_clock::time_point afterConfiguredAt_;

    int boardNumber_ = 0;
    std::string codes_;
    std::vector<int> pinModes_;
    int uploadCount_ = 0, probeCount_ = 0, pingCount_ = 0, requestAllCount_ = 0;
    int frameCount_ = 0, emptyFrameCount_ = 0, modeCount_ = 0;
    char gateLetter_ = 0;
    std::vector<uint8_t> analogConfig_, sevenSegConfig_, stepperConfig_;
    std::vector<std::string> received_, log_, sent_;
    std::function<void(bool, const std::string&)> sink_;

    std::map<int, bool> leds_;
    std::map<int, std::string> displays_;
    std::map<int, std::pair<int, int>> steppers_;
    std::map<int, int> pwm_;
    std::map<int, float> floats_;
    std::map<int, std::string> texts_;
    std::map<int, bool> portLeds_;
    std::vector<int> ledPorts_;
    std::map<std::string, std::string> panelValues_;
    std::map<int, std::string> modes_;
    std::map<std::string, int> kindCounts_;
};

}  // namespace boardsim
