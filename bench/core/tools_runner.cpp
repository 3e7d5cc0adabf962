// The process runner against the bare system calls it wraps, measured side by side in one run.
//   runner_overhead: ToolProcess::run("/bin/true") against posix_spawn + waitpid of the same program.
//   capture: 64 MiB through stdout and stderr together, against a bare poll/read loop that discards
//            the bytes; plus the peak memory of a capture against the bytes captured.
#include "tools/ToolProcess.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

const char* const captureScript = "head -c 33554432 /dev/zero & head -c 33554432 /dev/zero >&2; wait";

double seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void bareSpawnAndWait(const char* program, std::vector<char*> argv, bool drain) {
    int out[2], err[2];
    pipe2(out, O_CLOEXEC);
    pipe2(err, O_CLOEXEC);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    pid_t pid;
    argv.push_back(nullptr);
    posix_spawn(&pid, program, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
    if (drain) {
        static char buffer[65536];
        pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
        for (int open = 2; open > 0;) {
            poll(fds, 2, -1);
            for (auto& fd : fds) {
                if (fd.fd >= 0 && fd.revents && read(fd.fd, buffer, sizeof buffer) <= 0) {
                    fd.fd = -1;
                    --open;
                }
            }
        }
    }
    close(out[0]);
    close(err[0]);
    int status;
    waitpid(pid, &status, 0);
}

void runnerOverhead(benchmark::State& state) {
    double bare = 0, runner = 0;
    for (auto _ : state) {
        auto start = Clock::now();
        bareSpawnAndWait("/bin/true", {const_cast<char*>("/bin/true")}, false);
        bare += seconds(start);
        start = Clock::now();
        benchmark::DoNotOptimize(ToolProcess::run("/bin/true", {}));
        double elapsed = seconds(start);
        runner += elapsed;
        state.SetIterationTime(elapsed);
    }
    state.counters["bare_us"] = bare / state.iterations() * 1e6;
    state.counters["ratio"] = runner / bare;
}
BENCHMARK(runnerOverhead)->UseManualTime()->Iterations(300)->Unit(benchmark::kMicrosecond);

void capture(benchmark::State& state) {
    double bare = 0, runner = 0;
    for (auto _ : state) {
        auto start = Clock::now();
        bareSpawnAndWait(
            "/bin/sh", {const_cast<char*>("sh"), const_cast<char*>("-c"), const_cast<char*>(captureScript)}, true);
        bare += seconds(start);
        start = Clock::now();
        auto result = ToolProcess::run("/bin/sh", {"-c", captureScript});
        double elapsed = seconds(start);
        benchmark::DoNotOptimize(result);
        runner += elapsed;
        state.SetIterationTime(elapsed);
    }
    state.SetBytesProcessed(state.iterations() * 64LL * 1024 * 1024);
    state.counters["throughput_ratio"] = bare / runner; // 1.0: as fast as a bare read loop
}
BENCHMARK(capture)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

// Peak resident memory of a fresh process that captures 64 MiB, over the bytes captured, less
// the peak of a fresh process that does nothing. Forked children keep the measurements apart.
long childPeakKiB(bool doCapture) {
    pid_t pid = fork();
    if (pid == 0) {
        if (doCapture) {
            auto result = ToolProcess::run("/bin/sh", {"-c", captureScript});
            benchmark::DoNotOptimize(result);
        }
        _exit(0);
    }
    int status;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    return usage.ru_maxrss;
}

void captureMemory(benchmark::State& state) {
    long idle = 0, peak = 0;
    for (auto _ : state) {
        idle = childPeakKiB(false);
        peak = childPeakKiB(true);
    }
    double capturedKiB = 64.0 * 1024;
    state.counters["idle_MiB"] = idle / 1024.0;
    state.counters["peak_over_captured"] = (peak - idle) / capturedKiB;
}
BENCHMARK(captureMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
