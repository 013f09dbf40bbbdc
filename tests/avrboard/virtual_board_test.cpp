// The virtual board runs the test sketch (tools/avrboard/testdata) on both chips: control lines
// against what the sketch reads and drives, the serial line's losses, resets and replugs, and the
// WIZnet chips frame by frame on the SPI bus with their UDP sockets on loopback. Then the board
// library's own bytes, spoken to by the test: its identifications and its encoder counts.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <termios.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <memory>

#include "support/avr_board_process.h"
#include "support/plugin_harness.h"

namespace {

using corvane_test::AvrBoardProcess;

// Control line and its answer, then a sketch command and its reply; empty parts are skipped. An
// expected text ending in '*' is a prefix. On a network board the control line may also be
// "udp TEXT" (the test's socket sends TEXT to the board; "udp #N" N bytes) or "got" (the
// datagram the test's socket got, "TEXT from ADDRESS:PORT"), and "net" answers the network's
// stats; {ph} {pl} and {qh} {ql} stand for the high and low bytes of the board's port and the
// test socket's, {p} for the board's port.
struct Row {
    const char* control;
    const char* answer;
    const char* sketch;
    const char* reply;
};

bool Matches(const std::string& got, const std::string& expected) {
    if (!expected.empty() && expected.back() == '*')
        return got.compare(0, expected.size() - 1, expected, 0, expected.size() - 1) == 0;
    return got == expected;
}

class VirtualBoardTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (std::string(CORVANE_AVR_BOARD).empty())
            GTEST_SKIP() << "corvane-avr-board was not built: install libsimavr-dev and libelf-dev";
        if (!std::filesystem::exists(Sketch("uno")))
            GTEST_SKIP() << "no test sketch: install gcc-avr, avr-libc and arduino-core-avr";
        char folder[] = "/tmp/corvane-avr-XXXXXX";
        folder_ = mkdtemp(folder);
        link_ = folder_ + "/ttyACM0";
    }
    void TearDown() override {
        if (port_ >= 0) close(port_);
        if (udp_ >= 0) close(udp_);
        board_.reset();
        if (!folder_.empty()) std::filesystem::remove_all(folder_);
    }
    static std::string Sketch(const std::string& board) {
        return std::string(CORVANE_AVR_SKETCH_DIR) + "/board_check_" + board + ".elf";
    }
    // Starts the board with board ID 7 and opens its port as the plug-in would.
    // A firmware of the board library (an ELF path for `board`) runs without the sketch's port.
    void Start(const std::string& mcu, const std::string& board, const char* bootDelay = "100",
               std::vector<std::string> options = {}) {
        options.insert(options.end(), {"--board-id", "7", "--boot-delay", bootDelay});
        const bool library = mcu.empty();
        board_ = std::make_unique<AvrBoardProcess>(CORVANE_AVR_BOARD, library ? "atmega328p" : mcu,
                                                   library ? board : Sketch(board),
                                                   library ? "" : link_, options);
        ASSERT_TRUE(board_->ready());
        if (library) return;
        OpenPort();
        ASSERT_EQ(ReadLine(), "boot 7");
    }
    void OpenPort() {
        port_ = open(link_.c_str(), O_RDWR | O_NOCTTY);
        termios raw{};
        tcgetattr(port_, &raw);
        cfmakeraw(&raw);
        tcsetattr(port_, TCSANOW, &raw);
    }
    void Write(const std::string& bytes) {
        ASSERT_EQ(write(port_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    std::string ReadLine(int timeoutMs = 30000) {
        for (;;) {
            const size_t end = pending_.find("\r\n");
            if (end != std::string::npos) {
                std::string line = pending_.substr(0, end);
                pending_.erase(0, end + 2);
                return line;
            }
            pollfd ready{port_, POLLIN, 0};
            char bytes[256];
            if (poll(&ready, 1, timeoutMs) <= 0) return "<timeout>";
            const ssize_t n = read(port_, bytes, sizeof bytes);
            if (n <= 0) return "<hang-up>";
            pending_.append(bytes, static_cast<size_t>(n));
        }
    }
    // Starts the board with a WIZnet chip at 127.0.0.9 and a socket of the test's on 127.0.0.1.
    void StartNetwork(const std::string& mcu, const std::string& board, const char* chip) {
        boardPort_ = corvane_test::FreeUdpPort();
        udp_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in at = corvane_test::Ipv4("127.0.0.1", 0);
        socklen_t length = sizeof at;
        bind(udp_, reinterpret_cast<sockaddr*>(&at), sizeof at);
        getsockname(udp_, reinterpret_cast<sockaddr*>(&at), &length);
        testPort_ = ntohs(at.sin_port);
        Start(mcu, board, "100",
              {"--ethernet", chip, "--address", "127.0.0.9", "--port", std::to_string(boardPort_)});
    }
    std::string Expand(std::string text) const {
        const std::pair<const char*, int> values[] = {{"{ph}", boardPort_ >> 8},
                                                      {"{pl}", boardPort_ & 255},
                                                      {"{qh}", testPort_ >> 8},
                                                      {"{ql}", testPort_ & 255},
                                                      {"{p}", boardPort_}};
        for (const auto& value : values)
            for (size_t at; (at = text.find(value.first)) != std::string::npos;)
                text.replace(at, std::strlen(value.first), std::to_string(value.second));
        return text;
    }
    std::string Network() {
        const std::string stats = board_->Ask("stats");
        return stats.substr(std::min(stats.size(), stats.find(" in ") + 1));
    }
    // The answer to a control line, the network's pseudo-lines included.
    std::string Control(const std::string& line) {
        if (line == "net") return Network();
        if (line.rfind("udp ", 0) == 0) {
            std::string text = line.substr(4);
            if (text[0] == '#') text.assign(std::stoul(text.substr(1)), 'x');
            const std::string before = Network();
            const sockaddr_in to = corvane_test::Ipv4("127.0.0.9", boardPort_);
            sendto(udp_, text.data(), text.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                   sizeof to);
            for (int k = 0; k < 3000 && Network() == before; ++k) usleep(10000);
            return "";
        }
        if (line == "got") {
            char bytes[2048];
            sockaddr_in from{};
            socklen_t length = sizeof from;
            pollfd ready{udp_, POLLIN, 0};
            if (poll(&ready, 1, 30000) <= 0) return "<timeout>";
            const ssize_t n =
                recvfrom(udp_, bytes, sizeof bytes, 0, reinterpret_cast<sockaddr*>(&from), &length);
            return std::string(bytes, static_cast<size_t>(std::max<ssize_t>(n, 0))) + " from " +
                   inet_ntoa(from.sin_addr) + ":" + std::to_string(ntohs(from.sin_port));
        }
        return board_->Ask(line);
    }
    void RunRows(const std::vector<Row>& rows) {
        for (const Row& row : rows) {
            SCOPED_TRACE(std::string(row.control) + " | " + row.sketch);
            if (*row.control) {
                EXPECT_PRED2(Matches, Control(Expand(row.control)), Expand(row.answer));
            }
            if (*row.sketch) {
                Write(Expand(row.sketch) + "\n");
                EXPECT_PRED2(Matches, ReadLine(), Expand(row.reply));
            }
        }
    }
    // "stats rx R dropped D resets K lost L" without R, which counts every byte of the test.
    std::string Losses() {
        const std::string stats = board_->Ask("stats");
        const size_t at = stats.find(" dropped ");
        return at == std::string::npos ? stats : stats.substr(at + 1);
    }

    std::string folder_, link_, pending_;
    std::unique_ptr<AvrBoardProcess> board_;
    int port_ = -1;
    int udp_ = -1, boardPort_ = 0, testPort_ = 0;
};

TEST_F(VirtualBoardTest, UnoControlLinesAgainstTheSketch) {
    Start("atmega328p", "uno");
    // The plug-in's upload: LED port on 14 (clock 15, latch 16), the displays' DIN on 17 (CLK
    // 18) and LOAD lines 12 and 13, a stepper on 8 with its direction on 7.
    std::string upload(61, '\0');
    upload[0] = '~';
    for (int pin : {12, 13, 14}) upload[1 + pin] = 7;
    upload[1 + 17] = 13;
    upload[1 + 8] = 10;
    upload[1 + 7] = 11;
    upload.replace(55, 6, "FHJKL\x01");
    Write("~x" + upload + "\n");  // a stray '~' before it is passed by
    RunRows({
        {"", "", "i 2", "ok"},
        {"press 2", "ok", "r 2", "0"},
        {"release 2", "ok", "r 2", "1"},
        {"", "", "e 2 3", "ok"},
        {"turn 2 3 5", "ok", "c", "5"},
        {"turn 2 3 -2 fast", "ok", "c", "3"},
        {"turn 2 3 3 100", "ok", "c", "6"},
        {"analog 5 512", "ok", "a 5", "512"},
        {"analog 5 1023", "ok", "a 5", "1023"},
        {"analog 4 1", "ok", "a 4", "1"},
        {"", "", "w 4 1", "ok"},
        {"pin 4", "pin 4 1", "w 4 0", "ok"},
        {"pin 4", "pin 4 0", "p 6 100", "ok"},
        {"duty 6", "duty 6 100", "p 9 200", "ok"},
        {"duty 9", "duty 9 200", "p 9 255", "ok"},
        {"duty 9", "duty 9 255", "u 10 1500", "ok"},
        {"pulse 10", "pulse 10 150*", "s 14 15 16 18 52", "ok"},
        {"leds", "leds 3412", "s 14 15 16 255", "ok"},
        {"leds", "leds FF", "m 17 18 12 9 0", "ok"},  // no decoding
        {"", "", "m 17 18 12 11 3", "ok"},            // four digits
        {"", "", "m 17 18 12 12 1", "ok"},            // on
        {"", "", "m 17 18 12 4 48", "ok"},            // 1
        {"", "", "m 17 18 12 3 237", "ok"},           // 2 and its point
        {"", "", "m 17 18 12 2 1", "ok"},             // -
        {"", "", "m 17 18 13 9 15", "ok"},            // Code B on display 13
        {"", "", "m 17 18 13 11 1", "ok"},
        {"", "", "m 17 18 13 12 1", "ok"},
        {"", "", "m 17 18 13 2 5", "ok"},
        {"", "", "m 17 18 13 1 138", "ok"},  // '-' and its point
        {"display", "display \"12.- 5-.\"", "m 17 18 13 15 1", "ok"},
        {"display 13", "display 13 \"8.8.\"", "m 17 18 13 15 0", "ok"},
        {"display 12", "display 12 \"12.- \"", "m 17 18 12 12 0", "ok"},
        {"display 12", "display 12 \"    \"", "t 8 7 10", "ok"},
        {"steps 8", "steps 8 10", "t 8 7 -3", "ok"},
        {"steps 8", "steps 8 7", "", ""},
        // The direction changed: a move of its own.
        {"move 8", "move 8 steps 3 back first *", "", ""},
        {"move 2", "move 2 steps 0", "", ""},
        {"", "", "i 5", "ok"},  // a matrix key between 11 and 5
        {"", "", "w 11 0", "ok"},
        {"key 11 5", "ok", "r 5", "0"},
        {"", "", "w 11 1", "ok"},
        {"", "", "r 5", "1"},
        {"", "", "w 11 0", "ok"},
        {"unkey 11 5", "ok", "r 5", "1"},
        {"key 5 5", "error: a key joins two pins", "", ""},
        {"inject 7", "error: HEX is pairs of hex digits", "", ""},
        {"inject 7G", "error: HEX is pairs of hex digits", "", ""},
        {"inject 41 upload 61", "error: inject HEX [upload [N]], N 0 to 60", "", ""},
        {"display 14", "error: no display latched on pin 14", "", ""},
        {"press 1", "error: pins 0 and 1 carry the serial line", "", ""},
        {"pin 20", "error: no pin 20 on the atmega328p (pins 0-19)", "", ""},
        {"turn 2 2 1", "error: the two pins of a turn must differ", "", ""},
        {"analog 8 5", "error: no analog channel 8 on the atmega328p (0-7)", "", ""},
        {"wiggle 3", "error: unknown control line: wiggle 3", "", ""},
    });
    // Bytes put on the line as if the host had written them: the sketch reads a command.
    EXPECT_EQ(board_->Ask("inject 7220350A"), "ok");
    EXPECT_EQ(ReadLine(), "1");
}

TEST_F(VirtualBoardTest, FullBufferDropsResetsLoseAndReplugs) {
    Start("atmega328p", "uno", "1000");
    EXPECT_EQ(Losses(), "dropped 0 resets 1 lost 0");
    // 200 bytes while the sketch reads nothing: its 64-byte ring keeps 63, the rest is dropped.
    RunRows({{"", "", "z 2000", "ok"}});
    Write(std::string(200, '\n'));
    EXPECT_EQ(ReadLine(), "done");
    EXPECT_EQ(Losses(), "dropped 137 resets 1 lost 0");

    EXPECT_EQ(board_->Ask("unplug"), "ok");
    char byte;
    EXPECT_LE(read(port_, &byte, 1), 0);  // the host reads a hang-up
    EXPECT_FALSE(std::filesystem::exists(link_));
    EXPECT_EQ(board_->Ask("unplug"), "error: not plugged in");
    EXPECT_EQ(board_->Ask("plug"), "ok");
    close(port_);
    OpenPort();
    Write("r 2\n");  // lost: the chip is held in reset for the boot delay
    EXPECT_EQ(ReadLine(300), "<timeout>");
    EXPECT_EQ(ReadLine(), "boot 7");
    RunRows({{"", "", "i 2", "ok"}});
    EXPECT_EQ(Losses(), "dropped 137 resets 3 lost 4");
    EXPECT_EQ(board_->Ask("quit"), "bye");
    EXPECT_EQ(board_->CloseInputAndWait(), 0);
    EXPECT_FALSE(std::filesystem::exists(link_));
}

TEST_F(VirtualBoardTest, MegaPinsTimersAndAnalogInputs) {
    Start("atmega2560", "mega");
    RunRows({
        {"", "", "w 13 1", "ok"},
        {"pin 13", "pin 13 1", "p 46 77", "ok"},
        {"duty 46", "duty 46 77", "p 2 30", "ok"},
        {"duty 2", "duty 2 30", "i 30", "ok"},
        {"press 30", "ok", "r 30", "0"},
        {"analog 0 700", "ok", "a 0", "700"},
        {"analog 8 300", "ok", "a 8", "300"},
        {"analog 15 1000", "ok", "a 15", "1000"},
        {"pin 70", "error: no pin 70 on the atmega2560 (pins 0-69)", "", ""},
    });
    // The end of standard input ends the board like quit.
    EXPECT_EQ(board_->CloseInputAndWait(), 0);
    EXPECT_FALSE(std::filesystem::exists(link_));
}

// A W5500 on the Uno: W5500 frames (variable and fixed length), the SD card's select, the PHY's
// link, read-only registers, a UDP socket sending and receiving through its buffers, a datagram
// too big for the receive buffer dropped whole, the cable pulled, the soft reset.
TEST_F(VirtualBoardTest, W5500FramesRegistersAndUdpSocket) {
    StartNetwork("atmega328p", "uno", "w5500");
    RunRows({
        {"", "", "w 4 0", "ok"},
        {"", "", "x 0 57 0 0", "255 255 255 255"},  // the SD card answers too
        {"", "", "w 4 1", "ok"},
        {"", "", "x 0 57 0 0", "1 2 3 4"},    // VERSIONR
        {"", "", "x 0 46 0 0", "1 2 3 191"},  // PHYCFGR: 100 Mb/s, full duplex, linked
        {"unplug", "ok", "x 0 46 0 0", "1 2 3 184"},
        {"plug", "ok", "x 0 15 4 127 0 0 9", "1 2 3 0 0 0 0"},  // SIPR
        {"", "", "x 0 57 4 9", "1 2 3 0"},                      // VERSIONR is read-only
        {"", "", "x 0 57 1 0 0 15 1 0", "1 2 3 4 1 2 3 127"},   // two 1-byte frames
        {"", "", "x 0 0 32 7", "1 2 3 0"},                      // a reserved block reads 0
        {"", "", "x 0 0 12 2", "1 2 3 0"},                      // socket 0: UDP
        {"", "", "x 0 4 12 {ph} {pl}", "1 2 3 0 0"},
        {"", "", "x 0 1 12 1", "1 2 3 0"},  // OPEN
        {"", "", "x 0 3 12 0", "1 2 3 0"},  // the status is read-only
        {"", "", "x 0 1 8 0 0 0", "1 2 3 0 0 34"},
        {"", "", "x 0 12 12 127 0 0 1", "1 2 3 0 0 0 0"},
        {"", "", "x 0 16 12 {qh} {ql}", "1 2 3 0 0"},
        {"", "", "x 0 0 20 104 105", "1 2 3 0 0"},  // "hi" into the transmit buffer
        {"", "", "x 0 36 12 0 2", "1 2 3 0 0"},
        {"", "", "x 0 32 8 0 0", "1 2 3 7 254"},  // TX_FSR 2046
        {"", "", "x 0 1 12 32", "1 2 3 0"},       // SEND
        {"got", "hi from 127.0.0.9:{p}", "x 0 2 8 0", "1 2 3 16"},
        {"", "", "x 0 2 12 16", "1 2 3 0"},
        {"", "", "x 0 2 8 0 0 0", "1 2 3 0 34 {ph}"},
        {"", "", "x 0 32 8 0 0 0 2", "1 2 3 8 0 0 2"},  // TX_FSR 2048, TX_RD 2
        {"udp abc", "", "x 0 38 8 0 0", "1 2 3 0 11"},  // RX_RSR: header and 3 bytes
        {"", "", "x 0 2 8 0", "1 2 3 4"},
        {"", "", "x 0 0 24 0 0 0 0 0", "1 2 3 127 0 0 1 {qh}"},
        {"", "", "x 0 8 24 0 0 0", "1 2 3 97 98 99"},
        {"", "", "x 0 40 12 0 11", "1 2 3 0 0"},
        {"", "", "x 0 1 12 64", "1 2 3 0"},  // RECV
        {"", "", "x 0 38 8 0 0", "1 2 3 0 0"},
        {"udp #2041", "", "x 0 38 8 0 0", "1 2 3 0 0"},  // 8 + 2041 bytes: no room
        {"udp #2040", "", "x 0 38 8 0 0", "1 2 3 8 0"},
        {"unplug", "ok", "x 0 1 12 32", "1 2 3 0"},
        {"udp lost", "", "x 0 2 8 0", "1 2 3 12"},  // TIMEOUT, and RECV from before
        {"net", "in 2 out 1 full 1 missed 1", "x 0 0 4 128", "1 2 3 0"},  // soft reset
        {"plug", "ok", "x 0 3 8 0", "1 2 3 0"},
        {"", "", "x 0 15 0 0 0 0 0", "1 2 3 0 0 0 0"},
    });
}

// A W5100 on the Mega: its 4-byte frames, a W5500 frame ignored, a UDP datagram sent across the
// end of the socket's transmit memory and one received.
TEST_F(VirtualBoardTest, W5100FramesAndUdpSocket) {
    StartNetwork("atmega2560", "mega", "w5100");
    RunRows({
        {"", "", "w 4 1", "ok"},
        {"", "", "x 0 57 0 0", "0 1 2 3"},         // a W5500 frame
        {"", "", "x 240 0 1 90", "0 1 2 3"},       // GAR0
        {"", "", "x 15 0 1 0 0", "0 1 2 90 255"},  // a byte beyond the frame is ignored
        {"", "", "x 240 0 15 127", "0 1 2 3"},
        {"", "", "x 240 0 18 9", "0 1 2 3"},
        {"", "", "x 240 4 0 2", "0 1 2 3"},  // socket 0 at 0x0400: UDP
        {"", "", "x 240 4 4 {ph}", "0 1 2 3"},
        {"", "", "x 240 4 5 {pl}", "0 1 2 3"},
        {"", "", "x 240 4 36 7", "0 1 2 3"},  // TX_WR 0x07FE
        {"", "", "x 240 4 37 254", "0 1 2 3"},
        {"", "", "x 240 4 1 1", "0 1 2 3"},  // OPEN
        {"", "", "x 15 4 3 0", "0 1 2 34"},
        {"", "", "x 15 4 35 0", "0 1 2 254"},    // TX_RD follows TX_WR
        {"", "", "x 240 71 254 97", "0 1 2 3"},  // 'a' 'b' at the end of its 2 KB, 'c' at 0
        {"", "", "x 240 71 255 98", "0 1 2 3"},
        {"", "", "x 240 64 0 99", "0 1 2 3"},
        {"", "", "x 240 4 12 127", "0 1 2 3"},
        {"", "", "x 240 4 15 1", "0 1 2 3"},
        {"", "", "x 240 4 16 {qh}", "0 1 2 3"},
        {"", "", "x 240 4 17 {ql}", "0 1 2 3"},
        {"", "", "x 240 4 36 8", "0 1 2 3"},  // TX_WR 0x0801
        {"", "", "x 240 4 37 1", "0 1 2 3"},
        {"", "", "x 240 4 1 32", "0 1 2 3"},                          // SEND
        {"got", "abc from 127.0.0.9:{p}", "x 15 0 21 0", "0 1 2 1"},  // IR: socket 0
        {"udp xy", "", "x 15 4 39 0", "0 1 2 10"},
        {"", "", "x 15 96 8 0", "0 1 2 120"},  // the payload at 0x6008
        {"", "", "x 240 4 41 10", "0 1 2 3"},
        {"", "", "x 240 4 2 255", "0 1 2 3"},
        {"", "", "x 240 4 1 64", "0 1 2 3"},  // RECV: nothing left, RECV stays clear
        {"", "", "x 15 4 2 0", "0 1 2 0"},
        {"", "", "x 240 0 0 128", "0 1 2 3"},  // soft reset
        {"", "", "x 15 0 26 0", "0 1 2 85"},   // RMSR back at 2 KB a socket
        {"net", "in 1 out 1 full 0 missed 0", "", ""},
    });
}

// The board library on a W5500 Uno, spoken to by the test as the plug-in would: steps turned while
// the cable is out wait on the board, and once it is back their counts go out whole, but never as
// the byte 9 or 32 (the tab and the blank, which end the message's field for the plug-in): those
// go as one step less, and the last step after it.
TEST_F(VirtualBoardTest, LibraryEncoderCountsNeverATabOrABlank) {
    const std::string firmware =
        std::string(CORVANE_AVR_FIRMWARE_DIR) + "/corvane-uno-ethernet.elf";
    if (!std::filesystem::exists(firmware)) GTEST_SKIP() << "no firmware " << firmware;
    StartNetwork("", firmware, "w5500");
    // The upload: an encoder on 5 and 6, the code letters FGHIJ (F for E), board number 1.
    std::string upload(61, '\0');
    upload[0] = '~';
    upload[1 + 5] = 2;
    upload.replace(55, 6, "FGHIJ\x01");
    const sockaddr_in to = corvane_test::Ipv4("127.0.0.9", boardPort_);
    auto send = [&](const std::string& bytes) {
        sendto(udp_, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to),
               sizeof to);
    };
    pollfd answer{udp_, POLLIN, 0};
    for (int k = 0; k < 100 && poll(&answer, 1, 0) == 0; ++k) {
        send("XP");  // once the board is on the network it identifies itself
        usleep(50000);
    }
    send(upload);
    for (const int steps : {9, 32}) {
        SCOPED_TRACE(steps);
        EXPECT_EQ(board_->Ask("unplug"), "ok");
        usleep(300000);
        EXPECT_EQ(board_->Ask("turn 5 6 " + std::to_string(steps) + " fast"), "ok");
        EXPECT_EQ(board_->Ask("plug"), "ok");
        std::vector<int> counts;
        int sum = 0;
        while (sum < steps) {
            const std::string got = Control("got");
            if (got == "<timeout>") break;
            if (got.rfind("\x01"
                          "F5+ ",
                          0) != 0)
                continue;  // requests, identifications
            counts.push_back(static_cast<unsigned char>(got[5]));
            sum += counts.back();
        }
        EXPECT_EQ(sum, steps);
        EXPECT_EQ(counts, (std::vector<int>{steps - 1, 1}));
    }
}

// The board library on a USB Uno that nobody configures identifies itself again and again (every
// 2 s); once an upload has come it stops and asks for its blocks instead.
TEST_F(VirtualBoardTest, LibraryIdentifiesItselfUntilConfigured) {
    const std::string firmware = std::string(CORVANE_AVR_FIRMWARE_DIR) + "/corvane-uno.elf";
    if (!std::filesystem::exists(firmware)) GTEST_SKIP() << "no firmware " << firmware;
    board_ = std::make_unique<AvrBoardProcess>(CORVANE_AVR_BOARD, "atmega328p", firmware, link_,
                                               std::vector<std::string>{"--board-id", "7"});
    ASSERT_TRUE(board_->ready());
    OpenPort();
    // What the board sends in `ms` milliseconds.
    auto listen = [&](int ms) {
        std::string got;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        for (char bytes[256];;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            pollfd ready{port_, POLLIN, 0};
            if (left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) <= 0)
                return got;
            const ssize_t n = read(port_, bytes, sizeof bytes);
            if (n > 0) got.append(bytes, static_cast<size_t>(n));
        }
    };
    const std::string identification(
        "{|U\x82"
        "7}");
    EXPECT_GE(corvane_test::CountOf(listen(5000), identification), 2);  // after the boot delay
    std::string upload(61, '\0');
    upload[0] = '~';
    upload.replace(55, 6, "FGHIJ\x01");
    Write(upload);
    const std::string after = listen(2500);
    // An identification already on its way when the upload was written may come first; none
    // follows the board's first request.
    const size_t asked = after.find("{~a}");
    ASSERT_NE(asked, std::string::npos) << after;
    EXPECT_EQ(corvane_test::CountOf(after.substr(asked), identification), 0) << after;
}

}  // namespace
