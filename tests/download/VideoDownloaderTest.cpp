#include "download/VideoDownloader.h"

#include "DownloadFakes.h"
#include "download/DownloadError.h"
#include "download/YtdlpInvocation.h"
#include "platform/HardwareVideo.h"
#include "platform/OperationCancelled.h"
#include "support/FakeTool.h"
#include "support/Sandbox.h"
#include "tools/BundledTools.h"
#include "ytdlp/YtdlpResolver.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <future>
#include <regex>
#include <thread>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

const std::string mkvH264Aac =
    R"({"streams":[{"codec_type":"video","codec_name":"h264"},{"codec_type":"audio","codec_name":"aac"}]})";

class VideoDownloaderTest : public testing::Test {
protected:
    void SetUp() override {
        HardwareVideo::setAnswerSource([](std::string_view) { return false; });
        DownloadFakes::installAll();
        DownloadFakes::clearRecords();
    }
    void TearDown() override {
        HardwareVideo::setAnswerSource({});
        std::error_code error;
        fs::remove(BundledTools::updatedYtdlp(), error);
    }

    static DownloadError::Kind failure(const std::function<void()>& action, std::string* text = nullptr) {
        try {
            action();
        } catch (const DownloadError& error) {
            if (text)
                *text = error.what();
            return error.kind();
        }
        ADD_FAILURE() << "no DownloadError";
        return DownloadError::Kind::noOutputFile;
    }

    static std::string missingToolText(VideoQuality quality, bool forceMP4) {
        std::string text;
        EXPECT_EQ(failure([&] { VideoDownloader::download("https://a.test/v", quality, forceMP4, false); }, &text),
                  DownloadError::Kind::toolMissing);
        return text;
    }
};

bool processGone(const std::string& pid) {
    const std::string stat = readFile("/proc/" + pid + "/stat");
    return stat.empty() || stat.find(") Z ") != std::string::npos;
}

} // namespace

TEST_F(VideoDownloaderTest, ChecksTheToolsInOrderBeforeAnythingRuns) {
    fs::remove(Sandbox::helpers() / "ffmpeg");
    EXPECT_EQ(missingToolText(VideoQuality::audioOnly, false),
              "Tallowin is missing its bundled ffmpeg. Reinstall the app.");
    DownloadFakes::installFfmpeg();

    fs::remove(Sandbox::helpers() / "deno");
    EXPECT_EQ(missingToolText(VideoQuality::highest, true), "Tallowin is missing its bundled deno. Reinstall the app.");
    fs::remove(Sandbox::helpers() / "yt-dlp");
    EXPECT_EQ(missingToolText(VideoQuality::highest, true),
              "Tallowin is missing its bundled yt-dlp. Reinstall the app.");

    DownloadFakes::installAll();
    fs::permissions(Sandbox::helpers() / "ffprobe",
                    fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                    fs::perm_options::remove);
    EXPECT_EQ(missingToolText(VideoQuality::p480, false),
              "Tallowin is missing its bundled ffprobe. Reinstall the app.");
    EXPECT_FALSE(fs::exists(DownloadFakes::recordPath("yt-dlp"))) << "yt-dlp ran although a tool was missing";
}

TEST_F(VideoDownloaderTest, AnUpdatedCopyThatLostItsExecutableBitNamesYtdlp) {
    writeFakeTool(BundledTools::updatedYtdlp(), "echo 2099.01.01\n");
    ASSERT_EQ(YtdlpResolver::shared().status().active.source, YtdlpInstallation::Source::updated);
    fs::permissions(BundledTools::updatedYtdlp(),
                    fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec,
                    fs::perm_options::remove);
    fs::remove(Sandbox::helpers() / "yt-dlp");
    EXPECT_EQ(missingToolText(VideoQuality::highest, true),
              "Tallowin is missing its bundled yt-dlp. Reinstall the app.");

    // With the shipped copy back, the download runs that one instead.
    DownloadFakes::installYtdlp(": > clip.mp4\n");
    DownloadFakes::installFfprobe(R"({"streams":[{"codec_type":"video","codec_name":"h264"}]})");
    EXPECT_EQ(VideoDownloader::download("https://a.test/v", VideoQuality::highest, true, false).fileURL.filename(),
              "clip.mp4");
    EXPECT_FALSE(DownloadFakes::recordedArguments("yt-dlp").empty());
}

