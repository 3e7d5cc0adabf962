// What progress costs.
//   BM_ProgressFlowing: the yt-dlp run of a download on a local DASH manifest with its progress
//     lines read and parsed as they arrive, against the same run with "--no-progress" instead,
//     alternating. Also the CPU the parsing takes in our process, and yt-dlp's own CPU either way.
//   BM_CliDownload*: a cold `tallowin-cli download` process (yt-dlp, then ffprobe: H.264 + AAC is
//     chosen) against the same yt-dlp run directly, alternating; both through /usr/bin/env, which
//     hands the cache and data folders to the command. warm: the resolver's stored answer is there;
//     cold: removed first; afterUpdate: removed and the updated copy replaced, so both copies are
//     asked for their version.
#include "download/YtdlpInvocation.h"
#include "download/YtdlpProgressParser.h"
#include "ytdlp/YtdlpResolver.h"

#include "download_setup.h"
#include "support/CliRun.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <time.h>

#include <chrono>
#include <fstream>
#include <memory>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double threadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

double childrenCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    auto total = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
    return total(usage.ru_utime) + total(usage.ru_stime);
}

// The download's arguments with the progress options swapped for "--no-progress", as before.
std::vector<std::string> withoutProgress(const std::vector<std::string>& arguments) {
    std::vector<std::string> result;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& word = arguments[i];
        if (word == "--progress") {
            result.push_back("--no-progress");
        } else if (word == "--newline") {
            continue;
        } else if (word == "--progress-template" ||
                   (word == "--print" && i + 1 < arguments.size() && arguments[i + 1].starts_with("before_dl:"))) {
            ++i;
        } else {
            result.push_back(word);
        }
    }
    return result;
}

struct YtdlpRun {
    double wall = 0;
    double childCpu = 0;
    double parseCpu = 0;
    int lines = 0;
};

YtdlpRun ytdlpRun(bool progress) {
    const fs::path work = freshWorkFolder(progress ? "progress" : "quiet");
    const YtdlpInstallation active = YtdlpResolver::shared().status().active;
    auto arguments = YtdlpInvocation::arguments(manifestUrl(), VideoQuality::highest, true, false);
    if (!progress)
        arguments = withoutProgress(arguments);
    YtdlpRun run;
    YtdlpProgressParser parser;
    ToolProcess::LineHandler onLine;
    if (progress) {
        onLine = [&](ToolProcess::Stream, std::string_view line) {
            const double start = threadCpuSeconds();
            benchmark::DoNotOptimize(parser.read(line));
            run.parseCpu += threadCpuSeconds() - start;
            ++run.lines;
        };
    }
    const double cpuBefore = childrenCpuSeconds();
    const auto start = Clock::now();
    const auto result = ToolProcess::run(active.url, arguments, work, {}, std::nullopt, onLine);
    run.wall = seconds(start);
    run.childCpu = childrenCpuSeconds() - cpuBefore;
    if (result.status != 0)
        throw std::runtime_error("yt-dlp failed: " + result.standardError);
    return run;
}

void BM_ProgressFlowing(benchmark::State& state) {
    YtdlpResolver::shared().status();
    YtdlpRun quiet;
    YtdlpRun flowing;
    for (auto _ : state) {
        const YtdlpRun a = ytdlpRun(false);
        const YtdlpRun b = ytdlpRun(true);
        quiet.wall += a.wall;
        quiet.childCpu += a.childCpu;
        flowing.wall += b.wall;
        flowing.childCpu += b.childCpu;
        flowing.parseCpu += b.parseCpu;
        flowing.lines += b.lines;
        state.SetIterationTime(b.wall);
    }
    const auto n = static_cast<double>(state.iterations());
    state.counters["quiet_s"] = quiet.wall / n;
    state.counters["ratio"] = flowing.wall / quiet.wall;
    state.counters["ytdlp_cpu_ratio"] = flowing.childCpu / quiet.childCpu;
    state.counters["parse_cpu_us"] = flowing.parseCpu / n * 1e6;
    state.counters["lines"] = flowing.lines / n;
}

enum class Resolver { warm, cold, afterUpdate };

fs::path storedAnswer() {
    return benchFolder() / "cache" / "org.tallowin.Tallowin" / "yt-dlp-versions.json";
}

fs::path updatedCopy() {
    return benchFolder() / "data" / "org.tallowin.Tallowin" / "yt-dlp";
}

// A new file each time, as an update leaves: the shipped launcher, run through a script of its own.
void replaceUpdatedCopy() {
    const fs::path staged = updatedCopy().string() + ".new";
    fs::create_directories(staged.parent_path());
    std::ofstream(staged) << "#!/bin/sh\nexec '" << BundledTools::bundledYtdlp().string() << "' \"$@\"\n";
    fs::permissions(staged, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
    fs::rename(staged, updatedCopy());
}

std::vector<std::string> envPrefix() {
    return {"XDG_CACHE_HOME=" + (benchFolder() / "cache").string(),
            "XDG_DATA_HOME=" + (benchFolder() / "data").string()};
}

double timedEnv(std::vector<std::string> command, const std::optional<fs::path>& folder) {
    std::vector<std::string> arguments = envPrefix();
    arguments.insert(arguments.end(), command.begin(), command.end());
    const auto start = Clock::now();
    const auto result = ToolProcess::run("/usr/bin/env", arguments, folder);
    const double elapsed = seconds(start);
    if (result.status != 0)
        throw std::runtime_error("run failed: " + result.standardError);
    return elapsed;
}

void cliDownload(benchmark::State& state, Resolver resolver) {
    std::error_code ignored;
    fs::remove(updatedCopy(), ignored);
    if (resolver == Resolver::afterUpdate)
        replaceUpdatedCopy();
    // One run to leave the stored answer and warm the page cache.
    timedEnv({cliPath().string(), "download", manifestUrl()}, std::nullopt);
    double baseline = 0;
    double measured = 0;
    for (auto _ : state) {
        const fs::path work = freshWorkFolder("bare");
        std::vector<std::string> bare{BundledTools::bundledYtdlp().string()};
        for (std::string& word : YtdlpInvocation::arguments(manifestUrl(), VideoQuality::highest, true, false))
            bare.push_back(std::move(word));
        baseline += timedEnv(bare, work);

        if (resolver != Resolver::warm)
            fs::remove(storedAnswer(), ignored);
        if (resolver == Resolver::afterUpdate)
            replaceUpdatedCopy();
        const double elapsed = timedEnv({cliPath().string(), "download", manifestUrl()}, std::nullopt);
        measured += elapsed;
        state.SetIterationTime(elapsed);
    }
    fs::remove(updatedCopy(), ignored);
    state.counters["bare_s"] = baseline / static_cast<double>(state.iterations());
    state.counters["ratio"] = measured / baseline;
}

void BM_CliDownloadWarm(benchmark::State& state) {
    cliDownload(state, Resolver::warm);
}
void BM_CliDownloadCold(benchmark::State& state) {
    cliDownload(state, Resolver::cold);
}
void BM_CliDownloadColdAfterUpdate(benchmark::State& state) {
    cliDownload(state, Resolver::afterUpdate);
}

BENCHMARK(BM_ProgressFlowing)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_CliDownloadWarm)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(8);
BENCHMARK(BM_CliDownloadCold)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(8);
BENCHMARK(BM_CliDownloadColdAfterUpdate)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(8);

} // namespace

int main(int argc, char** argv) {
    return runWithDashFixture(argc, argv);
}
