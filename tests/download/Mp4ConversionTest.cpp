#include "download/Mp4Conversion.h"

#include "DownloadFakes.h"
#include "download/DownloadError.h"
#include "platform/HardwareVideo.h"
#include "platform/OperationCancelled.h"
#include "support/FakeTool.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <ostream>
#include <stop_token>
#include <thread>

namespace fs = std::filesystem;
using Plan = Mp4Conversion::Plan;

namespace {

const std::set<std::string> compatibleSet{"h264", "hevc"};

struct PlanRow {
    const char* name;
    MediaProbe probe;
    std::set<std::string> allowed;
    bool hardwareDecodesAll;
    Plan expected;
};

// Names the row in test listings instead of dumping its bytes.
inline void PrintTo(const PlanRow& row, std::ostream* out) {
    *out << row.name;
}

class ConversionPlan : public testing::TestWithParam<PlanRow> {};

// The hardware fake answers for every codec, and counts how often it was asked.
int g_asked = 0;

class HardwareForTest {
public:
    explicit HardwareForTest(bool decodes) {
        g_asked = 0;
        HardwareVideo::setAnswerSource([decodes](std::string_view) {
            ++g_asked;
            return decodes;
        });
    }
    ~HardwareForTest() { HardwareVideo::setAnswerSource({}); }
};

std::vector<std::string> join(std::initializer_list<std::vector<std::string>> groups) {
    std::vector<std::string> all;
    for (const auto& group : groups)
        all.insert(all.end(), group.begin(), group.end());
    return all;
}

} // namespace

TEST_P(ConversionPlan, DecidesOnceForBothAttempts) {
    HardwareForTest hardware(GetParam().hardwareDecodesAll);
    EXPECT_EQ(Mp4Conversion::plan(GetParam().probe, GetParam().allowed), GetParam().expected);
    if (GetParam().expected.copyVideo) {
        EXPECT_EQ(g_asked, 0) << "no hardware query when the video is copied";
    }
}

INSTANTIATE_TEST_SUITE_P(
    DecisionTable,
    ConversionPlan,
    testing::Values(
        PlanRow{"copyCopy", {"mkv", "h264", "aac"}, compatibleSet, true, {true, true, false}},
        PlanRow{"copyReencodeAudio", {"webm", "hevc", "opus"}, compatibleSet, true, {true, false, false, false, true}},
        PlanRow{"reencodeCopyAudio", {"mkv", "vp9", "mp3"}, compatibleSet, true, {false, true, true}},
        PlanRow{"reencodeBothNoHardware", {"webm", "vp9", "opus"}, compatibleSet, false, {false, false, false}},
        PlanRow{
            "noVideoCodecNoHwaccel", {"mkv", std::nullopt, "alac"}, compatibleSet, true, {false, true, false, true}},
        PlanRow{
            "av1CopiedWhenAllowed", {"mp4", "av1", std::nullopt}, {"h264", "hevc", "av1"}, true, {true, true, false}},
        PlanRow{"av1ReencodedOtherwise", {"mp4", "av1", "aac"}, compatibleSet, true, {false, true, true}},
        // No video stream: an M4A of the audio, no hardware question.
        PlanRow{"audioOnlyAacCopied", {"m4a", std::nullopt, "aac"}, compatibleSet, true, {false, true, false, true}},
        PlanRow{"audioOnlyMp3Copied", {"mp3", std::nullopt, "mp3"}, compatibleSet, true, {false, true, false, true}},
        PlanRow{
            "audioOnlyOpusReencoded", {"opus", std::nullopt, "opus"}, compatibleSet, true, {false, false, false, true}},
        // HEVC keeps its picture but gets the tag Apple's players need; HDR is tone-mapped in software.
        PlanRow{"hevcCopiedAsHvc1", {"mkv", "hevc", "aac"}, compatibleSet, true, {true, true, false, false, true}},
        PlanRow{"hdrToneMappedWithoutHardware",
                {"webm", "vp9", "opus", {}, {}, {}, {}, "smpte2084"},
                compatibleSet,
                true,
                {false, false, false, false, false, true}},
        PlanRow{"hlgHevcCopiedAsItIs",
                {"mkv", "hevc", "aac", {}, {}, {}, {}, "arib-std-b67"},
                compatibleSet,
                true,
                {true, true, false, false, true, false}},
        PlanRow{"nothingAtAllIsNoAudioOnly",
                {"bin", std::nullopt, std::nullopt},
                compatibleSet,
                true,
                {false, true, false, false}}),
    [](const testing::TestParamInfo<PlanRow>& test) { return std::string(test.param.name); });