TEST_F(VideoDownloaderTest, WorksInAFreshUuidFolderAndSweepsOldOnes) {
    DownloadFakes::installYtdlp("printf 'clip\\n' > clip.webm; echo \"$PWD/clip.webm\"\n");
    const fs::path old =
        VideoDownloader::download("https://a.test/v", VideoQuality::highest, false, true).fileURL.parent_path();
    fs::last_write_time(old, fs::file_time_type::clock::now() - 25h);

    const DownloadedVideo video = VideoDownloader::download("https://a.test/v", VideoQuality::highest, false, true);

    EXPECT_FALSE(fs::exists(old));
    EXPECT_EQ(video, (DownloadedVideo{video.fileURL, false, false}));
    EXPECT_EQ(video.fileURL.filename(), "clip.webm");
    const fs::path work = video.fileURL.parent_path();
    EXPECT_EQ(work.parent_path(), VideoDownloader::downloadsDirectory());
    EXPECT_TRUE(std::regex_match(work.filename().string(),
                                 std::regex("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}")));
    EXPECT_FALSE(fs::exists(DownloadFakes::recordPath("ffprobe"))) << "no probe without Force MP4";
}

TEST_F(VideoDownloaderTest, ARunningDownloadOutlivesASweepHoweverOldItsFolderLooks) {
    const fs::path marks = Sandbox::makeTempFolder("marks");
    // yt-dlp says where it runs and waits (boundedly) for the go before it writes its file.
    DownloadFakes::installYtdlp("echo \"$PWD\" > " + DownloadFakes::shellQuoted((marks / "work").string()) +
                                "\nfor i in $(seq 400); do [ -e " +
                                DownloadFakes::shellQuoted((marks / "go").string()) +
                                " ] && break; sleep 0.025; done\nprintf x > clip.webm; echo \"$PWD/clip.webm\"\n");
    auto download = std::async(std::launch::async, [] {
        return VideoDownloader::download("https://a.test/v", VideoQuality::highest, false, false);
    });
    for (int i = 0; i < 400 && readFile(marks / "work").empty(); ++i)
        std::this_thread::sleep_for(25ms);
    const fs::path work = readFile(marks / "work").substr(0, readFile(marks / "work").find('\n'));
    fs::last_write_time(work, fs::file_time_type::clock::now() - 48h);
    YtdlpInvocation::sweepOldDownloads(VideoDownloader::downloadsDirectory()); // a second download's sweep
    writeFile(marks / "go", "");
    EXPECT_EQ(download.get().fileURL, work / "clip.webm");
}

// A staging folder linked to the user's own folder is used, but nothing in it is ever swept (a
// real one loses its old work folders: SweepOldDownloads).
TEST_F(VideoDownloaderTest, ALinkedStagingFolderIsUsedButNeverSwept) {
    const fs::path staging = VideoDownloader::downloadsDirectory();
    const fs::path videos = Sandbox::makeTempFolder("Videos");
    writeFile(videos / "Holiday" / "beach.mp4", "b");
    fs::remove_all(staging);
    fs::create_directories(staging.parent_path());
    fs::create_directory_symlink(videos, staging);
    DownloadFakes::installYtdlp("printf x > clip.webm; echo \"$PWD/clip.webm\"\n");
    fs::path work;
    for (int i = 0; i < 10; ++i)
        work = VideoDownloader::download("https://a.test/v", VideoQuality::highest, false, false).fileURL.parent_path();
    EXPECT_TRUE(fs::equivalent(work.parent_path(), videos)) << work;
    YtdlpInvocation::sweepOldDownloads(staging, fs::file_time_type::clock::now() + 48h);
    EXPECT_TRUE(fs::exists(videos / "Holiday" / "beach.mp4"));
    EXPECT_TRUE(fs::exists(work / "clip.webm"));
}

TEST_F(VideoDownloaderTest, AudioOnlyIsHandedOnWithoutProbe) {
    DownloadFakes::installYtdlp(": > a.m4a; echo \"$PWD/a.m4a\"\n");
    const DownloadedVideo video = VideoDownloader::download("https://a.test/v", VideoQuality::audioOnly, true, true);
    EXPECT_EQ(video.fileURL.filename(), "a.m4a");
    EXPECT_FALSE(video.wasConverted || video.wasRemuxed);
    EXPECT_FALSE(fs::exists(DownloadFakes::recordPath("ffprobe")));
}

