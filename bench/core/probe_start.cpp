// The probe step (MediaProbe::probe with the shipped ffprobe) against the same ffprobe command
// with Debian's /usr/bin/ffprobe, alternating on a two-second H.264/AAC MP4; both through the
// process runner, so the ratio is the two programs' own start and work.
#include "download/MediaProbe.h"

#include "download_setup.h"

#include <benchmark/benchmark.h>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

fs::path& clip() {
    static fs::path file;
    return file;
}

void BM_ProbeStep(benchmark::State& state) {
    const std::vector<std::string> arguments{
        "-v", "error", "-print_format", "json", "-show_streams", "-show_format", clip().string()};
    double debian = 0;
    double shipped = 0;
    for (auto _ : state) {
        auto start = Clock::now();
        if (ToolProcess::run("/usr/bin/ffprobe", arguments).status != 0)
            throw std::runtime_error("Debian's ffprobe failed");
        debian += seconds(start);
        start = Clock::now();
        benchmark::DoNotOptimize(MediaProbe::probe(clip()));
        const double elapsed = seconds(start);
        shipped += elapsed;
        state.SetIterationTime(elapsed);
    }
    const auto n = static_cast<double>(state.iterations());
    state.counters["debian_ms"] = debian / n * 1000;
    state.counters["shipped_ms"] = shipped / n * 1000;
    state.counters["ratio"] = shipped / debian;
}

BENCHMARK(BM_ProbeStep)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace

int main(int argc, char** argv) {
    prepareDownloadBench();
    clip() = benchFolder() / "clip.mp4";
    runFfmpeg(h264ClipArguments(clip().string(), 2, "320x180"));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    removeBenchFolder();
    return 0;
}
