#include "download/MediaProbe.h"

#include "DownloadFakes.h"
#include "download/DownloadError.h"
#include "platform/HardwareVideo.h"
#include "support/FakeTool.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <ostream>

namespace fs = std::filesystem;

namespace {

struct ReportRow {
    const char* name;
    std::string file;
    std::string report;
    MediaProbe expected;
};

// Names the row in test listings instead of dumping its bytes.
inline void PrintTo(const ReportRow& row, std::ostream* out) {
    *out << row.name;
}

class ProbeReport : public testing::TestWithParam<ReportRow> {};

} // namespace

TEST_P(ProbeReport, ReadsContainerAndFirstCodecs) {
    EXPECT_EQ(MediaProbe::fromReport(GetParam().file, GetParam().report), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Reports,
    ProbeReport,
    testing::Values(
        ReportRow{
            "upperCaseExtension",
            "/w/Clip.MP4",
            R"({"streams":[{"codec_type":"video","codec_name":"h264"},{"codec_type":"audio","codec_name":"aac"}]})",
            {"mp4", "h264", "aac"}},
        ReportRow{"noDotNoExtension", "/w.x/clip", R"({"streams":[]})", {"", std::nullopt, std::nullopt}},
        ReportRow{"lastDotCounts", "/w/a.b.WebM", R"({"streams":[]})", {"webm", std::nullopt, std::nullopt}},
        ReportRow{"firstVideoWithoutNameStopsTheWalk",
                  "/w/a.mkv",
                  R"({"streams":[{"codec_type":"video"},{"codec_type":"video","codec_name":"vp9"}]})",
                  {"mkv", std::nullopt, std::nullopt}},
        ReportRow{"streamsWithoutTypeAreSkipped",
                  "/w/a.mkv",
                  R"({"streams":[{"codec_name":"bin"},{"codec_type":null,"codec_name":"x"},)"
                  R"({"codec_type":"audio","codec_name":"opus"},{"codec_type":"video","codec_name":"av1"}]})",
                  {"mkv", "av1", "opus"}},
        ReportRow{"audioOnly",
                  "/w/a.m4a",
                  R"({"streams":[{"codec_type":"data"},{"codec_type":"audio","codec_name":"aac","extra":[1,2]}]})",
                  {"m4a", std::nullopt, "aac"}},
        ReportRow{"coverPictureIsNoVideo",
                  "/w/a.mp3",
                  R"({"streams":[{"codec_type":"audio","codec_name":"mp3"},{"codec_type":"video",)"
                  R"("codec_name":"mjpeg","disposition":{"default":0,"attached_pic":1}},)"
                  R"({"codec_type":"video","codec_name":"h264","disposition":{"attached_pic":0}}]})",
                  {"mp3", "h264", "mp3"}},
        ReportRow{"tagAndColoursOfTheFirstVideo",
                  "/w/a.mp4",
                  R"({"streams":[{"codec_type":"video","codec_name":"hevc","codec_tag_string":"hev1",)"
                  R"("color_transfer":"smpte2084","color_primaries":"bt2020"},)"
                  R"({"codec_type":"video","codec_name":"h264","color_transfer":"bt709"}]})",
                  {"mp4", "hevc", std::nullopt, {}, {}, {}, "hev1", "smpte2084", "bt2020"}},
        ReportRow{"otherKeysIgnored",
                  "/w/a.mp4",
                  R"({"format":{},"streams":[{"codec_type":"Video","codec_name":"h264"}]})",
                  {"mp4", std::nullopt, std::nullopt}}),
    [](const testing::TestParamInfo<ReportRow>& test) { return std::string(test.param.name); });

TEST(ProbeReport, MalformedReportsThrowTheDecodersError) {
    for (const char* report : {"",
                               "not json",
                               "{}",
                               "[]",
                               R"({"streams":{}})",
                               R"({"streams":[1]})",
                               R"({"streams":[{"codec_type":7}]})",
                               R"({"streams":null})"}) {
        EXPECT_THROW(MediaProbe::fromReport("/w/a.mkv", report), nlohmann::json::exception) << report;
    }
}

TEST(MediaProbe, RunsFfprobeWithItsSevenArguments) {
    DownloadFakes::clearRecords();
    DownloadFakes::installFfprobe(R"({"streams":[{"codec_type":"video","codec_name":"vp9"}]})");
    const fs::path file = Sandbox::makeTempFolder("probe") / "it's $HOME.webm";
    EXPECT_EQ(MediaProbe::probe(file), (MediaProbe{"webm", "vp9", std::nullopt}));
    EXPECT_EQ(DownloadFakes::recordedArguments("ffprobe"),
              (std::vector<std::string>{
                  "-v", "error", "-print_format", "json", "-show_streams", "-show_format", file.string()}));
}

TEST(MediaProbe, FailingFfprobeIsConversionFailed) {
    writeFakeTool(Sandbox::helpers() / "ffprobe", "echo '{\"streams\":[]}'; echo 'ERROR: broken' >&2; exit 1\n");
    try {
        MediaProbe::probe("/w/a.webm");
        FAIL() << "no error";
    } catch (const DownloadError& error) {
        EXPECT_EQ(error.kind(), DownloadError::Kind::conversionFailed);
        EXPECT_STREQ(error.what(), "Converting to MP4 failed: ffprobe could not read the downloaded file");
    }
    DownloadFakes::installFfprobe("<html>");
    EXPECT_THROW(MediaProbe::probe("/w/a.webm"), nlohmann::json::exception);
}

TEST(MediaProbe, HardwareIsAskedOnlyForTheFourExactNames) {
    std::vector<std::string> asked;
    HardwareVideo::setAnswerSource([&asked](std::string_view codec) {
        asked.emplace_back(codec);
        return true;
    });
    for (const char* name : {"h264", "hevc", "vp9", "av1"})
        EXPECT_TRUE(MediaProbe::hardwareDecodes(name)) << name;
    for (const char* name : {"H264", "avc1", "", "mpeg4", "av01"})
        EXPECT_FALSE(MediaProbe::hardwareDecodes(name)) << name;
    EXPECT_EQ(asked, (std::vector<std::string>{"h264", "hevc", "vp9", "av1"}));

    EXPECT_EQ(MediaProbe::allowedVideoCodecs(true), (std::set<std::string>{"h264", "hevc"}));
    EXPECT_EQ(MediaProbe::allowedVideoCodecs(false), (std::set<std::string>{"h264", "hevc", "av1"}));
    HardwareVideo::setAnswerSource([](std::string_view codec) { return codec == "vp9"; });
    EXPECT_EQ(MediaProbe::allowedVideoCodecs(false), (std::set<std::string>{"h264", "hevc"}));
    HardwareVideo::setAnswerSource({});
}

TEST(MediaProbe, DurationIsTheContainersElseTheLongestStreams) {
    struct Row {
        const char* report;
        std::optional<double> duration;
    };
    const Row rows[] = {
        {R"({"streams":[{"duration":"1.5"}],"format":{"duration":"2.000000"}})", 2.0},
        {R"({"streams":[{"duration":"1.5"},{"duration":"2.25"}],"format":{}})", 2.25},
        {R"({"streams":[{"duration":"1.5"}],"format":{"duration":"N/A"}})", 1.5},
        {R"({"streams":[{"codec_type":"video"}],"format":{"filename":"a.h264"}})", std::nullopt},
        {R"({"streams":[{"duration":"0.000000"}]})", std::nullopt},
        {R"({"streams":[],"format":{"duration":7}})", std::nullopt},
    };
    for (const Row& row : rows)
        EXPECT_EQ(MediaProbe::fromReport("/w/a.mkv", row.report).durationSeconds, row.duration) << row.report;
}
