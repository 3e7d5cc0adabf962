#include "tools/Text.h"

#include <gtest/gtest.h>

using Lines = std::vector<std::string>;

TEST(Text, SplitsAtEveryKindOfNewlineAndDropsEmptyLines) {
    EXPECT_EQ(Text::splitLines("a\nb\rc\r\nd\ve\ff\xC2\x85g\xE2\x80\xA8h\xE2\x80\xA9i"),
              (Lines{"a", "b", "c", "d", "e", "f", "g", "h", "i"}));
    EXPECT_EQ(Text::splitLines("\n\r\n\na\n\n"), (Lines{"a"}));
    EXPECT_EQ(Text::splitLines(""), Lines{});
    EXPECT_EQ(Text::splitLines("  \n"), (Lines{"  "}));
}

TEST(Text, TrimsUnicodeSpacesButKeepsInnerOnes) {
    EXPECT_EQ(Text::trim(" \t\xC2\xA0" "a b\xE3\x80\x80\n\r"), "a b");
    EXPECT_EQ(Text::trim("\xE2\x80\xA8\xE2\x80\x83x"), "x");
    EXPECT_EQ(Text::trimSpaces("\t x \n"), "x \n"); // line breaks are not spaces
    EXPECT_EQ(Text::trimSpaces("\xE2\x80\x89" "2025.01.01 "), "2025.01.01");
    EXPECT_EQ(Text::trim("   "), "");
}

TEST(Text, RepairsEachIllFormedSequence) {
    EXPECT_EQ(Text::repairUtf8("a\xC3\xA9" "b"), "a\xC3\xA9" "b");
    EXPECT_EQ(Text::repairUtf8("\xFF"), "\xEF\xBF\xBD");
    EXPECT_EQ(Text::repairUtf8("\xE2\x82"), "\xEF\xBF\xBD");           // truncated: one replacement
    EXPECT_EQ(Text::repairUtf8("\xED\xA0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"); // a surrogate
    EXPECT_EQ(Text::repairUtf8("\xC0\xAF"), "\xEF\xBF\xBD\xEF\xBF\xBD"); // overlong
    std::string owned = "ok\xF0\x9F\x98";
    Text::repairUtf8InPlace(owned);
    EXPECT_EQ(owned, "ok\xEF\xBF\xBD");
}
