// Progress read from the shipped yt-dlp and ffmpeg as they run, against media made by ffmpeg and
// served from 127.0.0.1.
#include "download/MediaProbe.h"
#include "download/Mp4Conversion.h"
#include "download/VideoDownloader.h"
#include "download/YtdlpInvocation.h"
#include "ytdlp/YtdlpResolver.h"

#include "ServedMediaTest.h"
#include "support/Sandbox.h"
#include "tools/ToolProcess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <memory>

namespace fs = std::filesystem;
using Phase = DownloadProgress::Phase;

namespace {

class ProgressEndToEnd : public ServedMediaTest {
protected:
    // Every report of one yt-dlp run, unthrottled.
    static std::vector<DownloadProgress> ytdlpReports(const std::string& address, fs::path* produced = nullptr) {
        const fs::path work = Sandbox::makeTempFolder("work");
        std::vector<DownloadProgress> reports;
        const fs::path file = YtdlpInvocation::run(YtdlpResolver::shared().status().active,
                                                   address,
                                                   work,
                                                   VideoQuality::highest,
                                                   true,
                                                   false,
                                                   {},
                                                   [&reports](const DownloadProgress& p) { reports.push_back(p); });
        if (produced)
            *produced = file;
        return reports;
    }

    // Within each stream the bytes only grow, and its last report is the whole stream.
    static std::map<int, DownloadProgress> lastPerStream(const std::vector<DownloadProgress>& reports) {
        std::map<int, DownloadProgress> last;
        for (const DownloadProgress& report : reports) {
            if (report.phase != Phase::downloading)
                continue;
            const auto previous = last.find(report.stream);
            if (previous != last.end() && previous->second.bytes && report.bytes) {
                EXPECT_GE(*report.bytes, *previous->second.bytes) << "stream " << report.stream;
            }
            last[report.stream] = report;
        }
        for (const auto& [stream, report] : last) {
            EXPECT_EQ(report.fraction, 1.0) << "stream " << stream;
            EXPECT_TRUE(report.bytes && report.bytes == report.totalBytes && *report.bytes > 0) << "stream " << stream;
        }
        return last;
    }
};

// The reports of one makeMP4, all of one phase (repackaging for a copy, else converting): each
// attempt starts at 0 (or without a fraction) and only grows.
std::vector<DownloadProgress> conversionReports(const fs::path& source, const MediaProbe& probe) {
    std::vector<DownloadProgress> reports;
    Mp4Conversion::makeMP4(
        source, probe, {"h264", "hevc"}, {}, [&reports](const DownloadProgress& p) { reports.push_back(p); });
    const Mp4Conversion::Plan decided = Mp4Conversion::plan(probe, {"h264", "hevc"});
    const bool copies = decided.audioOnly ? decided.copyAudio : decided.copyVideo;
    const Phase expected = copies ? Phase::repackaging : Phase::converting;
    for (const DownloadProgress& report : reports)
        EXPECT_EQ(report.phase, expected);
    return reports;
}

fs::path copyOf(const std::string& name) {
    const fs::path copy = Sandbox::makeTempFolder("conv") / name;
    fs::copy_file(MediaFixtures::fixture(name), copy);
    return copy;
}

} // namespace

TEST_F(ProgressEndToEnd, DashMergeReportsBothStreamsThenTheMerge) {
    MediaFixtures::fixture("dash/manifest.mpd");
    fs::path produced;
    const auto reports = ytdlpReports(url("/dash/manifest.mpd"), &produced);
    const auto last = lastPerStream(reports);
    ASSERT_EQ(last.size(), 2u);
    EXPECT_EQ(last.begin()->first, 1);
    for (const auto& [stream, report] : last)
        EXPECT_EQ(report.streamCount, 2);
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back().phase, Phase::merging);
    EXPECT_EQ(produced.extension(), ".mp4");
    // Named from the first report on, as the merged file will be.
    EXPECT_EQ(reports.front().fileName, produced.filename().string());
}

TEST_F(ProgressEndToEnd, HlsReportsOneStreamToItsEnd) {
    MediaFixtures::fixture("hls/index.m3u8");
    const auto reports = ytdlpReports(url("/hls/index.m3u8"));
    const auto last = lastPerStream(reports);
    ASSERT_EQ(last.size(), 1u);
    EXPECT_EQ(last.begin()->second.streamCount, 1);
    // The playlist gives no length: before the end, fractions come from yt-dlp's estimate.
    EXPECT_GT(std::count_if(reports.begin(),
                            reports.end(),
                            [](const DownloadProgress& p) {
                                return p.phase == Phase::downloading && p.fraction && *p.fraction < 1.0;
                            }),
              0);
}