TEST_F(VideoDownloaderTest, FittingMp4IsKeptAndOthersAreConvertedAndTheirSourceRemoved) {
    DownloadFakes::installYtdlp(": > clip.mp4; echo \"$PWD/clip.mp4\"\n");
    DownloadFakes::installFfprobe(R"({"streams":[{"codec_type":"video","codec_name":"h264"}]})");
    DownloadedVideo kept = VideoDownloader::download("https://a.test/v", VideoQuality::highest, true, false);
    EXPECT_EQ(kept.fileURL.filename(), "clip.mp4");
    EXPECT_FALSE(kept.wasConverted || kept.wasRemuxed);
    EXPECT_FALSE(fs::exists(DownloadFakes::recordPath("ffmpeg.1")));

    // Opus audio in an MP4 does not fit: remuxed, the video copied, the source gone.
    DownloadFakes::installFfprobe(
        R"({"streams":[{"codec_type":"video","codec_name":"hevc"},{"codec_type":"audio","codec_name":"opus"}]})");
    DownloadedVideo remuxed = VideoDownloader::download("https://a.test/v", VideoQuality::highest, true, false);
    EXPECT_EQ(remuxed.fileURL.filename(), "clip.mp4"); // still HEVC: no "h264" in its name
    EXPECT_TRUE(remuxed.wasRemuxed);
    EXPECT_FALSE(remuxed.wasConverted);
    EXPECT_TRUE(fs::exists(remuxed.fileURL));
    EXPECT_EQ(std::distance(fs::directory_iterator(remuxed.fileURL.parent_path()), fs::directory_iterator()), 1);
}

TEST_F(VideoDownloaderTest, AwkwardTitlesGiveTheRightFile) {
    // A newline in the name splits the printed path, so the work folder's listing finds it.
    const std::string name = "it's \"$HOME\" `id` 100%\n\u0412\u0438\u0434\u0435\u043e \u52d5\u753b.mkv";
    DownloadFakes::installYtdlp(": > " + DownloadFakes::shellQuoted(name) + "; printf '%s\\n' \"$PWD\"/" +
                                DownloadFakes::shellQuoted(name) + "\n");
    DownloadFakes::installFfprobe(mkvH264Aac);
    const DownloadedVideo video = VideoDownloader::download("https://a.test/v", VideoQuality::p1080, true, false);
    // Saved without the control character, which would split every printed path.
    EXPECT_EQ(video.fileURL.filename().string(),
              "it's \"$HOME\" `id` 100%_\u0412\u0438\u0434\u0435\u043e \u52d5\u753b.mp4");
    EXPECT_TRUE(video.wasRemuxed);
    EXPECT_TRUE(fs::exists(video.fileURL));
    EXPECT_FALSE(fs::exists(video.fileURL.parent_path() / name));
}

TEST_F(VideoDownloaderTest, AFileOutsideTheWorkFolderIsNeverTakenNorDeleted) {
    const fs::path outside = Sandbox::makeTempFolder("outside") / "precious.mkv";
    writeFile(outside, "keep");
    DownloadFakes::installFfprobe(mkvH264Aac);
    DownloadFakes::installYtdlp("echo " + DownloadFakes::shellQuoted(outside.string()) + "\n");
    EXPECT_EQ(failure([] { VideoDownloader::download("https://a.test/v", VideoQuality::highest, true, false); }),
              DownloadError::Kind::noOutputFile);

    DownloadFakes::installYtdlp(": > mine.mkv; echo " + DownloadFakes::shellQuoted(outside.string()) + "\n");
    const DownloadedVideo video = VideoDownloader::download("https://a.test/v", VideoQuality::highest, true, false);
    EXPECT_EQ(video.fileURL.filename(), "mine.mp4");
    EXPECT_EQ(readFile(outside), "keep");
}

TEST_F(VideoDownloaderTest, StoppingEndsYtdlpAndItsChildAndIsACancellation) {
    const fs::path marks = Sandbox::makeTempFolder("marks");
    // What yt-dlp writes before the stop (a stream's part and fragment, a finished stream) goes with it.
    DownloadFakes::installYtdlp(": > v.f137.mp4.part; : > v.f137.mp4.part-Frag1; : > v.f140.m4a; echo \"$PWD\" > " +
                                DownloadFakes::shellQuoted((marks / "work").string()) + "\nsleep 60 & echo $! > " +
                                DownloadFakes::shellQuoted((marks / "sleep").string()) + "\nwait\necho done > " +
                                DownloadFakes::shellQuoted((marks / "done").string()) + "\n");
    std::stop_source stop;
    auto download = std::async(std::launch::async, [&] {
        return VideoDownloader::download("https://a.test/v", VideoQuality::highest, true, false, stop.get_token());
    });
    for (int i = 0; i < 400 && readFile(marks / "sleep").empty(); ++i)
        std::this_thread::sleep_for(50ms);
    std::string pid = readFile(marks / "sleep");
    pid.erase(pid.find_last_not_of('\n') + 1);
    stop.request_stop();

    // Generous: a download that signalled only yt-dlp itself would wait for its child's minute.
    const bool returned = download.wait_for(15s) == std::future_status::ready;
    if (!returned && !pid.empty())
        ::kill(std::stoi(pid), SIGKILL); // so that a failing build fails now, not in a minute
    ASSERT_TRUE(returned) << "the download did not return after a stop";
    EXPECT_THROW(download.get(), OperationCancelled);
    EXPECT_FALSE(fs::exists(marks / "done"));
    ASSERT_FALSE(pid.empty());
    for (int i = 0; i < 100 && !processGone(pid); ++i)
        std::this_thread::sleep_for(50ms);
    EXPECT_TRUE(processGone(pid)) << "the tool's own child outlived the stop";
    EXPECT_FALSE(fs::exists(DownloadFakes::recordPath("ffprobe"))) << "a step started after the stop";
    EXPECT_FALSE(fs::exists(readFile(marks / "work").substr(0, readFile(marks / "work").find('\n'))));
}

