#include "config/text_utils.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(Trim, StripsOnlyBlankTabLineFeedAndCarriageReturn) {
    EXPECT_EQ(Trim("\t  B12 sim/x 1 \r"), "B12 sim/x 1");
    EXPECT_EQ(Trim(" \r\n "), "");
    EXPECT_EQ(Trim(""), "");
    EXPECT_EQ(Trim("\vB1"), "\vB1");
    EXPECT_EQ(Trim("B1\f"), "B1\f");
}

TEST(SplitBy, BlankDelimiterAlsoCutsAtTabsAndCollapsesRuns) {
    EXPECT_THAT(SplitBy("  B5   sim/a\t\t1,2 ", " "), ElementsAre("B5", "sim/a", "1,2"));
    EXPECT_THAT(SplitBy("a\t \tb", " "), ElementsAre("a", "b"));
}

TEST(SplitBy, OtherDelimitersKeepTabsAndBlanks) {
    EXPECT_THAT(SplitBy("a\tb", ","), ElementsAre("a\tb"));
    EXPECT_THAT(SplitBy(",,0,,255,", ","), ElementsAre("0", "255"));
    EXPECT_THAT(SplitBy("1, 2", ","), ElementsAre("1", " 2"));
    EXPECT_THAT(SplitBy("one\n\n\ntwo\r\n", "\n"), ElementsAre("one", "two\r"));
}

TEST(SplitBy, EmptyTextGivesNoFields) {
    EXPECT_THAT(SplitBy("", " "), IsEmpty());
    EXPECT_THAT(SplitBy("", ","), IsEmpty());
    EXPECT_THAT(SplitBy("   ", " "), IsEmpty());
    EXPECT_THAT(SplitBy("=", "="), IsEmpty());
}
