// What the format rules buy: the same 30-second 720p H.264/AAC source made into an MP4 by the
// remux path (video copied) and by the re-encode path (video to H.264 again, as for a codec that
// may not stay). The re-encode path includes the failed hardware attempt where there is no VA-API
// device. The ratio is re-encode time over remux time, both measured in this run.
#include "download/MediaProbe.h"
#include "download/Mp4Conversion.h"

#include "download_setup.h"

#include <benchmark/benchmark.h>

#include <chrono>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

fs::path g_source;
double g_remuxSeconds = 0;

double convert(const std::set<std::string>& allowedVideo, bool expectReencoded) {
    const fs::path work = benchFolder() / "work";
    fs::remove_all(work);
    fs::create_directories(work);
    const fs::path source = work / "source.mkv";
    fs::copy_file(g_source, source);
    const MediaProbe probe{"mkv", "h264", "aac"};
    const auto start = Clock::now();
    const auto result = Mp4Conversion::makeMP4(source, probe, allowedVideo);
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    if (result.reencoded != expectReencoded)
        throw std::runtime_error("the conversion took the other path");
    return elapsed;
}

void BM_Remux(benchmark::State& state) {
    double total = 0;
    for (auto _ : state) {
        const double elapsed = convert({"h264", "hevc"}, false);
        total += elapsed;
        state.SetIterationTime(elapsed);
    }
    g_remuxSeconds = total / static_cast<double>(state.iterations());
}

void BM_Reencode(benchmark::State& state) {
    double total = 0;
    for (auto _ : state) {
        const double elapsed = convert({}, true);
        total += elapsed;
        state.SetIterationTime(elapsed);
    }
    if (g_remuxSeconds > 0)
        state.counters["x_remux"] = total / static_cast<double>(state.iterations()) / g_remuxSeconds;
}

// Remux first: the re-encode benchmark reports its ratio against it.
BENCHMARK(BM_Remux)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_Reencode)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);

} // namespace

int main(int argc, char** argv) {
    prepareDownloadBench();
    g_source = benchFolder() / "source-720p.mkv";
    runFfmpeg({"-f",
               "lavfi",
               "-i",
               "testsrc2=size=1280x720:rate=30:duration=30",
               "-f",
               "lavfi",
               "-i",
               "sine=frequency=440:duration=30",
               "-c:v",
               "libx264",
               "-preset",
               "veryfast",
               "-pix_fmt",
               "yuv420p",
               "-c:a",
               "aac",
               "-b:a",
               "128k",
               g_source.string()});
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    removeBenchFolder();
    return 0;
}
