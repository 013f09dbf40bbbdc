// The virtual board runs the test sketch (tools/avrboard/testdata) on both chips: control lines
// against what the sketch reads and drives, the serial line's losses, resets and replugs.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <termios.h>

#include <cstdio>
#include <filesystem>
#include <memory>

#include "support/avr_board_process.h"

namespace {

using corvane_test::AvrBoardProcess;

// Control line and its answer, then a sketch command and its reply; empty parts are skipped. An
// expected text ending in '*' is a prefix.
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
        board_.reset();
        if (!folder_.empty()) std::filesystem::remove_all(folder_);
    }
    static std::string Sketch(const std::string& board) {
        return std::string(CORVANE_AVR_SKETCH_DIR) + "/board_check_" + board + ".elf";
    }
    // Starts the board with board ID 7 and opens its port as the plug-in would.
    void Start(const std::string& mcu, const std::string& board, const char* bootDelay = "100") {
        board_ = std::make_unique<AvrBoardProcess>(
            CORVANE_AVR_BOARD, mcu, Sketch(board), link_,
            std::vector<std::string>{"--board-id", "7", "--boot-delay", bootDelay});
        ASSERT_TRUE(board_->ready());
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
    void RunRows(const std::vector<Row>& rows) {
        for (const Row& row : rows) {
            SCOPED_TRACE(std::string(row.control) + " | " + row.sketch);
            if (*row.control) {
                EXPECT_PRED2(Matches, board_->Ask(row.control), row.answer);
            }
            if (*row.sketch) {
                Write(std::string(row.sketch) + "\n");
                EXPECT_PRED2(Matches, ReadLine(), row.reply);
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
        {"display 14", "error: no display latched on pin 14", "", ""},
        {"press 1", "error: pins 0 and 1 carry the serial line", "", ""},
        {"pin 20", "error: no pin 20 on the atmega328p (pins 0-19)", "", ""},
        {"turn 2 2 1", "error: the two pins of a turn must differ", "", ""},
        {"analog 8 5", "error: no analog channel 8 on the atmega328p (0-7)", "", ""},
        {"wiggle 3", "error: unknown control line: wiggle 3", "", ""},
    });
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

}  // namespace
