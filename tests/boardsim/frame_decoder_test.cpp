// The emulator's decoder of output frames: every record kind, 7-segment glyphs with their options,
// the LED port block, and broken frames reported rather than guessed.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "boardsim.h"

namespace {

std::string Bytes(std::initializer_list<int> bytes) {
    std::string s;
    for (int b : bytes) s += static_cast<char>(b);
    return s;
}

struct Row {
    const char* config;  // the board's data.cfg section
    int portPin;         // the LED port pin given directly (-1: from the configuration)
    std::string frame;
    const char* records;  // the records as text, blank-separated; or '!' and the error's start
};

TEST(FrameDecoder, RecordsOfEveryKind) {
    const Row rows[] = {
        {"", -1, Bytes({'{', 6, 13, 0x29, 14, 0x28, 15, 0x29}), "L13=on L14=off L15=on"},
        {"", -1, Bytes({'{', 7, 5, 'R', 4, 0x9F, 0x24, 0x0D, 0x99}), "N5=\"12.34\""},
        {"", -1, Bytes({'{', 7, 6, 'R', 4, 0xFF, 0xFF, 0x9F, 0x25}), "N6=\"  12\""},
        {"", -1, Bytes({'{', 5, 7, 'R', 2, 0xFE, 0x49}), "N7=\" .5\""},
        {"", -1,
         Bytes({'{', 13, 9, 'R', 10, 0x03, 0x9F, 0x25, 0x0D, 0x99, 0x49, 0x41, 0x1F, 0x01, 0x09}),
         "N9=\"0123456789\""},
        {"", -1, Bytes({'{', 6, 8, 'R', 3, 0xFD, 0x00, 0x55}), "N8=\"-8.?\""},
        {"", -1, Bytes({'{', 6, 5, 'R', 3, 0x60, 0xDB, 0xF2}), "N5=\"12.3\""},  // inverted
        {"[O]\n5N 2 sim/a 1 4 2 r\n", -1, Bytes({'{', 7, 5, 'R', 4, 0x99, 0x0D, 0x24, 0x9F}),
         "N5=\"12.34\""},
        {"[O]\n6N 2 sim/b 1 4 2 rc\n", -1, Bytes({'{', 7, 6, 'R', 4, 0x66, 0xF2, 0xDB, 0x60}),
         "N6=\"12.34\""},
        {"[O]\n7N 0 sim/c 1 2 1 c\n", -1, Bytes({'{', 5, 7, 'R', 2, 0x00, 0xB6}), "N7=\" 5\""},
        {"", -1, Bytes({'{', 12, 4, 'G', 0, 2, 0xD0, 7, 4, 'G', 0, 0xF6, 0xF8, 0x7F}),
         "G4=(512,2000) G4=(-2560,32760)"},
        {"", -1, Bytes({'{', 9, 9, 'P', 44, 7, 'D', 0, 0, 0x80, 0x3F}), "P9=44 D7=1"},
        {"", -1, Bytes({'{', 6, 12, 'B', 3, 'a', 'b', 'c'}), "B12=\"abc\""},
        {"", -1, Bytes({'{', 5, 100, 'R', 2, 0x80, 0x01}), "port100=[01 80]"},
        {"[A]\nL 40\n[O]\n3l 0 sim/x\n", -1, Bytes({'{', 6, 40, 'R', 1, 0x40, 13, 0x29}),
         "port40=[40] L13=on"},
        {"[A]\nL 40\n", -1, Bytes({'{', 6, 13, 0x28, 40, 'R', 1, 0x9F}), "L13=off N40=\"1\""},
        {"", 22, Bytes({'{', 4, 22, 'R', 1, 0x01}), "port22=[01]"},
        {"", 22, Bytes({'{', 4, 100, 'R', 1, 0x9F}), "N100=\"1\""},
        {"[O]\n9R 0 sim/x\n", -1, Bytes({'{', 6, 9, 'R', 0, 0, 0x20, 0x41}), "R9=10"},
        {"", -1, Bytes({'{', 5, 13, 0x29}), "!"},
        {"", -1, Bytes({'{', 4, 4, 'G', 0, 2}), "!cut 'G' record"},
        {"", -1, Bytes({'{', 3, 13, 0x29, 7}), "!"},
    };
    for (const Row& row : rows) {
        const boardsim::Frame f =
            boardsim::DecodeFrame(row.frame, boardsim::ParseConfigSection(row.config), row.portPin);
        std::string text;
        for (const boardsim::Record& r : f.records)
            text += (text.empty() ? "" : " ") + boardsim::RecordText(r);
        const std::string want = row.records;
        if (want[0] == '!') {
            EXPECT_FALSE(f.ok) << boardsim::Escape(row.frame);
            EXPECT_EQ(f.error.rfind(want.substr(1), 0), 0u) << f.error;
        } else {
            EXPECT_TRUE(f.ok) << boardsim::Escape(row.frame) << ": " << f.error;
            EXPECT_EQ(text, want) << boardsim::Escape(row.frame);
        }
    }
}

}  // namespace