TEST_F(VideoDownloaderTest, YtdlpPrintingNothingInAnEmptyFolderIsNoOutputFile) {
    DownloadFakes::installYtdlp("");
    std::string text;
    EXPECT_EQ(failure([] { VideoDownloader::download("https://a.test/v", VideoQuality::p720, true, true); }, &text),
              DownloadError::Kind::noOutputFile);
    EXPECT_EQ(text, "yt-dlp finished but did not produce a file.");
}

struct AudioSourceRow {
    const char* name;
    std::string file;
    std::string report;
    std::string expected; // the returned file's name
    bool converted;       // ffmpeg ran at all
    bool wasConverted;
};

inline void PrintTo(const AudioSourceRow& row, std::ostream* out) {
    *out << row.name;
}

class AudioSources : public VideoDownloaderTest, public testing::WithParamInterface<AudioSourceRow> {};

TEST_P(AudioSources, BecomeAnM4aWithForceMp4) {
    const AudioSourceRow& row = GetParam();
    DownloadFakes::installYtdlp(": > " + row.file + "; echo \"$PWD/" + row.file + "\"\n");
    DownloadFakes::installFfprobe(row.report);
    const DownloadedVideo video = VideoDownloader::download("https://a.test/v", VideoQuality::highest, true, false);
    EXPECT_EQ(video.fileURL.filename(), row.expected);
    EXPECT_EQ(fs::exists(DownloadFakes::recordPath("ffmpeg.1")), row.converted);
    EXPECT_EQ(video.wasConverted, row.wasConverted);
    EXPECT_EQ(video.wasRemuxed, row.converted && !row.wasConverted);
    if (row.converted) {
        EXPECT_FALSE(fs::exists(video.fileURL.parent_path() / row.file)) << "the source goes";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files,
    AudioSources,
    testing::Values(
        AudioSourceRow{"m4aWithAacKept",
                       "a.m4a",
                       R"({"streams":[{"codec_type":"audio","codec_name":"aac"}]})",
                       "a.m4a",
                       false,
                       false},
        AudioSourceRow{"m4aWithAlacKept",
                       "a.m4a",
                       R"({"streams":[{"codec_type":"audio","codec_name":"alac"}]})",
                       "a.m4a",
                       false,
                       false},
        AudioSourceRow{
            "mp3Copied", "a.mp3", R"({"streams":[{"codec_type":"audio","codec_name":"mp3"}]})", "a.m4a", true, false},
        AudioSourceRow{"mp3WithCoverPictureCopied",
                       "a.mp3",
                       R"({"streams":[{"codec_type":"audio","codec_name":"mp3"},)"
                       R"({"codec_type":"video","codec_name":"mjpeg","disposition":{"attached_pic":1}}]})",
                       "a.m4a",
                       true,
                       false},
        AudioSourceRow{"opusReencoded",
                       "a.opus",
                       R"({"streams":[{"codec_type":"audio","codec_name":"opus"}]})",
                       "a.m4a",
                       true,
                       true},
        AudioSourceRow{"m4aWithOpusReencoded",
                       "a.m4a",
                       R"({"streams":[{"codec_type":"audio","codec_name":"opus"}]})",
                       "a.audio.m4a",
                       true,
                       true},
        AudioSourceRow{"mp4WithAacOnlyRemuxed",
                       "a.mp4",
                       R"({"streams":[{"codec_type":"audio","codec_name":"aac"}]})",
                       "a.m4a",
                       true,
                       false}),
    [](const testing::TestParamInfo<AudioSourceRow>& test) { return std::string(test.param.name); });
