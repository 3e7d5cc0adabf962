// The probe and the conversion with the shipped ffprobe and ffmpeg. Without a VA-API device the
// libx264 attempt alone does the work.
#include "download/DownloadError.h"
#include "download/MediaProbe.h"
#include "download/Mp4Conversion.h"

#include "MediaFixtures.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

namespace fs = std::filesystem;

namespace {

// A private copy of a fixture, since the conversion writes next to its source.
fs::path copyOf(const std::string& name) {
    const fs::path copy = Sandbox::makeTempFolder("conv") / name;
    fs::copy_file(MediaFixtures::fixture(name), copy);
    return copy;
}

const std::set<std::string> compatibleSet{"h264", "hevc"};

// The probe's codecs alone; the fixtures' rows check its duration on their own (about two seconds).
MediaProbe codecsOf(MediaProbe probe) {
    EXPECT_NEAR(probe.durationSeconds.value_or(0), 2.0, 0.1);
    probe.durationSeconds.reset();
    probe.videoProfile.reset();
    probe.videoPixelFormat.reset();
    probe.videoCodecTag.reset();
    probe.colorTransfer.reset();
    probe.colorPrimaries.reset();
    return probe;
}

} // namespace

TEST(Mp4ConversionReal, MkvWithH264AndAacIsRemuxed) {
    const fs::path source = copyOf("clip.mkv");
    const MediaProbe probe = MediaProbe::probe(source);
    EXPECT_EQ(codecsOf(probe), (MediaProbe{"mkv", "h264", "aac"}));
    const auto result = Mp4Conversion::makeMP4(source, probe, compatibleSet);
    EXPECT_EQ(result.file, source.parent_path() / "clip.mp4");
    EXPECT_FALSE(result.reencoded);
    const auto streams = MediaFixtures::streamsOf(result.file);
    EXPECT_EQ(streams.video, "h264");
    EXPECT_EQ(streams.audio, "aac");
}

TEST(Mp4ConversionReal, WebmWithVp9AndOpusIsReencoded) {
    const fs::path source = copyOf("clip.webm");
    const MediaProbe probe = MediaProbe::probe(source);
    EXPECT_EQ(codecsOf(probe), (MediaProbe{"webm", "vp9", "opus"}));
    const auto result = Mp4Conversion::makeMP4(source, probe, compatibleSet);
    EXPECT_EQ(result.file, source.parent_path() / "clip.mp4");
    EXPECT_TRUE(result.reencoded);
    const auto streams = MediaFixtures::streamsOf(result.file);
    EXPECT_EQ(streams.video, "h264");
    EXPECT_EQ(streams.audio, "aac");
    EXPECT_EQ(streams.height, 180);
}

TEST(Mp4ConversionReal, Mp4WithVp9GoesToH264Mp4) {
    const fs::path source = copyOf("vp9.mp4");
    const MediaProbe probe = MediaProbe::probe(source);
    const auto result = Mp4Conversion::makeMP4(source, probe, compatibleSet);
    EXPECT_EQ(result.file, source.parent_path() / "vp9.h264.mp4");
    EXPECT_TRUE(result.reencoded);
    EXPECT_EQ(MediaFixtures::streamsOf(result.file).video, "h264");
    EXPECT_EQ(MediaFixtures::streamsOf(source).video, "vp9") << "the source must stay untouched";
}

TEST(Mp4ConversionReal, HevcWithOpusCopiesTheVideoAndReencodesTheAudio) {
    const fs::path source = copyOf("hevc.mkv");
    const MediaProbe probe = MediaProbe::probe(source);
    EXPECT_EQ(codecsOf(probe), (MediaProbe{"mkv", "hevc", "opus"}));
    const auto plan = Mp4Conversion::plan(probe, compatibleSet);
    EXPECT_FALSE(plan.hardwareDecode);
    const auto arguments =
        Mp4Conversion::arguments(source, Mp4Conversion::outputPath(source), plan, Mp4Conversion::VideoEncoder::copy);
    EXPECT_TRUE(std::find(arguments.begin(), arguments.end(), "-hwaccel") == arguments.end());

    const auto result = Mp4Conversion::makeMP4(source, probe, compatibleSet);
    EXPECT_FALSE(result.reencoded);
    const auto streams = MediaFixtures::streamsOf(result.file);
    EXPECT_EQ(streams.video, "hevc");
    EXPECT_EQ(streams.audio, "aac");
}

TEST(Mp4ConversionReal, NoVideoBecomesAnM4aOfTheAudio) {
    const fs::path source = copyOf("audio.m4a");
    const MediaProbe probe = MediaProbe::probe(source);
    EXPECT_EQ(codecsOf(probe), (MediaProbe{"m4a", std::nullopt, "aac"}));
    const auto result = Mp4Conversion::makeMP4(source, probe, compatibleSet);
    EXPECT_EQ(result.file, source.parent_path() / "audio.audio.m4a");
    EXPECT_FALSE(result.reencoded);
    const auto streams = MediaFixtures::streamsOf(result.file);
    EXPECT_EQ(streams.video, std::nullopt);
    EXPECT_EQ(streams.audio, "aac");
}

// The page's tags win over the file's and come through ffmpeg's escapes whole; its chapters
// replace the file's two; nothing but the MP4 is left beside the source.
TEST(Mp4ConversionReal, ThePagesTagsAndChaptersGoIntoTheMp4) {
    const fs::path source = Sandbox::makeTempFolder("conv") / "talk.mkv";
    fs::copy_file(MediaFixtures::fixture("talk/h264.mkv"), source);
    const PageMetadata page{"Caf\u00e9 = talk; #1 \\ ok",
                            "Someone",
                            "2024-05-01",
                            "line one\nline two",
                            "https://a.test/?v=1",
                            {{0, 0.5, "Hello"}, {0.5, 1.5, "Questions"}, {1.5, 2, "End"}}};
    const auto result = Mp4Conversion::makeMP4(source, MediaProbe::probe(source), compatibleSet, {}, {}, page);
    const auto streams = MediaFixtures::streamsOf(result.file);
    EXPECT_EQ(streams.title, page.title);
    EXPECT_EQ(streams.description, page.description);
    EXPECT_EQ(streams.comment, page.link);
    EXPECT_EQ(streams.chapters, 3);
    EXPECT_EQ(std::distance(fs::directory_iterator(source.parent_path()), fs::directory_iterator()), 2);
}

TEST(Mp4ConversionReal, ProbeOfSomethingThatIsNotMediaIsConversionFailed) {
    const fs::path notMedia = Sandbox::makeTempFolder("conv") / "page.webm";
    std::ofstream(notMedia) << "<html>not a video</html>";
    try {
        MediaProbe::probe(notMedia);
        FAIL() << "no error";
    } catch (const DownloadError& error) {
        EXPECT_STREQ(error.what(), "Converting to MP4 failed: ffprobe could not read the downloaded file");
    }
}
