// The whole pipeline with the shipped yt-dlp, deno, ffprobe and ffmpeg against a server on
// 127.0.0.1 that serves media made by ffmpeg for this run.
#include "download/DownloadError.h"
#include "download/VideoDownloader.h"

#include "Players.h"
#include "ServedMediaTest.h"
#include "support/Sandbox.h"
#include "tools/BundledTools.h"
#include "tools/ToolProcess.h"

#include <gtest/gtest.h>

#include <ostream>

#include <memory>

namespace fs = std::filesystem;

namespace {

class PipelineEndToEnd : public ServedMediaTest {
protected:
    // The finished file must be the only thing left in its work folder (a converted source is gone).
    static void expectAloneInWorkFolder(const DownloadedVideo& video) {
        EXPECT_EQ(video.fileURL.parent_path().parent_path(), VideoDownloader::downloadsDirectory());
        std::vector<fs::path> entries;
        for (const auto& entry : fs::directory_iterator(video.fileURL.parent_path()))
            entries.push_back(entry.path());
        EXPECT_EQ(entries, std::vector<fs::path>{video.fileURL});
    }
};

struct PipelineRow {
    const char* name;
    std::string path;
    VideoQuality quality;
    bool forceMP4;
    bool compatibleMP4;
    std::string extension;
    std::optional<std::string> video;
    std::optional<std::string> audio;
    int height;
    bool wasConverted;
    bool wasRemuxed;
    std::string shape{}; // "<profile> <pix_fmt> <width>x<height>" of the video, checked when given
    std::string tag{};   // the video's codec tag, checked when given
    // The video's color_transfer, checked when given ("" for unset): bt709 after a tone-map.
    const char* transfer = nullptr;
    bool played = false;         // mpv, GStreamer and headless Chromium play the file to its end
    const char* title = nullptr; // when given: a page with this title offers the video; the file
                                 // has the title, the page's link as comment, and two chapters
};

// Names the row in test listings instead of dumping its bytes.
inline void PrintTo(const PipelineRow& row, std::ostream* out) {
    *out << row.name;
}

class PipelineRows : public PipelineEndToEnd, public testing::WithParamInterface<PipelineRow> {};

} // namespace

TEST_P(PipelineRows, YieldTheFileCodecsAndHeightTheyShould) {
    const PipelineRow& row = GetParam();
    MediaFixtures::fixture(row.path.substr(1));
    // A titled row downloads a page that offers the fixture.
    const std::string link = row.title ? url(row.path + ".html") : url(row.path);
    if (row.title) {
        HttpRoute page = HttpRoute::answer(200, MediaFixtures::pageFor(url(row.path), row.title));
        page.headers["Content-Type"] = "text/html; charset=utf-8";
        s_server->route(row.path + ".html", page);
    }
    const DownloadedVideo video = VideoDownloader::download(link, row.quality, row.forceMP4, row.compatibleMP4);
    EXPECT_EQ(video.fileURL.extension(), row.extension) << video.fileURL;
    EXPECT_EQ(video.wasConverted, row.wasConverted);
    EXPECT_EQ(video.wasRemuxed, row.wasRemuxed);
    // A repackaged file holds the picture it had: its name claims no other codec.
    EXPECT_TRUE(!row.wasRemuxed || video.fileURL.stem().extension() == "") << video.fileURL;
    const auto streams = MediaFixtures::streamsOf(video.fileURL);
    EXPECT_EQ(streams.video, row.video);
    EXPECT_EQ(streams.audio, row.audio);
    EXPECT_EQ(streams.height, row.height);
    EXPECT_TRUE(row.shape.empty() || streams.shape == row.shape) << streams.shape;
    EXPECT_TRUE(row.tag.empty() || streams.tag == row.tag) << streams.tag;
    if (row.transfer) {
        EXPECT_EQ(streams.transfer, row.transfer);
    }
    if (row.title) {
        EXPECT_EQ(streams.title, row.title);
        EXPECT_EQ(streams.comment, link);
        EXPECT_EQ(streams.chapters, 2);
    }
    const auto decoded =
        ToolProcess::run(BundledTools::ffmpeg(), {"-v", "error", "-i", video.fileURL.string(), "-f", "null", "-"});
    EXPECT_EQ(decoded.status, 0);
    EXPECT_EQ(decoded.standardError, "");
    expectAloneInWorkFolder(video);
    if (!row.played)
        return;
    std::string missing;
    for (const Players::Verdict& verdict : Players::playToEnd(video.fileURL, *s_server, MediaFixtures::folder())) {
        if (verdict.missing)
            missing += verdict.said + "; ";
        else
            EXPECT_TRUE(verdict.playedToEnd) << verdict.player << ": " << verdict.said;
    }
    if (!missing.empty())
        GTEST_SKIP() << missing;
}

