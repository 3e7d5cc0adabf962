#include "tools/BundledTools.h"

#include "support/FakeTool.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>

#include <optional>
#include <stop_token>

namespace fs = std::filesystem;

TEST(BundledTools, LocationsFollowThePackageAndTheDataFolder) {
    EXPECT_EQ(BundledTools::helpersDirectory(), Sandbox::packageRoot() / "Contents/Helpers");
    EXPECT_EQ(BundledTools::bundledYtdlp(), Sandbox::helpers() / "yt-dlp");
    EXPECT_EQ(BundledTools::ffmpeg(), Sandbox::helpers() / "ffmpeg");
    EXPECT_EQ(BundledTools::ffprobe(), Sandbox::helpers() / "ffprobe");
    EXPECT_EQ(BundledTools::deno(), Sandbox::helpers() / "deno");
    EXPECT_EQ(BundledTools::supportDirectory(), Sandbox::dataHome() / "org.tallowin.Tallowin");
    EXPECT_EQ(BundledTools::updatedYtdlp(), Sandbox::dataHome() / "org.tallowin.Tallowin/yt-dlp");
}

struct VersionCase {
    std::string toolName;
    std::string printed; // the tool's standard output, as printf text
    std::optional<std::string> expected;
};

class VersionRule : public testing::TestWithParam<VersionCase> {};

TEST_P(VersionRule, ReadsTheFirstLineByTheToolsName) {
    const VersionCase& c = GetParam();
    fs::path tool = Sandbox::makeTempFolder("version") / c.toolName;
    writeFakeTool(tool, "printf '" + c.printed + "'\n");
    EXPECT_EQ(BundledTools::version(tool), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rules,
    VersionRule,
    testing::Values(VersionCase{"ffmpeg", "ffmpeg version 7.1.1-static https://x Copyright\\nlibavutil 59\\n", "7.1.1"},
                    VersionCase{"ffmpeg", "ffmpeg version 7.1\\n", "7.1"},
                    VersionCase{"ffmpeg", "ffmpeg version\\n", "ffmpeg version"},
                    VersionCase{"ffprobe", "ffprobe version N-42-gabc Copyright\\n", "N"},
                    VersionCase{"ffprobe", "ffprobe  version   6.0--x\\n", "6.0"},
                    VersionCase{"ffmpeg", "ffmpeg version --\\n", "--"},
                    VersionCase{"some-tool", "tool version 1.2-beta more\\n", "1.2"},
                    VersionCase{"yt-dlp", "\\n  2025.01.15 \\t\\n", "2025.01.15"},
                    VersionCase{"yt-dlp", "\\r\\n   \\nnext\\n", ""},
                    VersionCase{"yt-dlp", "2025.01.15\\r\\n", "2025.01.15"},
                    VersionCase{"deno", "deno 2.1.4 (stable, release, x86_64-unknown-linux-gnu)\\nv8 13\\n", "2.1.4"},
                    VersionCase{"deno", "deno\\n", "deno"},
                    VersionCase{"deno", "  deno  \\n", "  deno  "},
                    // Bytes that are no text: ill-formed UTF-8 reads as U+FFFD, a NUL as any other character.
                    VersionCase{"ffprobe",
                                "\\377\\000 version 7\\3770-x\\n",
                                std::string("7\xEF\xBF\xBD"
                                            "0")},
                    VersionCase{"yt-dlp", "\\377\\376\\n", "\xEF\xBF\xBD\xEF\xBF\xBD"},
                    VersionCase{"yt-dlp", "", std::nullopt},
                    VersionCase{"ffmpeg", "\\n\\n\\r\\n\\f\\v", std::nullopt}),
    [](const testing::TestParamInfo<VersionCase>& test) { return std::to_string(test.index); });

TEST(BundledTools, VersionOptionFollowsTheName) {
    fs::path folder = Sandbox::makeTempFolder("option");
    for (const char* name : {"ffmpeg", "ffprobe", "yt-dlp", "other"})
        writeFakeTool(folder / name, "echo \"$*\"\n"); // one word: every rule returns the whole line
    writeFakeTool(folder / "deno", "echo \"deno $*\"\n");
    EXPECT_EQ(BundledTools::version(folder / "ffprobe"), "-version");
    EXPECT_EQ(BundledTools::version(folder / "ffmpeg"), "-version");
    EXPECT_EQ(BundledTools::version(folder / "yt-dlp"), "--version");
    EXPECT_EQ(BundledTools::version(folder / "deno"), "--version");
    EXPECT_EQ(BundledTools::version(folder / "other"), "--version");
}

TEST(BundledTools, AVersionPrintedBeforeAFailingExitStillCounts) {
    fs::path tool = Sandbox::makeTempFolder("exit") / "deno";
    writeFakeTool(tool, "echo 'deno 2.0.0'\nexit 3\n");
    EXPECT_EQ(BundledTools::version(tool), "2.0.0");
}

TEST(BundledTools, ANonExecutableToolIsNeverRun) {
    fs::path folder = Sandbox::makeTempFolder("noexec");
    writeFakeTool(folder / "yt-dlp", "touch '" + (folder / "ran").string() + "'\necho 2025.01.01\n");
    fs::permissions(folder / "yt-dlp", fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(BundledTools::version(folder / "yt-dlp"), std::nullopt);
    EXPECT_FALSE(fs::exists(folder / "ran"));
    EXPECT_FALSE(BundledTools::isExecutableFile(folder / "yt-dlp"));
}

TEST(BundledTools, BadToolsGiveAnAbsentVersionOrTheirLine) {
    fs::path folder = Sandbox::makeTempFolder("bad");
    fs::create_directory(folder / "ffmpeg"); // a directory named like the tool
    EXPECT_EQ(BundledTools::version(folder / "ffmpeg"), std::nullopt);

    writeFakeTool(folder / "deno", "kill -9 $$\n"); // ended by a signal, printed nothing
    EXPECT_EQ(BundledTools::version(folder / "deno"), std::nullopt);

    writeFakeTool(folder / "yt-dlp", "head -c 10485760 /dev/zero | tr '\\0' 7\necho\necho second\n");
    auto longLine = BundledTools::version(folder / "yt-dlp");
    ASSERT_TRUE(longLine);
    EXPECT_EQ(longLine->size(), 10485760u);
}

TEST(BundledTools, AStoppedLookupIsAbsentEvenAfterItsToolPrintedAVersion) {
    fs::path tool = Sandbox::makeTempFolder("stopped") / "deno";
    writeFakeTool(tool, "echo 'deno 2.0.0'\nexec sleep 60\n");
    std::stop_source stop;
    stop.request_stop();
    EXPECT_EQ(BundledTools::version(tool, stop.get_token()), std::nullopt);
}
