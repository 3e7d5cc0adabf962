#pragma once

// Shared by the download benchmarks: the real package, private cache and data folders, and
// media made with the shipped ffmpeg. Call prepareDownloadBench() first thing in main(), before
// anything reads a location.

#include "support/LocalHttpServer.h"
#include "support/MediaRecipes.h"
#include "tools/BundledTools.h"
#include "tools/ToolProcess.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

inline std::filesystem::path& benchFolder() {
    static std::filesystem::path folder;
    return folder;
}

// Seconds on the steady clock since start.
inline double seconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A new, empty folder for one run, under benchFolder()/kind.
inline std::filesystem::path freshWorkFolder(const std::string& kind) {
    static int folders = 0;
    const std::filesystem::path work = benchFolder() / kind / std::to_string(++folders);
    std::filesystem::create_directories(work);
    return work;
}

inline void prepareDownloadBench() {
    std::string pattern = "/tmp/tallowin-bench-XXXXXX";
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    benchFolder() = pattern;
    // The test support's sandbox (linked in, made before main) points the root at a package of fake
    // tools unless told otherwise; these benchmarks measure the real ones.
    setenv("TALLOWIN_PACKAGE_ROOT", TALLOWIN_REAL_PACKAGE_DIR, 1);
    setenv("XDG_CACHE_HOME", (benchFolder() / "cache").c_str(), 1);
    setenv("XDG_DATA_HOME", (benchFolder() / "data").c_str(), 1);
}

inline void removeBenchFolder() {
    std::error_code error;
    std::filesystem::remove_all(benchFolder(), error);
}

inline void runFfmpeg(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"-hide_banner", "-loglevel", "error", "-y"});
    const auto result = ToolProcess::run(BundledTools::ffmpeg(), arguments);
    if (result.status != 0)
        throw std::runtime_error("ffmpeg failed: " + result.standardError);
}

// The local server of the DASH fixture while runWithDashFixture() runs.
inline std::unique_ptr<LocalHttpServer>& dashServer() {
    static std::unique_ptr<LocalHttpServer> server;
    return server;
}

inline std::string manifestUrl() {
    return dashServer()->baseUrl() + "/dash/manifest.mpd";
}

// The whole main() of a download benchmark: private folders, the DASH fixture made with the
// shipped ffmpeg and served from 127.0.0.1, then every registered benchmark. prepare makes what
// else the benchmarks need, once the folders exist.
inline int runWithDashFixture(int argc, char** argv, const std::function<void()>& prepare = {}) {
    prepareDownloadBench();
    if (prepare)
        prepare();
    const std::filesystem::path root = benchFolder() / "www";
    std::filesystem::create_directories(root / "dash");
    runFfmpeg(dashManifestArguments((root / "dash" / "manifest.mpd").string()));
    dashServer() = std::make_unique<LocalHttpServer>(root);

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    dashServer().reset();
    removeBenchFolder();
    return 0;
}