INSTANTIATE_TEST_SUITE_P(
    DirectLinksAndDash,
    PipelineRows,
    testing::Values(
        // Direct links: the selector falls through to "b", and the MP4 step repairs the rest.
        PipelineRow{
            "webmConverted", "/clip.webm", VideoQuality::highest, true, false, ".mp4", "h264", "aac", 180, true, false},
        PipelineRow{"webmKeptWithoutForceMp4",
                    "/clip.webm",
                    VideoQuality::highest,
                    false,
                    false,
                    ".webm",
                    "vp9",
                    "opus",
                    180,
                    false,
                    false},
        PipelineRow{
            "mkvRemuxed", "/clip.mkv", VideoQuality::p1080, true, false, ".mp4", "h264", "aac", 180, false, true},
        PipelineRow{
            "mp4KeptAsItIs", "/clip.mp4", VideoQuality::highest, true, true, ".mp4", "h264", "aac", 180, false, false},
        // DASH: H.264 at 180 lines and VP9 at 360 lines, AAC audio.
        PipelineRow{"dashHighestPrefersH264",
                    "/dash/manifest.mpd",
                    VideoQuality::highest,
                    true,
                    false,
                    ".mp4",
                    "h264",
                    "aac",
                    180,
                    false,
                    false},
        PipelineRow{"dashHighestPlainTakesBest",
                    "/dash/manifest.mpd",
                    VideoQuality::highest,
                    false,
                    false,
                    ".mkv",
                    "vp9",
                    "aac",
                    360,
                    false,
                    false},
        PipelineRow{"dash4kResolutionFirstThenConverted",
                    "/dash/manifest.mpd",
                    VideoQuality::p2160,
                    true,
                    false,
                    ".mp4",
                    "h264",
                    "aac",
                    360,
                    true,
                    false},
        PipelineRow{"dash4kCompatible",
                    "/dash/manifest.mpd",
                    VideoQuality::p2160,
                    true,
                    true,
                    ".mp4",
                    "h264",
                    "aac",
                    360,
                    true,
                    false},
        PipelineRow{"dash720PrefersH264",
                    "/dash/manifest.mpd",
                    VideoQuality::p720,
                    true,
                    false,
                    ".mp4",
                    "h264",
                    "aac",
                    180,
                    false,
                    false},
        PipelineRow{"dash480Plain",
                    "/dash/manifest.mpd",
                    VideoQuality::p480,
                    false,
                    false,
                    ".mkv",
                    "vp9",
                    "aac",
                    360,
                    false,
                    false},
        PipelineRow{"dashAudioOnlyM4a",
                    "/dash/manifest.mpd",
                    VideoQuality::audioOnly,
                    true,
                    false,
                    ".m4a",
                    std::nullopt,
                    "aac",
                    0,
                    false,
                    false},
        PipelineRow{"dashAudioOnlyPlain",
                    "/dash/manifest.mpd",
                    VideoQuality::audioOnly,
                    false,
                    false,
                    ".m4a",
                    std::nullopt,
                    "aac",
                    0,
                    false,
                    false},
        // Shapes from the wild: an odd size loses its last column and row; with Compatible only 8-bit
        // 4:2:0 H.264 up to High stays. Two lines a row.
        // clang-format off
        PipelineRow{"oddVp9", "/odd/vp9.webm", VideoQuality::highest, true, false, ".mp4", "h264", "aac", 360,
                    true, false, "High yuv420p 640x360"},
        PipelineRow{"oddAv1", "/odd/av1.webm", VideoQuality::highest, true, false, ".mp4", "h264", "aac", 360,
                    true, false, "High yuv420p 640x360"},
        PipelineRow{"high10Compatible", "/h264/yuv420p10le.mkv", VideoQuality::highest, true, true, ".mp4", "h264",
                    "aac", 180, true, false, "High yuv420p 320x180"},
        PipelineRow{"high10Plain", "/h264/yuv420p10le.mkv", VideoQuality::highest, true, false, ".mp4", "h264",
                    "aac", 180, false, true, "High 10 yuv420p10le 320x180"},
        PipelineRow{"high444Compatible", "/h264/yuv444p.mkv", VideoQuality::highest, true, true, ".mp4", "h264",
                    "aac", 180, true, false, "High yuv420p 320x180"},
        PipelineRow{"high420Compatible", "/h264/yuv420p.mkv", VideoQuality::highest, true, true, ".mp4", "h264",
                    "aac", 180, false, true, "High yuv420p 320x180"},
        // HEVC leaves tagged hvc1, which Apple's players need; an hev1 MP4 is repackaged for it.
        PipelineRow{"hevcTaggedHvc1", "/hevc.mkv", VideoQuality::highest, true, false, ".mp4", "hevc", "aac", 180,
                    false, true, "", "hvc1"},
        PipelineRow{"hevcTaggedHvc1Compatible", "/hevc.mkv", VideoQuality::highest, true, true, ".mp4", "hevc",
                    "aac", 180, false, true, "", "hvc1"},
        PipelineRow{"hev1Repackaged", "/hev1.mp4", VideoQuality::highest, true, false, ".mp4", "hevc", "aac", 180,
                    false, true, "", "hvc1"},
        // HDR becomes SDR H.264 tagged BT.709, never 8-bit video that says PQ or HLG.
        PipelineRow{"pqToneMapped", "/hdr/pq.webm", VideoQuality::highest, true, false, ".mp4", "h264", "aac", 180,
                    true, false, "High yuv420p 320x180", "", "bt709", true},
        PipelineRow{"pqToneMappedCompatible", "/hdr/pq.webm", VideoQuality::highest, true, true, ".mp4", "h264",
                    "aac", 180, true, false, "High yuv420p 320x180", "", "bt709", true},
        PipelineRow{"hlgToneMapped", "/hdr/hlg.webm", VideoQuality::highest, true, false, ".mp4", "h264", "aac",
                    180, true, false, "High yuv420p 320x180", "", "bt709", true},
        PipelineRow{"hlgToneMappedCompatible", "/hdr/hlg.webm", VideoQuality::highest, true, true, ".mp4", "h264",
                    "aac", 180, true, false, "High yuv420p 320x180", "", "bt709", true},
        // Same height in SDR and HDR: yt-dlp's own order takes HDR (tone-mapped here); Compatible
        // takes SDR, whose untagged picture needs no tone-map.
        PipelineRow{"dashHdrPlainTakesHdr", "/hdr/manifest.mpd", VideoQuality::highest, true, false, ".mp4",
                    "h264", "aac", 180, true, false, "", "", "bt709"},
        PipelineRow{"dashHdrCompatibleTakesSdr", "/hdr/manifest.mpd", VideoQuality::highest, true, true, ".mp4",
                    "h264", "aac", 180, true, false, "", "", ""},
        // The page's title, its link and the video's chapters survive a repackage and a conversion.
        PipelineRow{"talkRepackaged", "/talk/h264.mkv", VideoQuality::highest, true, false, ".mp4", "h264",
                    "aac", 180, false, true, "", "", nullptr, false, "Caf\u00e9 talk"},
        PipelineRow{"talkConverted", "/talk/vp9.mkv", VideoQuality::highest, true, true, ".mp4", "h264",
                    "aac", 180, true, false, "", "", nullptr, false, "Caf\u00e9 talk"}),
    // clang-format on
    [](const testing::TestParamInfo<PipelineRow>& test) { return std::string(test.param.name); });

