// Tallowin's own cost per download: a new `tallowin-cli download` process whose tools are instant
// fakes (a yt-dlp that writes an MP4 and names it, an ffprobe that reports H.264 and AAC, so the
// file already fits) against the same two fakes run directly, one after the other. Both sides are
// started with posix_spawn and alternate in every iteration; the resolver's stored answer is there,
// as after any first run.
#include "support/CliRun.h"
#include "support/FakeTool.h"
#include "support/Sandbox.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// Milliseconds from spawning the program (output discarded, in `folder`) to reaping it.
double spawnedMs(const std::vector<std::string>& command, const fs::path& folder) {
    std::vector<char*> argv;
    for (const std::string& word : command)
        argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    const auto start = Clock::now();
    pid_t child = -1;
    const int error = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (error != 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("failed: " + command.front());
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

const char* const probeReport =
    R"({"streams":[{"codec_type":"video","codec_name":"h264"},{"codec_type":"audio","codec_name":"aac"}],)"
    R"("format":{"format_name":"mov,mp4,m4a,3gp,3g2,mj2","duration":"2.000000"}})";

void BM_CliDownloadWithInstantTools(benchmark::State& state) {
    const fs::path helpers = Sandbox::helpers();
    writeFakeTool(helpers / "yt-dlp",
                  "[ \"$1\" = --version ] && { echo 2025.01.15; exit 0; }\n: > clip.mp4; echo \"$PWD/clip.mp4\"\n");
    writeFakeTool(helpers / "ffprobe",
                  "[ \"$1\" = -version ] && { echo 'ffprobe version 5.1.9'; exit 0; }\necho '" +
                      std::string(probeReport) + "'\n");
    for (const char* tool : {"ffmpeg", "deno"})
        writeFakeTool(helpers / tool, "echo '" + std::string(tool) + " version 1.0'\n");
    const fs::path folder = Sandbox::makeTempFolder("direct");
    const std::vector<std::string> cli{cliPath().string(), "download", "https://a.test/v"};
    spawnedMs(cli, folder); // leaves the resolver's stored answer
    double direct = 0;
    double front = 0;
    for (auto _ : state) {
        direct += spawnedMs({(helpers / "yt-dlp").string(), "https://a.test/v"}, folder) +
                  spawnedMs({(helpers / "ffprobe").string(), "-v", "error", (folder / "clip.mp4").string()}, folder);
        const double elapsed = spawnedMs(cli, folder);
        front += elapsed;
        state.SetIterationTime(elapsed / 1000);
    }
    const auto n = static_cast<double>(state.iterations());
    state.counters["direct_ms"] = direct / n;
    state.counters["extra_ms"] = (front - direct) / n;
    state.counters["ratio"] = front / direct;
}

BENCHMARK(BM_CliDownloadWithInstantTools)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace

BENCHMARK_MAIN();
