// The byte rules of the wire (serial framing, datagram cutting, kinds and code letters) and the
// tokenising every parser shares.
#include "exchange/wire_protocol.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <tuple>

#include "config/text_utils.h"

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Rows of the receive buffer, whether a '}' cuts a frame out of it, the frame and what is left:
// the last opening brace before the closing one wins; a stray '}' and "{}" give empty frames.
TEST(SerialFraming, LastOpeningBraceBeforeTheClosingOneWins) {
    const std::tuple<const char*, const char*, const char*> rows[] = {
        {"xx{a}{b", "a", "{b"},     {"{b", nullptr, "{b"}, {"{bc}", "bc", ""},
        {"{a{b}rest", "b", "rest"}, {"}{a}", "", "{a}"},   {"{}{z}", "", "{z}"}};
    for (const auto& [before, frame, rest] : rows) {
        std::string buffer = before;
        std::string message = "old";
        EXPECT_EQ(ExtractSerialFrame(buffer, message), frame != nullptr) << before;
        EXPECT_EQ(message, frame ? frame : "") << before;
        EXPECT_EQ(buffer, rest) << before;
    }
}

TEST(Datagram, MessageEndsAtTheFirstZeroByteAndIsClassifiedByFirstByteAndLength) {
    const char bytes[] = {'a', 'b', 0, 'c', 'd'};
    EXPECT_EQ(MessageFromDatagram(bytes, sizeof bytes), "ab");
    EXPECT_EQ(MessageFromDatagram("XPQ", 3), "XPQ");
    EXPECT_EQ(ClassifyMessage("|x|3"), MessageKind::Identification);
    EXPECT_EQ(ClassifyMessage("~a"), MessageKind::Control);
    for (const char* input : {"~ab", "\001D5+"})
        EXPECT_EQ(ClassifyMessage(input), MessageKind::Input);
    for (const char* ignored : {"|x|", "~", "ab"})
        EXPECT_EQ(ClassifyMessage(ignored), MessageKind::Ignored) << ignored;
}

TEST(CodeLetters, MapBackAtTheFirstEqualPosition) {
    const std::string saved = CodeCurrent;
    CodeCurrent = "GHIJKA";
    EXPECT_EQ(MapTypeLetter('H'), 'D');
    EXPECT_EQ(MapTypeLetter('G'), 'E');
    EXPECT_EQ(MapTypeLetter('K'), 'C');
    EXPECT_EQ(MapTypeLetter('E'), 'E');
    CodeCurrent = "HHIJKA";
    EXPECT_EQ(MapTypeLetter('H'), 'E');
    CodeCurrent = saved;
}

TEST(CodeLetters, EachDrawRisesByOneToTenFromANewSeed) {
    const std::string saved = CodeCurrent;
    for (int draw = 0; draw < 500; ++draw) {
        const char oldSeed = CodeCurrent[5];
        DrawCodeLetters();
        ASSERT_EQ(CodeCurrent.size(), 6u);
        EXPECT_NE(CodeCurrent[5], oldSeed);
        EXPECT_EQ(CodeCurrent.substr(0, 5).find_first_of("MPR"), std::string::npos) << CodeCurrent;
        int previous = static_cast<unsigned char>(CodeCurrent[5]);
        EXPECT_TRUE(previous >= 'A' && previous <= 'w') << CodeCurrent;
        for (int p = 0; p < 5; ++p) {
            const int letter = static_cast<unsigned char>(CodeCurrent[p]);
            // Only a rise past 'z' gives '@'.
            const int rise = letter == '@' ? 'z' + 1 - previous : letter - previous;
            EXPECT_TRUE(rise >= 1 && rise <= 10) << CodeCurrent;
            previous = letter;
        }
    }
    CodeCurrent = saved;
}

// Trim strips only blanks, tabs, line feeds and carriage returns. SplitBy's blank delimiter
// also cuts at tabs and collapses runs; other delimiters keep tabs and blanks; empty fields are
// dropped.
TEST(Tokens, TrimAndSplitBy) {
    EXPECT_EQ(Trim("\t  B12 sim/x 1 \r"), "B12 sim/x 1");
    for (const char* blank : {"", " \r\n "}) EXPECT_EQ(Trim(blank), "");
    EXPECT_EQ(Trim("\vB1\f"), "\vB1\f");
    EXPECT_THAT(SplitBy("  B5   sim/a\t\t1,2 ", " "), ElementsAre("B5", "sim/a", "1,2"));
    EXPECT_THAT(SplitBy("a\t \tb", " "), ElementsAre("a", "b"));
    EXPECT_THAT(SplitBy("a\tb", ","), ElementsAre("a\tb"));
    EXPECT_THAT(SplitBy(",,0,,255,", ","), ElementsAre("0", "255"));
    EXPECT_THAT(SplitBy("1, 2", ","), ElementsAre("1", " 2"));
    EXPECT_THAT(SplitBy("one\n\n\ntwo\r\n", "\n"), ElementsAre("one", "two\r"));
    for (const auto& [text, delimiter] : std::vector<std::pair<const char*, const char*>>{
             {"", " "}, {"   ", " "}, {"", ","}, {"=", "="}})
        EXPECT_THAT(SplitBy(text, delimiter), IsEmpty()) << text;
}

}  // namespace