struct FitRow {
    const char* name;
    MediaProbe probe;
    std::set<std::string> allowed;
    bool fits;
};

inline void PrintTo(const FitRow& row, std::ostream* out) {
    *out << row.name;
}

class AlreadyFits : public testing::TestWithParam<FitRow> {};

TEST_P(AlreadyFits, OnlyWhenTheContainerAndEveryStreamMayStay) {
    HardwareForTest hardware(true);
    EXPECT_EQ(Mp4Conversion::alreadyFits(GetParam().probe, GetParam().allowed), GetParam().fits);
    EXPECT_EQ(g_asked, 0) << "the check asks the hardware nothing";
}

INSTANTIATE_TEST_SUITE_P(
    FitTable,
    AlreadyFits,
    testing::Values(FitRow{"mp4H264Aac", {"mp4", "h264", "aac"}, compatibleSet, true},
                    FitRow{"mp4WithoutAudio", {"mp4", "hevc", std::nullopt}, compatibleSet, true},
                    FitRow{"mp4OpusAudio", {"mp4", "h264", "opus"}, compatibleSet, false},
                    FitRow{"mp4Vp9Video", {"mp4", "vp9", "aac"}, compatibleSet, false},
                    FitRow{"mp4Av1WhenAllowed", {"mp4", "av1", "aac"}, {"h264", "hevc", "av1"}, true},
                    FitRow{"mp4Av1Otherwise", {"mp4", "av1", "aac"}, compatibleSet, false},
                    FitRow{"mkvWithStreamsThatFit", {"mkv", "h264", "aac"}, compatibleSet, false},
                    FitRow{"m4aAac", {"m4a", std::nullopt, "aac"}, compatibleSet, true},
                    FitRow{"m4aOpus", {"m4a", std::nullopt, "opus"}, compatibleSet, false},
                    FitRow{"mp3Alone", {"mp3", std::nullopt, "mp3"}, compatibleSet, false},
                    FitRow{"mp4AudioAlone", {"mp4", std::nullopt, "aac"}, compatibleSet, false},
                    FitRow{"m4aWithVideo", {"m4a", "h264", "aac"}, compatibleSet, false},
                    FitRow{"mp4WithNoStreams", {"mp4", std::nullopt, std::nullopt}, compatibleSet, false},
                    FitRow{"mp4Hev1", {"mp4", "hevc", "aac", {}, {}, {}, "hev1"}, compatibleSet, false},
                    FitRow{"mp4Hvc1", {"mp4", "hevc", "aac", {}, {}, {}, "hvc1"}, compatibleSet, true}),
    [](const testing::TestParamInfo<FitRow>& row) { return std::string(row.param.name); });

TEST(Mp4Conversion, OutputSitsNextToTheSourceAndNeverOnIt) {
    EXPECT_EQ(Mp4Conversion::outputPath("/w/Title.webm"), fs::path("/w/Title.mp4"));
    EXPECT_EQ(Mp4Conversion::outputPath("/w/Title.mp4"), fs::path("/w/Title.h264.mp4"));
    EXPECT_EQ(Mp4Conversion::outputPath("/w/a.b.mkv"), fs::path("/w/a.b.mp4"));
    EXPECT_EQ(Mp4Conversion::outputPath("/w/Title"), fs::path("/w/Title.mp4"));
    EXPECT_EQ(Mp4Conversion::outputPath("/w/Title.opus", true), fs::path("/w/Title.m4a"));
    EXPECT_EQ(Mp4Conversion::outputPath("/w/Title.m4a", true), fs::path("/w/Title.audio.m4a"));
}

