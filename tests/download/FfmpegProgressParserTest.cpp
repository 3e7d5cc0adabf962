#include "download/FfmpegProgressParser.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

// Two blocks as the shipped ffmpeg wrote them for a three-second source.
const std::vector<std::string> twoBlocks = {"frame=1",
                                            "fps=0.00",
                                            "stream_0_0_q=-1.0",
                                            "bitrate=384000.0kbits/s",
                                            "total_size=48",
                                            "out_time_us=1",
                                            "out_time_ms=1",
                                            "out_time=00:00:00.000001",
                                            "dup_frames=0",
                                            "drop_frames=0",
                                            "speed=N/A",
                                            "progress=continue",
                                            "frame=75",
                                            "fps=0.00",
                                            "stream_0_0_q=-1.0",
                                            "bitrate= 622.7kbits/s",
                                            "total_size=230392",
                                            "out_time_us=2250000",
                                            "out_time_ms=2250000",
                                            "out_time=00:00:02.250000",
                                            "dup_frames=0",
                                            "drop_frames=0",
                                            "speed=1.62e+03x",
                                            "progress=continue",
                                            "out_time_us=N/A",
                                            "out_time=N/A",
                                            "progress=end"};

struct Row {
    const char* name;
    std::optional<double> duration;
    std::vector<std::string> lines;
    std::vector<std::optional<double>> fractions; // one per report
};

const std::vector<Row> rows = {
    {"KnownDuration", 3.0, twoBlocks, {1e-6 / 3.0, 0.75, 1.0}},
    {"NoDuration", std::nullopt, twoBlocks, {std::nullopt, std::nullopt, std::nullopt}},
    {"ZeroDurationCountsAsNone", 0.0, twoBlocks, {std::nullopt, std::nullopt, std::nullopt}},
    {"OutTimeWhenMicrosecondsAreMissing",
     4.0,
     {"out_time_us=N/A", "out_time=00:00:01.000000", "progress=continue"},
     {0.25}},
    {"NegativeTimeBeforeTheFirstFrame", 4.0, {"out_time_us=-23220", "progress=continue"}, {0.0}},
    {"PastTheDurationStaysAtOne", 2.0, {"out_time_us=2100000", "progress=continue"}, {1.0}},
    {"ABlockWithoutTime", 2.0, {"frame=3", "progress=continue"}, {std::nullopt}},
    {"NoBlockEnd", 2.0, {"out_time_us=1000000", "speed=1x"}, {}},
};

// Names the row in test listings instead of dumping its bytes.
inline void PrintTo(const Row& row, std::ostream* out) {
    *out << row.name;
}

class FfmpegProgressBlocks : public testing::TestWithParam<Row> {};

} // namespace

TEST_P(FfmpegProgressBlocks, GiveOneReportPerBlock) {
    const Row& row = GetParam();
    FfmpegProgressParser parser(row.duration);
    std::vector<std::optional<double>> fractions;
    for (const std::string& line : row.lines) {
        if (const auto progress = parser.read(line)) {
            EXPECT_EQ(progress->phase, DownloadProgress::Phase::converting);
            fractions.push_back(progress->fraction);
        }
    }
    ASSERT_EQ(fractions.size(), row.fractions.size());
    for (std::size_t i = 0; i < fractions.size(); ++i) {
        ASSERT_EQ(fractions[i].has_value(), row.fractions[i].has_value()) << i;
        if (fractions[i]) {
            EXPECT_NEAR(*fractions[i], *row.fractions[i], 1e-9) << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Captured, FfmpegProgressBlocks, testing::ValuesIn(rows), [](const auto& test) {
    return std::string(test.param.name);
});

TEST(FfmpegProgressParser, ReadsTimesAsFfmpegWritesThem) {
    const std::vector<std::pair<std::string, std::optional<double>>> rows = {{"00:00:02.960001", 2.960001},
                                                                             {"01:02:03.5", 3723.5},
                                                                             {"-00:00:00.023220", -0.02322},
                                                                             {"12.5", 12.5},
                                                                             {"N/A", std::nullopt},
                                                                             {"", std::nullopt},
                                                                             {"1:2:3:4", std::nullopt},
                                                                             {"00:00.5:01", std::nullopt},
                                                                             {"00:-1:00", std::nullopt},
                                                                             {"00:00:0x", std::nullopt}};
    for (const auto& [text, seconds] : rows) {
        const auto parsed = FfmpegProgressParser::parseTime(text);
        ASSERT_EQ(parsed.has_value(), seconds.has_value()) << text;
        if (parsed) {
            EXPECT_NEAR(*parsed, *seconds, 1e-9) << text;
        }
    }
}
