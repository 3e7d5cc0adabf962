#include "tools/Text.h"
#include "platform/Ascii.h"

#include <gtest/gtest.h>

#include <ostream>

using Lines = std::vector<std::string>;

TEST(Text, SplitsAtEveryKindOfNewlineAndDropsEmptyLines) {
    EXPECT_EQ(Text::splitLines("a\nb\rc\r\nd\ve\ff\xC2\x85g\xE2\x80\xA8h\xE2\x80\xA9i"),
              (Lines{"a", "b", "c", "d", "e", "f", "g", "h", "i"}));
    EXPECT_EQ(Text::splitLines("\n\r\n\na\n\n"), (Lines{"a"}));
    EXPECT_EQ(Text::splitLines(""), Lines{});
    EXPECT_EQ(Text::splitLines("  \n"), (Lines{"  "}));
}

TEST(Text, TrimsUnicodeSpacesButKeepsInnerOnes) {
    EXPECT_EQ(Text::trim(" \t\xC2\xA0"
                         "a b\xE3\x80\x80\n\r"),
              "a b");
    EXPECT_EQ(Text::trim("\xE2\x80\xA8\xE2\x80\x83x"), "x");
    EXPECT_EQ(Text::trimSpaces("\t x \n"), "x \n"); // line breaks are not spaces
    EXPECT_EQ(Text::trimSpaces("\xE2\x80\x89"
                               "2025.01.01 "),
              "2025.01.01");
    EXPECT_EQ(Text::trim("   "), "");
}