TEST(Mp4Conversion, AudioOnlyMapsTheFirstAudioStreamIntoTheMp4Muxer) {
    const Plan copy{false, true, false, true};
    const Plan reencode{false, false, false, true};
    const std::vector<std::string> head{"-hide_banner",
                                        "-nostdin",
                                        "-y",
                                        "-progress",
                                        "pipe:1",
                                        "-nostats",
                                        "-i",
                                        "/w/a.mp3",
                                        "-map",
                                        "0:a:0",
                                        "-map_metadata",
                                        "0",
                                        "-map_chapters",
                                        "0"};
    const std::vector<std::string> tail{"-movflags", "+faststart", "-f", "mp4", "/w/a.m4a"};
    EXPECT_EQ(Mp4Conversion::arguments("/w/a.mp3", "/w/a.m4a", copy, Mp4Conversion::VideoEncoder::hardware),
              join({head, {"-c:a", "copy"}, tail}));
    EXPECT_EQ(Mp4Conversion::arguments("/w/a.mp3", "/w/a.m4a", reencode, Mp4Conversion::VideoEncoder::software),
              join({head, {"-c:a", "aac", "-b:a", "192k"}, tail}));
}

TEST(Mp4Conversion, AudioOnlyRunsOnceAndReportsAReencodeOfTheAudio) {
    HardwareForTest hardware(true);
    DownloadFakes::clearRecords();
    DownloadFakes::installFfmpeg();
    const fs::path source = Sandbox::makeTempFolder("conv") / "T.opus";
    writeFile(source, "opus");
    const auto result = Mp4Conversion::makeMP4(source, {"opus", std::nullopt, "opus"}, compatibleSet);
    EXPECT_EQ(result.file, source.parent_path() / "T.m4a");
    EXPECT_TRUE(result.reencoded);
    EXPECT_FALSE(fs::exists(DownloadFakes::recordPath("ffmpeg.2")));
    EXPECT_EQ(g_asked, 0) << "no hardware question for audio";
}

// ffmpeg 5.1's standard error on a full disk and other failures, captured from real runs (the
// file's metadata lines shortened).
const std::string remuxOntoAFullDisk =
    "Input #0, matroska,webm, from 'src.mkv':\n  Metadata:\n    ENCODER         : Lavf59.27.100\n"
    "Output #0, mp4, to 'tiny/src.mp4':\nStream mapping:\n  Stream #0:0 -> #0:0 (copy)\n"
    "  Stream #0:1 -> #0:1 (copy)\n"
    "frame=    0 fps=0.0 q=-1.0 size=       0kB time=00:00:00.02 bitrate=  16.5kbits/s speed=2.32e+04x    "
    "\rav_interleaved_write_frame(): No space left on device\n"
    "[mp4 @ 0x55982aef5740] Starting second pass: moving the moov atom to the beginning of the file\n"
    "Error writing trailer of tiny/src.mp4: No space left on device\n"
    "frame=  438 fps=0.0 q=-1.0 Lsize=     256kB time=00:00:17.50 bitrate= 119.8kbits/s speed= 545x    \n"
    "video:365kB audio:148kB subtitle:0kB other streams:0kB global headers:0kB muxing overhead: unknown\n"
    "Error closing file tiny/src.mp4: No space left on device\nConversion failed!\n";
const std::string headerOntoDevFull =
    "Input #0, matroska,webm, from 'src.mkv':\n"
    "Could not write header for output file #0 (incorrect codec parameters ?): No space left on device\n"
    "Error initializing output stream 0:1 -- \nStream mapping:\n  Stream #0:0 -> #0:0 (copy)\n"
    "  Stream #0:1 -> #0:1 (copy)\n    Last message repeated 1 times\n";
const std::string reencodeOntoAFullDiskWithXerror =
    "Output #0, mp4, to 'tiny/src.mp4':\n"
    "frame=  440 fps=144 q=25.0 size=     256kB time=00:00:17.60 bitrate= 119.2kbits/s dup=1 drop=0 speed=5.75x    "
    "\r[mp4 @ 0x56202ef7bc40] Starting second pass: moving the moov atom to the beginning of the file\n"
    "Error writing trailer of tiny/src.mp4: No space left on device\n"
    "[aac @ 0x56202ef7f900] Qavg: 65147.570\nConversion failed!\n";
