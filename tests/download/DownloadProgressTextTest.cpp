#include "download/DownloadProgressText.h"

#include <gtest/gtest.h>

namespace {

using Phase = DownloadProgress::Phase;

// A progress with every field spelled out (the record's optional members have no initializers).
DownloadProgress make(Phase phase,
                      int stream = 0,
                      int count = 0,
                      std::optional<double> fraction = std::nullopt,
                      std::optional<std::int64_t> bytes = std::nullopt,
                      std::optional<std::int64_t> total = std::nullopt,
                      std::optional<double> speed = std::nullopt,
                      std::optional<std::int64_t> eta = std::nullopt) {
    return {phase, stream, count, fraction, bytes, total, speed, eta, {}};
}

struct Row {
    DownloadProgress progress;
    const char* text;
};

} // namespace

TEST(DownloadProgressText, DescribesWhatIsKnown) {
    const Row rows[] = {
        {make(Phase::downloading), "Downloading\u2026"},
        {{Phase::downloading, 1, 2, 0.2697, 12'345'678, 45'600'000, 2'100'000.0, 20, {}},
         "Downloading\u2026 26% \u00b7 12.3 of 45.6 MB \u00b7 2.1 MB/s \u00b7 0:20 left \u00b7 stream 1 of 2"},
        {{Phase::downloading, 1, 1, 1.0, 999, 999, 512'400.0, 0, {}},
         "Downloading\u2026 100% \u00b7 0.0 of 0.0 MB \u00b7 512 kB/s \u00b7 0:00 left"},
        {{Phase::downloading, 1, 0, std::nullopt, 3'050'000, std::nullopt, 999'960.0, std::nullopt, {}},
         "Downloading\u2026 3.0 MB \u00b7 1.0 MB/s"},
        {{Phase::downloading, 2, 2, 0.5, std::nullopt, std::nullopt, std::nullopt, 3725, {}},
         "Downloading\u2026 50% \u00b7 1:02:05 left \u00b7 stream 2 of 2"},
        {make(Phase::merging), "Merging\u2026"},
        {make(Phase::checking), "Checking the file\u2026"},
        {make(Phase::converting), "Converting to MP4\u2026"},
        {make(Phase::converting, 0, 0, 0.0), "Converting to MP4\u2026 0%"},
        {make(Phase::converting, 0, 0, 0.429), "Converting to MP4\u2026 42%"},
        // Only the downloading phase carries bytes; stray ones elsewhere are not shown.
        {make(Phase::converting, 0, 0, 0.29, 5, 10, 1.0, 3), "Converting to MP4\u2026 29%"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(DownloadProgressText::describe(row.progress), row.text);
}

TEST(DownloadProgressText, UnitsAndClock) {
    EXPECT_EQ(DownloadProgressText::megabytes(0), "0.0");
    EXPECT_EQ(DownloadProgressText::megabytes(1'049'999), "1.0");
    EXPECT_EQ(DownloadProgressText::megabytes(123'456'789'012), "123456.8");
    EXPECT_EQ(DownloadProgressText::speed(0), "0 kB/s");
    EXPECT_EQ(DownloadProgressText::speed(949'000), "949 kB/s");
    EXPECT_EQ(DownloadProgressText::speed(1'000'000), "1.0 MB/s");
    EXPECT_EQ(DownloadProgressText::speed(12'340'000), "12.3 MB/s");
    EXPECT_EQ(DownloadProgressText::duration(0), "0:00");
    EXPECT_EQ(DownloadProgressText::duration(59), "0:59");
    EXPECT_EQ(DownloadProgressText::duration(3599), "59:59");
    EXPECT_EQ(DownloadProgressText::duration(3600), "1:00:00");
    EXPECT_EQ(DownloadProgressText::duration(-5), "0:00");
}