TEST_F(PipelineEndToEnd, A404FailsWithYtdlpsOwnErrorLine) {
    try {
        VideoDownloader::download(url("/missing.webm"), VideoQuality::highest, true, false);
        FAIL() << "no error";
    } catch (const DownloadError& error) {
        EXPECT_EQ(error.kind(), DownloadError::Kind::downloadFailed);
        const std::string text = error.what();
        EXPECT_TRUE(text.starts_with("Download failed: ")) << text;
        EXPECT_NE(text.find("404"), std::string::npos) << text;
        EXPECT_EQ(text.find("ERROR:"), std::string::npos) << text;
    }
}

TEST_F(PipelineEndToEnd, ATitleWithQuotesDollarsAndNonLatinLetters) {
    const std::string name = "it's \"$HOME\" \u0412\u0438\u0434\u0435\u043e \u52d5\u753b";
    fs::copy_file(MediaFixtures::fixture("clip.mkv"), MediaFixtures::folder() / (name + ".mkv"));
    const DownloadedVideo video = VideoDownloader::download(
        url("/it%27s%20%22%24HOME%22%20%D0%92%D0%B8%D0%B4%D0%B5%D0%BE%20%E5%8B%95%E7%94%BB.mkv"),
        VideoQuality::highest,
        true,
        false);
    EXPECT_TRUE(video.wasRemuxed);
    EXPECT_EQ(video.fileURL.extension(), ".mp4");
    EXPECT_NE(video.fileURL.filename().string().find("\u0412\u0438\u0434\u0435\u043e \u52d5\u753b"), std::string::npos)
        << video.fileURL;
    EXPECT_NE(video.fileURL.filename().string().find("$HOME"), std::string::npos) << video.fileURL;
    EXPECT_EQ(MediaFixtures::streamsOf(video.fileURL).video, "h264");
    expectAloneInWorkFolder(video);
}