// The same re-encode without -xerror: ffmpeg exits 0.
const std::string reencodeOntoAFullDiskExitingZero =
    "frame=  466 fps=129 q=25.0 size=     256kB time=00:00:18.62 bitrate= 112.6kbits/s dup=1 drop=0 speed=5.17x    "
    "\rError writing trailer of tiny/src.mp4: No space left on device\n"
    "frame=  501 fps=128 q=-1.0 Lsize=     256kB time=00:00:20.03 bitrate= 104.7kbits/s dup=1 drop=0 speed=5.14x    \n"
    "Error closing file tiny/src.mp4: No space left on device\n[aac @ 0x5606a8aa2a00] Qavg: 65147.570\n";

struct FfmpegSummaryRow {
    const char* name;
    std::string standardError;
    std::string expected;
};

inline void PrintTo(const FfmpegSummaryRow& row, std::ostream* out) {
    *out << row.name;
}

class FfmpegFailureSummary : public testing::TestWithParam<FfmpegSummaryRow> {};

TEST_P(FfmpegFailureSummary, NamesTheCause) {
    EXPECT_EQ(Mp4Conversion::failureSummary(GetParam().standardError), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    CapturedRuns,
    FfmpegFailureSummary,
    testing::Values(
        FfmpegSummaryRow{
            "remuxOntoAFullDisk", remuxOntoAFullDisk, "Error closing file tiny/src.mp4: No space left on device"},
        FfmpegSummaryRow{
            "headerOntoDevFull",
            headerOntoDevFull,
            "Could not write header for output file #0 (incorrect codec parameters ?): No space left on device"},
        FfmpegSummaryRow{"reencodeWithXerror",
                         reencodeOntoAFullDiskWithXerror,
                         "Error writing trailer of tiny/src.mp4: No space left on device"},
        FfmpegSummaryRow{
            "progressOverwrittenByTheCause",
            "frame=    0 size=0kB    \rav_interleaved_write_frame(): Disk quota exceeded\nConversion failed!\n",
            "av_interleaved_write_frame(): Disk quota exceeded"},
        FfmpegSummaryRow{"permissionDenied", "/w/T.mp4: Permission denied\n", "/w/T.mp4: Permission denied"},
        FfmpegSummaryRow{"noSystemErrorSkipsTheClosingLine",
                         "Stream map '0:v:0' matches no streams.\nTo ignore this, add a trailing '?' to the map.\n"
                         "Conversion failed!\n",
                         "To ignore this, add a trailing '?' to the map."},
        FfmpegSummaryRow{"theEncodersOwnCause",
                         "Stream mapping:\n[libx264 @ 0x55bd8ccf1dc0] width not divisible by 2 (641x361)\n"
                         "Error initializing output stream 0:0 -- Error while opening encoder for output stream #0:0 "
                         "- maybe incorrect parameters such as bit_rate, rate, width or height\n"
                         "[aac @ 0x55bd8ccf2d00] 2 frames left in the queue on closing\nConversion failed!\n",
                         "[libx264 @ 0x55bd8ccf1dc0] width not divisible by 2 (641x361)"},
        FfmpegSummaryRow{"onlyTheClosingLine", "Conversion failed!\n", "Conversion failed!"},
        FfmpegSummaryRow{"errorPrefixStillWins", "ERROR: muxer says no\nConversion failed!\n", "muxer says no"},
        FfmpegSummaryRow{"nothing", "", "unknown error"}),
    [](const testing::TestParamInfo<FfmpegSummaryRow>& test) { return std::string(test.param.name); });

TEST(Mp4Conversion, AFailedTrailerOrCloseIsAnUnfinishedOutput) {
    EXPECT_TRUE(Mp4Conversion::outputUnfinished(reencodeOntoAFullDiskExitingZero));
    EXPECT_TRUE(Mp4Conversion::outputUnfinished(remuxOntoAFullDisk));
    EXPECT_FALSE(Mp4Conversion::outputUnfinished(headerOntoDevFull));
    EXPECT_FALSE(Mp4Conversion::outputUnfinished("frame=  501 fps=128\nvideo:173kB audio:217kB\n"));
}

struct LeftoverRow {
    const char* name;
    MediaProbe probe;
    std::string ffmpegBody; // writes part of $out, then fails its way
    std::string summary;
    int runs;
};

inline void PrintTo(const LeftoverRow& row, std::ostream* out) {
    *out << row.name;
}

class FailedAttemptLeavesNothing : public testing::TestWithParam<LeftoverRow> {};

TEST_P(FailedAttemptLeavesNothing, RemovesTheOutputAndNamesTheCause) {
    HardwareForTest hardware(false);
    DownloadFakes::clearRecords();
    DownloadFakes::installFfmpeg(GetParam().ffmpegBody);
    const fs::path source = Sandbox::makeTempFolder("conv") / "T.mkv";
    writeFile(source, "mkv");
    try {
        Mp4Conversion::makeMP4(source, GetParam().probe, compatibleSet);
        FAIL() << "no error";
    } catch (const DownloadError& error) {
        EXPECT_EQ(error.kind(), DownloadError::Kind::conversionFailed);
        EXPECT_EQ(error.payload(), GetParam().summary);
    }
    std::vector<fs::path> left;
    for (const auto& entry : fs::directory_iterator(source.parent_path()))
        left.push_back(entry.path());
    EXPECT_EQ(left, std::vector<fs::path>{source});
    EXPECT_EQ(fs::exists(DownloadFakes::recordPath("ffmpeg.2")), GetParam().runs == 2);
}

INSTANTIATE_TEST_SUITE_P(
    Attempts,
    FailedAttemptLeavesNothing,
    testing::Values(LeftoverRow{"remuxOntoAFullDisk",
                                {"mkv", "h264", "aac"},
                                "echo half > \"$out\"; printf '%s' " + DownloadFakes::shellQuoted(remuxOntoAFullDisk) +
                                    " >&2; exit 1\n",
                                "Error closing file tiny/src.mp4: No space left on device",
                                1},
                    LeftoverRow{"softwareAttemptOntoAFullDisk",
                                {"mkv", "vp9", "opus"},
                                "echo half > \"$out\"; printf '%s' " +
                                    DownloadFakes::shellQuoted(reencodeOntoAFullDiskWithXerror) + " >&2; exit 1\n",
                                "Error writing trailer of tiny/src.mp4: No space left on device",
                                2},
                    LeftoverRow{"exitZeroWithAFailedTrailer",
                                {"mkv", "h264", "aac"},
                                "echo half > \"$out\"; printf '%s' " +
                                    DownloadFakes::shellQuoted(reencodeOntoAFullDiskExitingZero) + " >&2; exit 0\n",
                                "Error closing file tiny/src.mp4: No space left on device",
                                1},
                    LeftoverRow{"audioOnlyOntoAFullDisk",
                                {"mkv", std::nullopt, "opus"},
                                "echo half > \"$out\"; printf '%s' " + DownloadFakes::shellQuoted(remuxOntoAFullDisk) +
                                    " >&2; exit 1\n",
                                "Error closing file tiny/src.mp4: No space left on device",
                                1}),
    [](const testing::TestParamInfo<LeftoverRow>& test) { return std::string(test.param.name); });

TEST(Mp4Conversion, HardwareFailureRemovesItsOutputAndRetriesInSoftwareKeepingTheDecode) {
    HardwareForTest hardware(true);
    DownloadFakes::clearRecords();
    // The hardware attempt leaves a broken file and fails; the software attempt refuses to run
    // over a leftover, so the test fails unless the leftover was removed.
    DownloadFakes::installFfmpeg("case \" $* \" in *h264_vaapi*) echo broken > \"$out\"; "
                                 "echo 'Failed to open VAAPI device' >&2; exit 1;; esac\n"
                                 "[ -e \"$out\" ] && { echo 'ERROR: leftover' >&2; exit 1; }\n"
                                 "echo video > \"$out\"\n");
    const fs::path source = Sandbox::makeTempFolder("conv") / "T.webm";
    writeFile(source, "webm");

    const auto result = Mp4Conversion::makeMP4(source, {"webm", "vp9", "opus"}, compatibleSet);

    EXPECT_EQ(result.file, source.parent_path() / "T.mp4");
    EXPECT_TRUE(result.reencoded);
    EXPECT_TRUE(fs::exists(source)) << "removing the source is the caller's job";
    const std::vector<std::string> head{"-hide_banner",
                                        "-nostdin",
                                        "-y",
                                        "-progress",
                                        "pipe:1",
                                        "-nostats",
                                        "-hwaccel",
                                        "vaapi",
                                        "-i",
                                        source.string(),
                                        "-map",
                                        "0:v:0",
                                        "-map",
                                        "0:a:0?",
                                        "-map_metadata",
                                        "0",
                                        "-map_chapters",
                                        "0"};
    const std::vector<std::string> tail{"-c:a", "aac", "-b:a", "192k", "-movflags", "+faststart", result.file.string()};
    const std::vector<std::string> evenSize{"-vf", "crop=trunc(iw/2)*2:trunc(ih/2)*2:0:0"};
    EXPECT_EQ(DownloadFakes::recordedArguments("ffmpeg.1"),
              join({head,
                    {"-vaapi_device",
                     HardwareVideo::renderNode().string(),
                     "-vf",
                     "crop=trunc(iw/2)*2:trunc(ih/2)*2:0:0,format=nv12,hwupload",
                     "-c:v",
                     "h264_vaapi",
                     "-qp",
                     "24"},
                    tail}));
    EXPECT_EQ(
        DownloadFakes::recordedArguments("ffmpeg.2"),
        join({head, evenSize, {"-c:v", "libx264", "-preset", "veryfast", "-crf", "20", "-pix_fmt", "yuv420p"}, tail}));
}

TEST(Mp4Conversion, WithoutAUsableDeviceOnlyLibx264RunsAndItsFailureIsFinal) {
    HardwareVideo::setAnswerSource([](std::string_view) { return false; }, false);
    DownloadFakes::clearRecords();
    DownloadFakes::installFfmpeg("case \" $* \" in *libx264*) echo 'ERROR: x264 says no' >&2;; esac\nexit 1\n");
    const fs::path source = Sandbox::makeTempFolder("conv") / "T.webm";
    writeFile(source, "webm");
    EXPECT_THROW(Mp4Conversion::makeMP4(source, {"webm", "vp9", "opus"}, compatibleSet), DownloadError);
    HardwareVideo::setAnswerSource({});
    const auto first = DownloadFakes::recordedArguments("ffmpeg.1");
    EXPECT_TRUE(std::find(first.begin(), first.end(), "libx264") != first.end());
    EXPECT_FALSE(fs::exists(DownloadFakes::recordPath("ffmpeg.2")));
}

TEST(Mp4Conversion, AStopEndsFfmpegRemovesItsOutputAndStartsNoSecondAttempt) {
    HardwareForTest hardware(true);
    DownloadFakes::clearRecords();
    const fs::path started = Sandbox::makeTempFolder("started") / "ffmpeg";
    // The hardware attempt writes part of its output, then works on until it is stopped.
    DownloadFakes::installFfmpeg("echo half > \"$out\"; : > " + DownloadFakes::shellQuoted(started.string()) +
                                 "; exec sleep 60\n");
    const fs::path source = Sandbox::makeTempFolder("conv") / "T.webm";
    writeFile(source, "webm");
    std::stop_source stop;
    std::jthread stopper([&] {
        for (int i = 0; i < 400 && !fs::exists(started); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
        stop.request_stop();
    });

    EXPECT_THROW(Mp4Conversion::makeMP4(source, {"webm", "vp9", "opus"}, compatibleSet, stop.get_token()),
                 OperationCancelled);
    EXPECT_TRUE(fs::exists(started)) << "ffmpeg never ran";
    EXPECT_FALSE(fs::exists(source.parent_path() / "T.mp4")) << "the stopped attempt's output stayed";
    EXPECT_TRUE(fs::exists(source));
    EXPECT_FALSE(fs::exists(DownloadFakes::recordPath("ffmpeg.2"))) << "a second attempt started after the stop";
}

TEST(Mp4Conversion, CopyingRunsOnceAndFailsWithItsSummary) {
    HardwareForTest hardware(true);
    DownloadFakes::clearRecords();
    DownloadFakes::installFfmpeg("echo 'ERROR: muxer says no' >&2; exit 1\n");
    const fs::path source = Sandbox::makeTempFolder("conv") / "name.mkv";
    writeFile(source, "mkv");
    try {
        Mp4Conversion::makeMP4(source, {"mkv", "h264", "aac"}, compatibleSet);
        FAIL() << "no error";
    } catch (const DownloadError& error) {
        EXPECT_STREQ(error.what(), "Converting to MP4 failed: muxer says no");
    }
    EXPECT_EQ(DownloadFakes::recordedArguments("ffmpeg.1"),
              (std::vector<std::string>{"-hide_banner",
                                        "-nostdin",
                                        "-y",
                                        "-progress",
                                        "pipe:1",
                                        "-nostats",
                                        "-i",
                                        source.string(),
                                        "-map",
                                        "0:v:0",
                                        "-map",
                                        "0:a:0?",
                                        "-map_metadata",
                                        "0",
                                        "-map_chapters",
                                        "0",
                                        "-c:v",
                                        "copy",
                                        "-c:a",
                                        "copy",
                                        "-movflags",
                                        "+faststart",
                                        (source.parent_path() / "name.mp4").string()}));
    EXPECT_FALSE(fs::exists(DownloadFakes::recordPath("ffmpeg.2")));
}

TEST(Mp4Conversion, SuccessWithoutAnOutputFileFailsWithoutASecondAttempt) {
    HardwareForTest hardware(false);
    DownloadFakes::clearRecords();
    DownloadFakes::installFfmpeg("echo 'said ok' >&2; exit 0\n");
    const fs::path source = Sandbox::makeTempFolder("conv") / "T.webm";
    writeFile(source, "webm");
    try {
        Mp4Conversion::makeMP4(source, {"webm", "vp9", "opus"}, compatibleSet);
        FAIL() << "no error";
    } catch (const DownloadError& error) {
        EXPECT_EQ(error.kind(), DownloadError::Kind::conversionFailed);
        EXPECT_EQ(error.payload(), "said ok");
    }
    EXPECT_FALSE(fs::exists(DownloadFakes::recordPath("ffmpeg.2")));
}

TEST(Mp4Conversion, BothAttemptsFailingReportsTheSecond) {
    HardwareForTest hardware(false);
    DownloadFakes::clearRecords();
    DownloadFakes::installFfmpeg(
        "case \" $* \" in *libx264*) echo 'ERROR: second' >&2;; *) echo 'ERROR: first' >&2;; esac\n"
        "exit 1\n");
    const fs::path source = Sandbox::makeTempFolder("conv") / "T.mp4";
    writeFile(source, "mp4");
    try {
        Mp4Conversion::makeMP4(source, {"mp4", "vp9", "aac"}, compatibleSet);
        FAIL() << "no error";
    } catch (const DownloadError& error) {
        EXPECT_EQ(error.payload(), "second");
    }
    const auto second = DownloadFakes::recordedArguments("ffmpeg.2");
    ASSERT_FALSE(second.empty());
    EXPECT_EQ(second.back(), (source.parent_path() / "T.h264.mp4").string());
    EXPECT_TRUE(std::find(second.begin(), second.end(), "-hwaccel") == second.end());
}

TEST(Mp4Conversion, HdrSkipsTheHardwareEncoderForTheToneMap) {
    HardwareForTest hardware(true);
    DownloadFakes::clearRecords();
    DownloadFakes::installFfmpeg("case \" $* \" in *h264_vaapi*|*-hwaccel*) exit 1;; *tonemap*) : > \"$out\";; esac\n");
    const fs::path source = Sandbox::makeTempFolder("conv") / "T.webm";
    writeFile(source, "webm");
    MediaProbe hdr{"webm", "vp9", "opus"};
    hdr.colorTransfer = "arib-std-b67";
    EXPECT_TRUE(Mp4Conversion::makeMP4(source, hdr, compatibleSet).reencoded);
    EXPECT_FALSE(fs::exists(DownloadFakes::recordPath("ffmpeg.2")));
}
