#include "download/YtdlpProgressParser.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

using Phase = DownloadProgress::Phase;

DownloadProgress downloading(int stream,
                             int streamCount,
                             std::optional<double> fraction,
                             std::optional<std::int64_t> bytes,
                             std::optional<std::int64_t> total,
                             std::optional<double> speed,
                             std::optional<std::int64_t> eta) {
    return {Phase::downloading, stream, streamCount, fraction, bytes, total, speed, eta, {}};
}

DownloadProgress named(DownloadProgress progress, std::string fileName) {
    progress.fileName = std::move(fileName);
    return progress;
}

DownloadProgress merging() {
    return {Phase::merging, 0, 0, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, {}};
}

struct Row {
    const char* name;
    std::vector<std::string> before; // lines read first, their results ignored
    std::string line;
    std::optional<DownloadProgress> expected;
};

// Lines as the shipped yt-dlp printed them for a DASH merge (formats 0 and 2), an HLS playlist and
// a file served without a length.
const std::vector<Row> rows = {
    {"DashFirstStream",
     {"tallowin-progress formats 0+2"},
     "tallowin-progress download downloading 65319 NA 199810.0 68168.12222960866 NA 0",
     downloading(1, 2, 65319.0 / 199810, 65319, 199810, 68168.12222960866, std::nullopt)},
    {"DashSecondStreamFinished",
     {"tallowin-progress formats 0+2", "tallowin-progress download finished 217349 217349 NA 1043599.25 NA 0"},
     "tallowin-progress download finished 26491 26491 NA 138367.14402915002 NA 2",
     downloading(2, 2, 1.0, 26491, 26491, 138367.14402915002, 0)},
    {"DashStreamsCountedWithoutTheFormatsLine",
     {"tallowin-progress download downloading 807 NA 3228.0 0 NA 0"},
     "tallowin-progress download downloading 765 NA 3060.0 0 NA 2",
     downloading(2, 0, 765.0 / 3060, 765, 3060, 0.0, std::nullopt)},
    {"HlsEstimate",
     {"tallowin-progress formats 0"},
     "tallowin-progress download downloading 130048 NA 337300.0 0 NA 0",
     downloading(1, 1, 130048.0 / 337300, 130048, 337300, 0.0, std::nullopt)},
    // Four fragments at once: the estimate swings with the bytes in flight; its lowest holds.
    {"FragmentsInParallelKeepTheLowestEstimate",
     {"tallowin-progress formats 0",
      "tallowin-progress download downloading 1358384 NA 6792816.0 2042661.9 NA 0",
      "tallowin-progress download downloading 2476488 NA 10950432.0 2531584.0 NA 0"},
     "tallowin-progress download downloading 2723160 NA 6817902.2 2574810.0 1.52 0",
     downloading(1, 1, 2723160.0 / 6792816, 2723160, 6792816, 2574810.0, 2)},
    // A thread's older count that came last (HLS fixture, four at once): the bytes hold.
    {"FragmentsInParallelNeverCountBack",
     {"tallowin-progress formats 0", "tallowin-progress download downloading 130280 NA 337300.0 0 NA 0"},
     "tallowin-progress download downloading 39936 NA 337300.0 0 NA 0",
     downloading(1, 1, 130280.0 / 337300, 130280, 337300, 0.0, std::nullopt)},
    {"KnownTotalWithEta",
     {},
     "tallowin-progress download downloading 1024 4096 NA 2048.0 1 18",
     downloading(1, 0, 0.25, 1024, 4096, 2048.0, 1)},
    {"NoLength",
     {},
     "tallowin-progress download downloading 65536 NA NA 1234567.5 NA 0",
     downloading(1, 0, std::nullopt, 65536, std::nullopt, 1234567.5, std::nullopt)},
    {"EstimateBelowBytesStaysAtOne",
     {},
     "tallowin-progress download downloading 5000 NA 4000.0 NA NA 0",
     downloading(1, 0, 1.0, 5000, 4000, std::nullopt, std::nullopt)},
    {"CarriageReturnAndSpaces",
     {},
     "  tallowin-progress download downloading 1 2 NA NA NA 0\r",
     downloading(1, 0, 0.5, 1, 2, std::nullopt, std::nullopt)},
    {"MergerStarted", {}, "tallowin-progress postprocess started Merger", merging()},
    {"FixupStarted", {}, "tallowin-progress postprocess started FixupM3u8", merging()},
    {"MergerFinished", {}, "tallowin-progress postprocess finished Merger", std::nullopt},
    {"MoveFilesIsNoPhase", {}, "tallowin-progress postprocess started MoveFiles", std::nullopt},
    {"FormatsLineAlone", {}, "tallowin-progress formats 137+140", std::nullopt},
    // The file's name goes with every later report, made honest (no right-to-left override).
    {"TheNameFromTheFormatsLine",
     {"tallowin-progress formats 0+2 ./My  talk\u202e.mp4"},
     "tallowin-progress download downloading 1 2 NA NA NA 0",
     named(downloading(1, 2, 0.5, 1, 2, std::nullopt, std::nullopt), "My  talk.mp4")},
    {"ThePrintedPath", {}, "/tmp/w/tallowin-progress download downloading 1 2 NA NA NA 0.mp4", std::nullopt},
    {"YtdlpsOwnProgress", {}, "[download]  10.0% of ~  1.00MiB at  2.00MiB/s ETA 00:01", std::nullopt},
    {"TooFewWords", {}, "tallowin-progress download downloading 1 2", std::nullopt},
    {"ErrorStatus", {}, "tallowin-progress download error 1 2 NA NA NA 0", std::nullopt},
    {"NotANumber",
     {},
     "tallowin-progress download downloading x NA NA NA NA 0",
     downloading(1, 0, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt)},
};

// Names the row in test listings instead of dumping its bytes.
inline void PrintTo(const Row& row, std::ostream* out) {
    *out << row.name;
}

class YtdlpProgressLines : public testing::TestWithParam<Row> {};

} // namespace

TEST_P(YtdlpProgressLines, ReadAsTheyShould) {
    const Row& row = GetParam();
    YtdlpProgressParser parser;
    for (const std::string& line : row.before)
        parser.read(line);
    EXPECT_EQ(parser.read(row.line), row.expected);
}

INSTANTIATE_TEST_SUITE_P(Captured, YtdlpProgressLines, testing::ValuesIn(rows), [](const auto& test) {
    return std::string(test.param.name);
});

TEST(YtdlpProgressParser, TellsItsLinesFromEveryOther) {
    EXPECT_TRUE(YtdlpProgressParser::isProgressLine("tallowin-progress formats 0"));
    EXPECT_TRUE(YtdlpProgressParser::isProgressLine(" tallowin-progress download x\r"));
    EXPECT_FALSE(YtdlpProgressParser::isProgressLine("/w/tallowin-progress formats 0.mp4"));
    EXPECT_FALSE(YtdlpProgressParser::isProgressLine("tallowin-progress"));
    EXPECT_FALSE(YtdlpProgressParser::isProgressLine("ERROR: tallowin-progress formats 0"));
}