TEST(Text, RepairsEachIllFormedSequence) {
    EXPECT_EQ(Text::repairUtf8("a\xC3\xA9"
                               "b"),
              "a\xC3\xA9"
              "b");
    EXPECT_EQ(Text::repairUtf8("\xFF"), "\xEF\xBF\xBD");
    EXPECT_EQ(Text::repairUtf8("\xE2\x82"), "\xEF\xBF\xBD");                             // truncated: one replacement
    EXPECT_EQ(Text::repairUtf8("\xED\xA0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"); // a surrogate
    EXPECT_EQ(Text::repairUtf8("\xC0\xAF"), "\xEF\xBF\xBD\xEF\xBF\xBD");                 // overlong
    std::string owned = "ok\xF0\x9F\x98";
    Text::repairUtf8InPlace(owned);
    EXPECT_EQ(owned, "ok\xEF\xBF\xBD");
}

struct DecodeRow {
    const char* name;
    std::string bytes;
    size_t at;
    Text::CodePoint expected;
};

// Names the row in test listings instead of dumping its bytes.
inline void PrintTo(const DecodeRow& row, std::ostream* out) {
    *out << row.name;
}

class DecodeUtf8 : public testing::TestWithParam<DecodeRow> {};

TEST_P(DecodeUtf8, TakesWellFormedSequencesAndOneMaximalSubpartOfAnIllFormedOne) {
    const Text::CodePoint decoded = Text::decodeUtf8(GetParam().bytes, GetParam().at);
    EXPECT_EQ(decoded.value, GetParam().expected.value);
    EXPECT_EQ(decoded.length, GetParam().expected.length);
    EXPECT_EQ(decoded.valid, GetParam().expected.valid);
}

constexpr char32_t replacement = 0xFFFD;

INSTANTIATE_TEST_SUITE_P(
    Sequences,
    DecodeUtf8,
    testing::Values(DecodeRow{"ascii", "A", 0, {0x41, 1, true}},
                    DecodeRow{"twoBytes", "\xC3\xA9", 0, {0xE9, 2, true}},
                    DecodeRow{"threeBytes", "\xE2\x82\xAC", 0, {0x20AC, 3, true}},
                    DecodeRow{"fourBytes", "\xF0\x9F\x98\x80", 0, {0x1F600, 4, true}},
                    DecodeRow{"highestCodePoint", "\xF4\x8F\xBF\xBF", 0, {0x10FFFF, 4, true}},
                    DecodeRow{"atAnOffset", "a\xC3\xA9", 1, {0xE9, 2, true}},
                    DecodeRow{"truncatedThreeBytes", "\xE2\x82", 0, {replacement, 2, false}},
                    DecodeRow{"truncatedFourBytes", "\xF0\x9F\x98", 0, {replacement, 3, false}},
                    DecodeRow{"badContinuation", "\xC3\x41", 0, {replacement, 1, false}},
                    DecodeRow{"badThirdByteOfFour", "\xF0\x9F\x41\x80", 0, {replacement, 2, false}},
                    DecodeRow{"loneContinuation", "\x80", 0, {replacement, 1, false}},
                    DecodeRow{"overlongTwoBytes", "\xC0\xAF", 0, {replacement, 1, false}},
                    DecodeRow{"overlongThreeBytes", "\xE0\x80\xAF", 0, {replacement, 1, false}},
                    DecodeRow{"overlongFourBytes", "\xF0\x8F\xBF\xBF", 0, {replacement, 1, false}},
                    DecodeRow{"surrogate", "\xED\xA0\x80", 0, {replacement, 1, false}},
                    DecodeRow{"pastTheLastCodePoint", "\xF4\x90\x80\x80", 0, {replacement, 1, false}},
                    DecodeRow{"noLeadByte", "\xF5\x80\x80\x80", 0, {replacement, 1, false}}),
    [](const testing::TestParamInfo<DecodeRow>& row) { return std::string(row.param.name); });

struct CutRow {
    const char* name;
    std::string text;
    size_t count;
    std::string expected;
};

inline void PrintTo(const CutRow& row, std::ostream* out) {
    *out << row.name;
}

class FirstCodePoints : public testing::TestWithParam<CutRow> {};

TEST_P(FirstCodePoints, CutsBetweenCodePointsIntoValidText) {
    EXPECT_EQ(Text::firstCodePoints(GetParam().text, GetParam().count), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cuts,
    FirstCodePoints,
    testing::Values(CutRow{"exactlyAtTheLimit", "a\xC3\xA9\xE2\x82\xAC", 3, "a\xC3\xA9\xE2\x82\xAC"},
                    CutRow{"oneBeforeTheEnd", "a\xC3\xA9\xE2\x82\xAC", 2, "a\xC3\xA9"},
                    CutRow{"shorterThanTheLimit", "ab", 80, "ab"},
                    CutRow{"nothing", "ab", 0, ""},
                    CutRow{"neverInsideFourBytes", "\xF0\x9F\x98\x80\xF0\x9F\x98\x80", 1, "\xF0\x9F\x98\x80"},
                    CutRow{"combiningMarkCountsAlone",
                           "e\xCC\x81"
                           "e\xCC\x81",
                           3,
                           "e\xCC\x81"
                           "e"},
                    CutRow{"badByteCountsAsOneAndIsReplaced",
                           "a\xFF"
                           "bc",
                           2,
                           "a\xEF\xBF\xBD"},
                    CutRow{"truncatedSequenceAtTheEnd", "a\xE2\x82", 5, "a\xEF\xBF\xBD"},
                    CutRow{"badContinuationInsideTheCut",
                           "\xC3\x41"
                           "b",
                           2,
                           "\xEF\xBF\xBD"
                           "A"}),
    [](const testing::TestParamInfo<CutRow>& row) { return std::string(row.param.name); });

TEST(Text, LowerCasesAsciiLettersOnly) {
    EXPECT_EQ(Ascii::lower("MP4 Webm-AZ@[`{"), "mp4 webm-az@[`{");
    // Bytes of other letters are left alone, whatever the locale: "\u00C0\u00C9" stays as it is.
    EXPECT_EQ(Ascii::lower("\xC3\x80\xC3\x89"), "\xC3\x80\xC3\x89");
    EXPECT_EQ(Ascii::lower(""), "");
}

TEST(Text, LastNonEmptyReadingWalksFromTheEnd) {
    const Lines lines{"a 1", "b", "c 2", "d"};
    const auto numbered = [](std::string_view line) {
        return line.size() > 2 ? std::string(line.substr(2)) : std::string();
    };
    EXPECT_EQ(Text::lastNonEmpty(lines, numbered), "2");
    EXPECT_EQ(Text::lastNonEmpty(lines, [](std::string_view) { return std::string(); }), "");
    EXPECT_EQ(Text::lastNonEmpty(Lines{}, numbered), "");
}

struct SummaryRow {
    const char* name;
    std::string standardError;
    std::string expected;
};

// Names the row in test listings instead of dumping its bytes.
inline void PrintTo(const SummaryRow& row, std::ostream* out) {
    *out << row.name;
}

class Summarize : public testing::TestWithParam<SummaryRow> {};

TEST_P(Summarize, CondensesToOneLine) {
    EXPECT_EQ(Text::summarize(GetParam().standardError), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rules,
    Summarize,
    testing::Values(
        SummaryRow{"lastErrorWinsOverLaterLines",
                   "WARNING: a\nERROR: first\nERROR: [generic] Unsupported URL: x\nWARNING: later\n",
                   "[generic] Unsupported URL: x"},
        SummaryRow{"lowerCaseIsNoErrorLine", "error: one\nerror: two\n", "error: two"},
        SummaryRow{"emptyIsUnknown", "", "unknown error"},
        SummaryRow{"blankLinesAreUnknown", " \n\t\r\n\u2028 \n", "unknown error"},
        // Never an empty text: a bare prefix gives way to an earlier error, else to the last line.
        SummaryRow{"prefixOnlyGivesWayToAnEarlierError", "ERROR: first\nERROR:   \n", "first"},
        SummaryRow{"prefixOnlyGivesWayToTheLastLine", "ERROR:   \nWARNING: x\n", "WARNING: x"},
        SummaryRow{"prefixAndCarriageReturnOnly", "ERROR: \r\n", "unknown error"},
        // What yt-dlp 2026.11 prints when the server closes mid-file or stalls (captured bytes).
        SummaryRow{"textAfterTheCarriageReturnOfAClosedTransfer",
                   "ERROR: \r[download] Got error: Downloaded 100000 bytes, expected 3000000 bytes. "
                   "Giving up after 10 retries\n",
                   "[download] Got error: Downloaded 100000 bytes, expected 3000000 bytes. Giving up after 10 retries"},
        SummaryRow{"textAfterTheCarriageReturnOfAStall",
                   "WARNING: x\nERROR: \r[download] Got error: timed out. Giving up after 3 retries\n",
                   "[download] Got error: timed out. Giving up after 3 retries"},
        SummaryRow{"lastNonBlankOverwriteCounts", "ERROR: a\rb \r  \r\n", "b"},
        SummaryRow{
            "progressOverwritesInTheLastLine", "[download]  10%\r[download]  20%\r[download] 30%", "[download] 30%"},
        SummaryRow{"trimsAndKeepsLongLines", "  x\r\n  " + std::string(5000, 'y') + "  \n", std::string(5000, 'y')},
        SummaryRow{"crLfEndsALineButALoneCrDoesNot", "ERROR: a\r\nnext\r\n", "a"},
        SummaryRow{"textAfterALoneCrCounts", "ERROR: a\rnext", "next"}),
    [](const testing::TestParamInfo<SummaryRow>& row) { return std::string(row.param.name); });
