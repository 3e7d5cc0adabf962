// The resolver's cost. A miss runs both yt-dlp copies at once, so with two fake copies that each
// take 300 ms it should cost about one lookup (ratio near 1, against one BundledTools::version of
// the same kind of tool measured in the same run). A hit reads two file attributes.
#include "tools/BundledTools.h"
#include "ytdlp/YtdlpResolver.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

void writeSlowTool(const fs::path& path, const char* version) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << "#!/bin/sh\nsleep 0.3\necho " << version << "\n";
    fs::permissions(path, fs::perms::owner_all);
}

// Before anything reads the locations: a private package root and data folder.
const bool sandboxed = [] {
    char pattern[] = "/tmp/tallowin-bench-XXXXXX";
    fs::path root = mkdtemp(pattern);
    setenv("TALLOWIN_PACKAGE_ROOT", (root / "package").c_str(), 1);
    setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);
    writeSlowTool(root / "package/Contents/Helpers/yt-dlp", "2024.12.06");
    writeSlowTool(root / "data/org.tallowin.Tallowin/yt-dlp", "2025.02.01");
    writeSlowTool(root / "single/yt-dlp", "2025.02.01");
    return true;
}();

void cacheMiss(benchmark::State& state) {
    fs::path single = fs::path(getenv("TALLOWIN_PACKAGE_ROOT")).parent_path() / "single/yt-dlp";
    double one = 0, miss = 0;
    for (auto _ : state) {
        auto start = Clock::now();
        benchmark::DoNotOptimize(BundledTools::version(single));
        one += std::chrono::duration<double>(Clock::now() - start).count();

        YtdlpResolver::shared().clearCache();
        start = Clock::now();
        benchmark::DoNotOptimize(YtdlpResolver::shared().status());
        double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        miss += elapsed;
        state.SetIterationTime(elapsed);
    }
    state.counters["ratio_to_one_lookup"] = miss / one;
}
BENCHMARK(cacheMiss)->UseManualTime()->Iterations(8)->Unit(benchmark::kMillisecond);

void cacheHit(benchmark::State& state) {
    YtdlpResolver::shared().status();
    for (auto _ : state)
        benchmark::DoNotOptimize(YtdlpResolver::shared().status());
}
BENCHMARK(cacheHit)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
