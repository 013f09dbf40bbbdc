// The byte rules of the wire: serial framing, datagram cutting, kinds and code letters.
#include "exchange/wire_protocol.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

TEST(SerialFraming, LastOpeningBraceBeforeTheClosingOneWins) {
    std::string buffer = "xx{a}{b";
    std::string message;
    ASSERT_TRUE(ExtractSerialFrame(buffer, message));
    EXPECT_EQ(message, "a");
    EXPECT_EQ(buffer, "{b");
    EXPECT_FALSE(ExtractSerialFrame(buffer, message));
    EXPECT_EQ(buffer, "{b");
    buffer += "c}";
    ASSERT_TRUE(ExtractSerialFrame(buffer, message));
    EXPECT_EQ(message, "bc");
    EXPECT_EQ(buffer, "");

    buffer = "{a{b}rest";
    ASSERT_TRUE(ExtractSerialFrame(buffer, message));
    EXPECT_EQ(message, "b");
    EXPECT_EQ(buffer, "rest");
}

TEST(SerialFraming, StrayClosingBraceAndEmptyPairYieldNothingButAreConsumed) {
    std::string buffer = "}{a}";
    std::string message = "old";
    ASSERT_TRUE(ExtractSerialFrame(buffer, message));
    EXPECT_EQ(message, "");
    EXPECT_EQ(buffer, "{a}");
    ASSERT_TRUE(ExtractSerialFrame(buffer, message));
    EXPECT_EQ(message, "a");

    buffer = "{}{z}";
    ASSERT_TRUE(ExtractSerialFrame(buffer, message));
    EXPECT_EQ(message, "");
    EXPECT_EQ(buffer, "{z}");
}

TEST(Datagram, MessageEndsAtTheFirstZeroByte) {
    const char bytes[] = {'a', 'b', 0, 'c', 'd'};
    EXPECT_EQ(MessageFromDatagram(bytes, sizeof bytes), "ab");
    EXPECT_EQ(ClassifyMessage(MessageFromDatagram(bytes, sizeof bytes)), MessageKind::Ignored);
    EXPECT_EQ(MessageFromDatagram("XPQ", 3), "XPQ");
}

TEST(Classification, ByFirstByteAndLength) {
    EXPECT_EQ(ClassifyMessage("|x|3"), MessageKind::Identification);
    EXPECT_EQ(ClassifyMessage("|x|"), MessageKind::Ignored);
    EXPECT_EQ(ClassifyMessage("~a"), MessageKind::Control);
    EXPECT_EQ(ClassifyMessage("~"), MessageKind::Ignored);
    EXPECT_EQ(ClassifyMessage("ab"), MessageKind::Ignored);
    EXPECT_EQ(ClassifyMessage("~ab"), MessageKind::Input);
    EXPECT_EQ(ClassifyMessage("\x01"
                              "D5+"),
              MessageKind::Input);
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
        const int seed = static_cast<unsigned char>(CodeCurrent[5]);
        EXPECT_NE(CodeCurrent[5], oldSeed);
        EXPECT_GE(seed, 'A');
        EXPECT_LE(seed, 'w');
        EXPECT_EQ(CodeCurrent.substr(0, 5).find_first_of("MPR"), std::string::npos) << CodeCurrent;
        int previous = seed;
        for (int p = 0; p < 5; ++p) {
            const int letter = static_cast<unsigned char>(CodeCurrent[p]);
            if (letter != '@') {
                EXPECT_GE(letter - previous, 1);
                EXPECT_LE(letter - previous, 10);
            } else {
                EXPECT_GE(previous + 1, 113);  // only a step past 'z' wraps to '@'
            }
            previous = letter;
        }
    }
    CodeCurrent = saved;
}

}  // namespace
