// The name a site's title gives a saved file: nothing that hides it or makes it read as another kind.
#include "download/SavedName.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

using Row = std::pair<std::string, std::string>; // yt-dlp's name, the saved name

class SavedNames : public testing::TestWithParam<Row> {};

TEST_P(SavedNames, AreHonest) {
    EXPECT_EQ(SavedName::honest(GetParam().first), GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(Rule,
                         SavedNames,
                         testing::Values(Row{"Invoice \u202Egpj.exe.mp4", "Invoice gpj.exe.mp4"},
                                         Row{"a\u200Bb\u200Fc\u202Ad\u2066e\u2069f\uFEFF.mp4", "abcdef.mp4"},
                                         Row{". . ..mp4", "video.mp4"},
                                         Row{".hidden clip.webm", "_hidden clip.webm"},
                                         Row{"\u202E.secret.mp4", "_secret.mp4"},
                                         Row{"bell\a esc\x1b[8m c1\u009B.m4a", "bell_ esc_[8m c1_.m4a"},
                                         Row{"Vid\xe9o \u0412\u0438\u0434\u0435\u043e.mp4",
                                             "Vid\xe9o \u0412\u0438\u0434\u0435\u043e.mp4"}));

} // namespace
