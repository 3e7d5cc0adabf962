// The pipeline's own overhead: VideoDownloader::download on a local DASH manifest (H.264 + AAC
// chosen, so it ends after the probe) against the same yt-dlp run with the same arguments
// directly. Both are timed alternately in every iteration, so the ratio compares like with like
// on a busy machine.
//   warm: the resolver's answer is cached (the usual case).
//   cold: the cache is cleared first, so each download also runs the version lookup.
#include "download/VideoDownloader.h"
#include "download/YtdlpInvocation.h"
#include "ytdlp/YtdlpResolver.h"

#include "download_setup.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double directRun() {
    const fs::path work = freshWorkFolder("direct");
    const YtdlpInstallation active = YtdlpResolver::shared().status().active;
    const auto arguments = YtdlpInvocation::arguments(manifestUrl(), VideoQuality::highest, true, false);
    const auto start = Clock::now();
    const auto result = ToolProcess::run(active.url, arguments, work);
    const double elapsed = seconds(start);
    if (result.status != 0)
        throw std::runtime_error("yt-dlp failed: " + result.standardError);
    return elapsed;
}

void pipeline(benchmark::State& state, bool cold) {
    YtdlpResolver::shared().status();
    double baseline = 0;
    double measured = 0;
    for (auto _ : state) {
        baseline += directRun();
        if (cold)
            YtdlpResolver::shared().clearCache();
        const auto start = Clock::now();
        const DownloadedVideo video = VideoDownloader::download(manifestUrl(), VideoQuality::highest, true, false);
        const double elapsed = seconds(start);
        measured += elapsed;
        state.SetIterationTime(elapsed);
        benchmark::DoNotOptimize(video);
    }
    state.counters["direct_s"] = baseline / static_cast<double>(state.iterations());
    state.counters["ratio"] = measured / baseline;
}

void BM_DownloadWarm(benchmark::State& state) {
    pipeline(state, false);
}
void BM_DownloadCold(benchmark::State& state) {
    pipeline(state, true);
}

BENCHMARK(BM_DownloadWarm)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(8);
BENCHMARK(BM_DownloadCold)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(8);

} // namespace

int main(int argc, char** argv) {
    return runWithDashFixture(argc, argv);
}
