#include "download/Mp4Conversion.h"

#include "DownloadFakes.h"
#include "download/DownloadError.h"
#include "platform/HardwareVideo.h"
#include "support/FakeTool.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>

#include <ostream>

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
        PlanRow{"copyReencodeAudio", {"webm", "hevc", "opus"}, compatibleSet, true, {true, false, false}},
        PlanRow{"reencodeCopyAudio", {"mkv", "vp9", "mp3"}, compatibleSet, true, {false, true, true}},
        PlanRow{"reencodeBothNoHardware", {"webm", "vp9", "opus"}, compatibleSet, false, {false, false, false}},
        PlanRow{"noVideoCodecNoHwaccel", {"mkv", std::nullopt, "alac"}, compatibleSet, true, {false, true, false}},
        PlanRow{
            "av1CopiedWhenAllowed", {"mp4", "av1", std::nullopt}, {"h264", "hevc", "av1"}, true, {true, true, false}},
        PlanRow{"av1ReencodedOtherwise", {"mp4", "av1", "aac"}, compatibleSet, true, {false, true, true}}),
    [](const testing::TestParamInfo<PlanRow>& info) { return std::string(info.param.name); });

TEST(Mp4Conversion, OutputSitsNextToTheSourceAndNeverOnIt) {
    EXPECT_EQ(Mp4Conversion::outputPath("/w/Title.webm"), fs::path("/w/Title.mp4"));
    EXPECT_EQ(Mp4Conversion::outputPath("/w/Title.mp4"), fs::path("/w/Title.h264.mp4"));
    EXPECT_EQ(Mp4Conversion::outputPath("/w/a.b.mkv"), fs::path("/w/a.b.mp4"));
    EXPECT_EQ(Mp4Conversion::outputPath("/w/Title"), fs::path("/w/Title.mp4"));
}

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
                                        "-hwaccel",
                                        "vaapi",
                                        "-i",
                                        source.string(),
                                        "-map",
                                        "0:v:0",
                                        "-map",
                                        "0:a:0?"};
    const std::vector<std::string> tail{"-c:a", "aac", "-b:a", "192k", "-movflags", "+faststart", result.file.string()};
    EXPECT_EQ(DownloadFakes::recordedArguments("ffmpeg.1"),
              join({head,
                    {"-vaapi_device",
                     HardwareVideo::renderNode().string(),
                     "-vf",
                     "format=nv12,hwupload",
                     "-c:v",
                     "h264_vaapi",
                     "-qp",
                     "24"},
                    tail}));
    EXPECT_EQ(DownloadFakes::recordedArguments("ffmpeg.2"),
              join({head, {"-c:v", "libx264", "-preset", "veryfast", "-crf", "20", "-pix_fmt", "yuv420p"}, tail}));
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
                                        "-i",
                                        source.string(),
                                        "-map",
                                        "0:v:0",
                                        "-map",
                                        "0:a:0?",
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