TEST_F(ProgressEndToEnd, AFileWithoutALengthHasBytesButNoFractionUntilItEnds) {
    HttpRoute route;
    route.bodyFile = MediaFixtures::fixture("clip.mp4");
    route.headers["Content-Type"] = "video/mp4";
    route.omitLength = true;
    s_server->route("/nolength.mp4", route);
    const auto reports = ytdlpReports(url("/nolength.mp4"));
    const auto last = lastPerStream(reports);
    ASSERT_EQ(last.size(), 1u);
    EXPECT_EQ(last.begin()->second.totalBytes, static_cast<std::int64_t>(fs::file_size(route.bodyFile)));
    EXPECT_GT(std::count_if(reports.begin(),
                            reports.end(),
                            [](const DownloadProgress& p) {
                                return p.phase == Phase::downloading && p.bytes && !p.totalBytes && !p.fraction;
                            }),
              0);
}

TEST_F(ProgressEndToEnd, ATitleThatReadsAsAProgressLineIsStillThePath) {
    const std::string title = "tallowin-progress download finished 1 1 NA NA NA 0";
    fs::copy_file(MediaFixtures::fixture("clip.mp4"),
                  MediaFixtures::folder() / (title + ".mp4"),
                  fs::copy_options::overwrite_existing);
    std::string address = url("/");
    for (char c : title + ".mp4")
        address += c == ' ' ? std::string("%20") : std::string(1, c);
    // Run as the invocation does, but with a second file beside it, so only the printed path
    // can name the right one.
    const fs::path work = Sandbox::makeTempFolder("work");
    std::ofstream(work / "decoy.mp4") << "x";
    const auto arguments = YtdlpInvocation::arguments(address, VideoQuality::highest, true, false);
    const auto result = ToolProcess::run(YtdlpResolver::shared().status().active.url, arguments, work);
    ASSERT_EQ(result.status, 0) << result.standardError;
    EXPECT_EQ(YtdlpInvocation::producedFile(result.standardOutput, work), work / (title + ".mp4"))
        << result.standardOutput;
}

TEST_F(ProgressEndToEnd, AReencodeWithADurationRunsFromZeroToOne) {
    const fs::path source = copyOf("clip.webm");
    const MediaProbe probe = MediaProbe::probe(source);
    ASSERT_TRUE(probe.durationSeconds);
    const auto reports = conversionReports(source, probe);
    ASSERT_GE(reports.size(), 2u);
    EXPECT_EQ(reports.front().fraction, 0.0);
    EXPECT_EQ(reports.back().fraction, 1.0);
    int starts = 0;
    for (std::size_t i = 0; i < reports.size(); ++i) {
        ASSERT_TRUE(reports[i].fraction) << i;
        if (*reports[i].fraction == 0.0 && (i == 0 || *reports[i - 1].fraction != 0.0)) {
            ++starts;
        } else if (i > 0) {
            // A drop is only the second attempt starting again.
            EXPECT_GE(*reports[i].fraction, *reports[i - 1].fraction) << i;
        }
    }
    EXPECT_LE(starts, 2);
}

TEST_F(ProgressEndToEnd, ASourceWithoutADurationConvertsWithoutAFraction) {
    const fs::path source = copyOf("raw.h264");
    const MediaProbe probe = MediaProbe::probe(source);
    ASSERT_EQ(probe.videoCodec, "h264");
    EXPECT_FALSE(probe.durationSeconds);
    const auto reports = conversionReports(source, probe);
    // The start, and at least ffmpeg's closing block.
    ASSERT_GE(reports.size(), 2u);
    for (const DownloadProgress& report : reports)
        EXPECT_FALSE(report.fraction);
}

TEST_F(ProgressEndToEnd, ThePipelineGoesThroughItsPhasesInOrder) {
    MediaFixtures::fixture("dash/manifest.mpd");
    std::vector<Phase> phases;
    VideoDownloader::download(
        url("/dash/manifest.mpd"), VideoQuality::highest, true, false, {}, {}, [&phases](const DownloadProgress& p) {
            if (phases.empty() || phases.back() != p.phase)
                phases.push_back(p.phase);
        });
    EXPECT_EQ(phases, (std::vector{Phase::downloading, Phase::merging, Phase::checking}));
}
