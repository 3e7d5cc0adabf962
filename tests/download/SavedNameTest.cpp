// The name a site's title gives a saved file: nothing that hides it or makes it read as another kind.
#include "download/SavedName.h"

#include "support/Sandbox.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

struct NameRow {
    std::string title; // the name yt-dlp gave the file
    std::string saved;
};

class SavedNames : public testing::TestWithParam<NameRow> {};

TEST_P(SavedNames, AreHonest) {
    EXPECT_EQ(SavedName::honest(GetParam().title), GetParam().saved);
}

INSTANTIATE_TEST_SUITE_P(
    Rule,
    SavedNames,
    testing::Values(NameRow{"Clip \u0412\u0438\u0434\u0435\u043e.mp4", "Clip \u0412\u0438\u0434\u0435\u043e.mp4"},
                    NameRow{"Invoice \u202Egpj.exe.mp4", "Invoice gpj.exe.mp4"},
                    NameRow{"a\u200Bb\u200Fc\u202Ad\u2066e\u2069f\uFEFF.mp4", "abcdef.mp4"},
                    NameRow{"....mp4", "video.mp4"},
                    NameRow{". . ..mp4", "video.mp4"},
                    NameRow{".mp4", "video.mp4"},
                    NameRow{".hidden clip.webm", "_hidden clip.webm"},
                    NameRow{"\u202E.secret.mp4", "_secret.mp4"},
                    NameRow{"bell\a esc\x1b[8m c1\u009B.m4a", "bell_ esc_[8m c1_.m4a"},
                    NameRow{"Vid\xe9o.mp4", "Vid\xe9o.mp4"}),
    [](const testing::TestParamInfo<NameRow>& test) { return "row" + std::to_string(test.index); });

TEST(SavedName, RenamesTheFileInItsFolderUnlessTheNameIsTaken) {
    const std::filesystem::path folder = Sandbox::makeTempFolder("names");
    std::ofstream(folder / "\u202Eclip.mp4") << "x";
    EXPECT_EQ(SavedName::renamedHonestly(folder / "\u202Eclip.mp4"), folder / "clip.mp4");
    EXPECT_TRUE(std::filesystem::exists(folder / "clip.mp4"));
    std::ofstream(folder / "\u200Bclip.mp4") << "y";
    EXPECT_EQ(SavedName::renamedHonestly(folder / "\u200Bclip.mp4"), folder / "\u200Bclip.mp4");
}

} // namespace
