#include "download/YtdlpInvocation.h"

#include "DownloadFakes.h"
#include "download/DownloadError.h"
#include "download/WorkFolder.h"
#include "platform/HardwareVideo.h"
#include "support/FakeTool.h"
#include "support/LogCapture.h"
#include "support/Sandbox.h"
#include "tools/BundledTools.h"

#include <gtest/gtest.h>

#include <chrono>

namespace fs = std::filesystem;

namespace {

YtdlpInstallation bundled(std::optional<std::string> version) {
    return {Sandbox::helpers() / "yt-dlp", std::move(version), YtdlpInstallation::Source::bundled};
}

DownloadError::Kind kindOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const DownloadError& error) {
        return error.kind();
    }
    ADD_FAILURE() << "no DownloadError";
    return DownloadError::Kind::toolMissing;
}

} // namespace

TEST(YtdlpInvocation, PassesTheFixedArgumentsTheFormatBlockAndTheAddressLast) {
    HardwareVideo::setAnswerSource([](std::string_view) { return false; });
    DownloadFakes::clearRecords();
    const fs::path work = Sandbox::makeTempFolder("work");
    DownloadFakes::installYtdlp("printf '%s\\n' \"$PWD/clip.mp4\"; : > clip.mp4\n");
    const std::string url = "https://example.test/watch?v=a b'$x";

    const fs::path produced = YtdlpInvocation::run(bundled("2025.01.15"), url, work, VideoQuality::p720, true, false);

    const std::vector<std::string> expected{
        "--ignore-config",
        "--no-plugin-dirs",
        "--no-playlist",
        "--playlist-items",
        "1",
        "--progress",
        "--newline",
        "--progress-template",
        "download:tallowin-progress download %(progress.status)s %(progress.downloaded_bytes)s "
        "%(progress.total_bytes)s %(progress.total_bytes_estimate)s %(progress.speed)s %(progress.eta)s "
        "%(info.format_id)s",
        "--progress-template",
        "postprocess:tallowin-progress postprocess %(progress.status)s %(progress.postprocessor)s",
        "--no-mtime",
        "--socket-timeout",
        "15",
        "--retries",
        "3",
        "--concurrent-fragments",
        "4",
        "--abort-on-unavailable-fragments",
        "--no-simulate",
        "--ffmpeg-location",
        BundledTools::helpersDirectory().string(),
        "--js-runtimes",
        "deno:" + (Sandbox::helpers() / "deno").string(),
        "--output",
        "%(title).180B.%(ext)s",
        "--paths",
        "home:.",
        "--paths",
        "temp:.",
        "--print",
        "before_dl:tallowin-progress formats %(format_id)s %(filename)s",
        "--print",
        "after_move:filepath",
        "--print-to-file",
        "after_move:%(.{title,uploader,upload_date,description,webpage_url,chapters})j",
        ".tallowin-page.json",
        "--format",
        "bv*[vcodec~='^(avc1|h264|hev1|hvc1)'][ext=mp4][height<=720]+ba[acodec~='^mp4a'][ext=m4a]/"
        "bv*[ext=mp4][height<=720]+ba[acodec~='^mp4a'][ext=m4a]/bv*[ext=mp4][height<=720]+ba[ext=m4a]/"
        "b[ext=mp4][height<=720]/bv*[height<=720]+ba/b[height<=720]/b",
        "--batch-file",
        ".tallowin-link"};
    EXPECT_EQ(DownloadFakes::recordedArguments("yt-dlp"), expected);
    EXPECT_EQ(DownloadFakes::recordedLink(), "600 " + url + "\n");
    EXPECT_FALSE(fs::exists(work / ".tallowin-link"));
    EXPECT_EQ(fs::status(work / ".tallowin-page.json").permissions(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(produced, work / "clip.mp4");
    HardwareVideo::setAnswerSource({});
}

TEST(YtdlpInvocation, HighestWithoutMp4HasNoFormatArguments) {
    DownloadFakes::clearRecords();
    const fs::path work = Sandbox::makeTempFolder("work");
    DownloadFakes::installYtdlp(": > clip.webm\n");
    YtdlpInvocation::run(bundled("1"), "https://a.test/v", work, VideoQuality::highest, false, false);
    const auto arguments = DownloadFakes::recordedArguments("yt-dlp");
    ASSERT_EQ(arguments.size(), 36u);
    EXPECT_EQ(arguments.back(), ".tallowin-link");
    EXPECT_EQ(DownloadFakes::recordedLink(), "600 https://a.test/v\n");
}

TEST(YtdlpInvocation, LogsTheCopyAndItsVersion) {
    const fs::path work = Sandbox::makeTempFolder("work");
    DownloadFakes::installYtdlp(": > clip.webm\n");
    LogCapture log;
    YtdlpInvocation::run(bundled(std::nullopt), "https://a.test/v", work, VideoQuality::highest, false, false);
    YtdlpInstallation updated = bundled("2026.01.02");
    updated.source = YtdlpInstallation::Source::updated;
    YtdlpInvocation::run(updated, "https://a.test/v", work, VideoQuality::highest, false, false);
    EXPECT_TRUE(log.contains("Downloading with bundled yt-dlp ?"));
    EXPECT_TRUE(log.contains("Downloading with updated yt-dlp 2026.01.02"));
}

TEST(YtdlpInvocation, NonZeroExitIsDownloadFailedWithTheSummary) {
    const fs::path work = Sandbox::makeTempFolder("work");
    DownloadFakes::installYtdlp("echo \"$PWD/clip.mp4\"; : > clip.mp4\n"
                                "echo 'ERROR: [generic] Unable to download webpage: HTTP Error 404: Not Found' >&2\n"
                                "exit 1\n");
    try {
        YtdlpInvocation::run(bundled("1"), "https://a.test/v", work, VideoQuality::highest, false, false);
        FAIL() << "no error";
    } catch (const DownloadError& error) {
        EXPECT_EQ(error.kind(), DownloadError::Kind::downloadFailed);
        EXPECT_STREQ(error.what(), "Download failed: [generic] Unable to download webpage: HTTP Error 404: Not Found");
    }
}

TEST(YtdlpInvocation, TheLogKeepsTheBugReportSentenceTheUserIsSpared) {
    const std::string error = "[ie] 7: Unable to extract title; please report this issue on  https://github.com/yt-dlp/"
                              "yt-dlp/issues?q= , Confirm you are on the latest version using  yt-dlp -U";
    DownloadFakes::installYtdlp("echo 'ERROR: " + error + "' >&2\nexit 1\n");
    LogCapture log;
    const fs::path work = Sandbox::makeTempFolder("work");
    EXPECT_THROW(YtdlpInvocation::run(bundled("1"), "https://a.test/v", work, VideoQuality::highest, false, false),
                 DownloadError);
    // The journal keeps no query string of any link.
    EXPECT_TRUE(log.contains("yt-dlp failed with status 1: " + error.substr(0, error.find("?q=")) +
                             error.substr(error.find(" , Confirm"))));
}

TEST(YtdlpInvocation, MissingExecutableIsTheLaunchError) {
    const fs::path work = Sandbox::makeTempFolder("work");
    YtdlpInstallation missing{work / "no-such-yt-dlp", "1", YtdlpInstallation::Source::bundled};
    EXPECT_THROW(YtdlpInvocation::run(missing, "https://a.test/v", work, VideoQuality::highest, false, false),
                 std::system_error);
}

// The produced-path rules, on a work folder laid out by each test.
TEST(ProducedFile, LastLineWithSpacesAroundThePath) {
    const fs::path work = Sandbox::makeTempFolder("work");
    writeFile(work / "my clip.mp4", "x");
    writeFile(work / "other.mp4", "x");
    EXPECT_EQ(YtdlpInvocation::producedFile("[info] x\n" + (work / "other.mp4").string() + "\n \t" +
                                                (work / "my clip.mp4").string() + "  \n\n \n",
                                            work),
              work / "my clip.mp4");
}

TEST(ProducedFile, FallbackIgnoresHiddenEntries) {
    const fs::path work = Sandbox::makeTempFolder("work");
    writeFile(work / "clip.webm", "x");
    writeFile(work / ".DS_Store", "x");
    EXPECT_EQ(YtdlpInvocation::producedFile((work / "gone.webm").string() + "\n", work), work / "clip.webm");
    // A yt-dlp that prints nothing gets the same fallback.
    EXPECT_EQ(YtdlpInvocation::producedFile("", work), work / "clip.webm");
}

TEST(ProducedFile, OnlyTheLastLineIsTried) {
    const fs::path work = Sandbox::makeTempFolder("work");
    writeFile(work / "a.webm", "x");
    writeFile(work / "b.webm", "x");
    EXPECT_EQ(kindOf([&] { YtdlpInvocation::producedFile((work / "a.webm").string() + "\nnot a path\n", work); }),
              DownloadError::Kind::noOutputFile);
}

TEST(ProducedFile, TwoCandidatesOrNoneGiveNoOutputFile) {
    const fs::path work = Sandbox::makeTempFolder("work");
    EXPECT_EQ(kindOf([&] { YtdlpInvocation::producedFile("", work); }), DownloadError::Kind::noOutputFile);
    writeFile(work / "clip.webm", "x");
    writeFile(work / "clip.webm.part", "x");
    EXPECT_EQ(kindOf([&] { YtdlpInvocation::producedFile((work / "nope").string(), work); }),
              DownloadError::Kind::noOutputFile);
    EXPECT_EQ(kindOf([&] { YtdlpInvocation::producedFile("", work / "missing-folder"); }),
              DownloadError::Kind::noOutputFile);
}

TEST(ProducedFile, OnlyARegularFileInsideTheWorkFolderCounts) {
    const fs::path outside = Sandbox::makeTempFolder("outside");
    writeFile(outside / "precious.mp4", "keep");
    const fs::path work = Sandbox::makeTempFolder("work");
    writeFile(work / "clip.webm", "x");

    // A path outside, a way out through "..", a directory, and a link inside pointing outside.
    fs::create_directory(work / ".sub");
    fs::create_symlink(outside / "precious.mp4", work / ".link.mp4");
    for (const fs::path& printed : {outside / "precious.mp4",
                                    work / ".." / outside.filename() / "precious.mp4",
                                    work / ".sub",
                                    work / ".link.mp4"}) {
        EXPECT_EQ(YtdlpInvocation::producedFile(printed.string() + "\n", work), work / "clip.webm") << printed;
    }

    // A fallback entry that is a directory or a link is not a produced file either.
    const fs::path onlyLink = Sandbox::makeTempFolder("work");
    fs::create_symlink(outside / "precious.mp4", onlyLink / "clip.mp4");
    EXPECT_EQ(kindOf([&] { YtdlpInvocation::producedFile("", onlyLink); }), DownloadError::Kind::noOutputFile);
    const fs::path onlyFolder = Sandbox::makeTempFolder("work");
    fs::create_directory(onlyFolder / "clip");
    EXPECT_EQ(kindOf([&] { YtdlpInvocation::producedFile("", onlyFolder); }), DownloadError::Kind::noOutputFile);
}

struct ExpansionRow {
    const char* path;
    bool expanded;
};

class ExpandedByYtdlp : public testing::TestWithParam<ExpansionRow> {};

TEST_P(ExpandedByYtdlp, IsALeadingTildeOrAnyDollar) {
    EXPECT_EQ(YtdlpInvocation::expandedByYtdlp(GetParam().path), GetParam().expanded) << GetParam().path;
}

INSTANTIATE_TEST_SUITE_P(Paths,
                         ExpandedByYtdlp,
                         testing::Values(ExpansionRow{"/opt/Tallowin/Contents/Helpers", false},
                                         ExpansionRow{"/home/a b/it's \"q\" 100% \u0412/x~y", false},
                                         ExpansionRow{"~/Tallowin/Contents/Helpers", true},
                                         ExpansionRow{"/home/$HOME/Helpers", true},
                                         ExpansionRow{"/home/${PATH}/Helpers", true},
                                         ExpansionRow{"/home/cost$/Helpers", true}));

TEST(SweepOldDownloads, RemovesOnlyOurWorkFoldersChangedMoreThanADayAgo) {
    const fs::path staging = Sandbox::makeTempFolder("staging");
    const auto now = fs::file_time_type::clock::now();
    auto finished = [&staging] {
        const WorkFolder work(staging);
        writeFile(work.path() / "inner" / "clip.mp4", "x");
        return work.path();
    };
    const fs::path old = finished();
    const fs::path recent = finished();
    // Not ours however old: a folder named like ours without our mark, a file.
    const fs::path lookalike = staging / "0A1B2C3D-0000-4000-8000-000000000000";
    fs::create_directories(lookalike);
    writeFile(staging / "loose-old.webm", "x");
    for (const fs::path& entry : {old, lookalike, staging / "loose-old.webm"})
        fs::last_write_time(entry, now - std::chrono::hours(25));
    YtdlpInvocation::sweepOldDownloads(staging, now);
    EXPECT_FALSE(fs::exists(old));
    EXPECT_TRUE(fs::exists(lookalike));
    EXPECT_TRUE(fs::exists(staging / "loose-old.webm"));
    EXPECT_TRUE(fs::exists(recent / "inner" / "clip.mp4"));
}

TEST(SweepOldDownloads, MissingFolderIsSilent) {
    EXPECT_NO_THROW(YtdlpInvocation::sweepOldDownloads(Sandbox::root() / "no-such-folder"));
}

TEST(ProducedFile, ProgressLinesAreNeverThePath) {
    const fs::path work = Sandbox::makeTempFolder("work");
    // A title that reads as a progress line, and a progress line in the work folder's name space.
    const std::string title = "tallowin-progress download finished 1 1 NA NA NA 0";
    writeFile(work / (title + ".mp4"), "x");
    writeFile(work / "tallowin-progress formats 0", "x");
    EXPECT_EQ(YtdlpInvocation::producedFile((work / (title + ".mp4")).string() + "\n" + title + "\n", work),
              work / (title + ".mp4"));
    // Relative, it would name a file; as our own line it is skipped all the same.
    EXPECT_EQ(kindOf([&] { YtdlpInvocation::producedFile("tallowin-progress formats 0\n", work); }),
              DownloadError::Kind::noOutputFile);
}

TEST(YtdlpInvocation, PostProcessingProgressIsNeverTheFailuresCause) {
    const fs::path work = Sandbox::makeTempFolder("work");
    DownloadFakes::installYtdlp("echo 'the real cause' >&2\n"
                                "echo 'tallowin-progress postprocess started Merger' >&2\nexit 1\n");
    try {
        YtdlpInvocation::run(bundled("2025.01.15"), "https://a.test/v", work, VideoQuality::highest, true, false);
        FAIL() << "no error";
    } catch (const DownloadError& error) {
        EXPECT_EQ(error.kind(), DownloadError::Kind::downloadFailed);
        EXPECT_NE(std::string(error.what()).find("the real cause"), std::string::npos) << error.what();
    }
}
