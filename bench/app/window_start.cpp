// A new window process to its first paint against a minimal Qt Widgets program to its first paint,
// alternating, both offscreen: the start of the window as main makes it (window_start_tallowin)
// and of one label (window_start_minimal). The window twice: with its tool versions asked of the
// tools, as main has it, and with them from ToolVersionStore, which is warm after the first run.
#include "support/Sandbox.h"
#include "tools/ToolProcess.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// Milliseconds from starting the program to its "painted" line. The runner gives a tool a small
// environment of its own, so env hands over what the programs need.
double msToFirstPaint(const fs::path& program, const std::string& option = {}) {
    std::vector<std::string> command{"QT_QPA_PLATFORM=offscreen",
                                     "TALLOWIN_PACKAGE_ROOT=" TALLOWIN_REAL_PACKAGE_DIR,
                                     "XDG_CACHE_HOME=" + Sandbox::cacheHome().string(),
                                     "XDG_DATA_HOME=" + Sandbox::dataHome().string(),
                                     "HOME=" + Sandbox::root().string(),
                                     program.string()};
    if (!option.empty())
        command.push_back(option);
    const auto start = Clock::now();
    double painted = -1;
    const auto result =
        ToolProcess::run("/usr/bin/env", command, std::nullopt, {}, std::nullopt, [&](auto, std::string_view line) {
            if (line == "painted" && painted < 0)
                painted = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        });
    if (result.status != 0 || painted < 0)
        throw std::runtime_error(program.string() + " did not paint: " + result.standardError);
    return painted;
}

void windowToFirstPaint(benchmark::State& state, const std::string& option) {
    const fs::path folder = fs::path(TALLOWIN_BENCH_DIR);
    const fs::path minimal = folder / "window_start_minimal";
    const fs::path window = folder / "window_start_tallowin";
    msToFirstPaint(window, option); // fills the stores a first start leaves
    msToFirstPaint(minimal);
    double bare = 0;
    double tallowin = 0;
    for (auto _ : state) {
        bare += msToFirstPaint(minimal);
        const double elapsed = msToFirstPaint(window, option);
        tallowin += elapsed;
        state.SetIterationTime(elapsed / 1000);
    }
    const auto n = static_cast<double>(state.iterations());
    state.counters["minimal_ms"] = bare / n;
    state.counters["window_ms"] = tallowin / n;
    state.counters["ratio"] = tallowin / bare;
}

void BM_WindowToFirstPaint(benchmark::State& state) {
    windowToFirstPaint(state, {});
}
void BM_WindowWithVersionStoreToFirstPaint(benchmark::State& state) {
    windowToFirstPaint(state, "--version-store");
}

BENCHMARK(BM_WindowToFirstPaint)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_WindowWithVersionStoreToFirstPaint)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

int main(int argc, char** argv) {
    Sandbox::root(); // the sandboxed data and cache folders, which the two programs are given
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
