// The update's asset transfer against a plain libcurl transfer of the same file to disk, both
// from a local server in the same run, and the peak memory of a whole update run with a 100 MiB
// asset (the asset is streamed to disk, so the peak must stay near the idle process's).
//
// Counters: throughput_ratio = HttpClient's bytes/s over plain libcurl's (target >= 0.9);
// peak_rise_MiB = the resident-set peak during one update run minus the resident set before it.
// BM_SignatureCheck is the time the update adds to check the checksum list's signature: one
// gpgv run over a signed list of the real list's size.

#include "platform/HttpClient.h"
#include "platform/Sha256.h"
#include "support/FakeTool.h"
#include "support/LocalHttpServer.h"
#include "support/ReleaseSigner.h"
#include "support/Sandbox.h"
#include "support/ScopedEnv.h"
#include "tools/BundledTools.h"
#include "ytdlp/ReleaseSignature.h"
#include "ytdlp/YtdlpChannel.h"
#include "ytdlp/YtdlpResolver.h"
#include "ytdlp/YtdlpUpdateEngine.h"

#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

namespace fs = std::filesystem;

namespace {

constexpr std::size_t assetSize = 100 * 1024 * 1024;

struct Fixture {
    fs::path folder = Sandbox::makeTempFolder("bench");
    fs::path asset = folder / "asset";
    LocalHttpServer server;
    ScopedEnv api{"TALLOWIN_RELEASES_API_URL", server.baseUrl()};
    ScopedEnv web{"TALLOWIN_RELEASES_WEB_URL", server.baseUrl()};
    ScopedEnv keyring{"TALLOWIN_RELEASES_KEYRING", ReleaseSigner::shared().keyring().string()};
    double plainSecondsPerRun = 0;

    Fixture() {
        // A shell script that the shell stops reading at "exit"; the rest is padding.
        std::ofstream out(asset, std::ios::binary);
        out << "#!/bin/sh\necho 2025.02.01\nexit 0\n";
        const std::string line(1023, '#');
        for (std::size_t written = 0; written < assetSize; written += 1024)
            out << line << '\n';
        out.close();
        HttpRoute file;
        file.bodyFile = asset;
        server.route("/asset", file);

        const YtdlpChannel stable = YtdlpChannel::stable();
        HttpRoute release;
        release.body = "{\"tag_name\":\"2025.02.01\"}";
        server.route("/repos/" + stable.repository + "/releases/latest", release);
        HttpRoute redirect;
        redirect.redirectTo = server.baseUrl() + "/asset";
        server.route("/" + stable.repository + "/releases/latest/download/" + YtdlpChannel::assetName(), redirect);
        HttpRoute sums;
        sums.body = Sha256::ofFile(asset) + "  " + YtdlpChannel::assetName() + "\n";
        server.route("/" + stable.repository + "/releases/latest/download/SHA2-256SUMS", sums);
        server.route("/" + stable.repository + "/releases/latest/download/SHA2-256SUMS.sig",
                     HttpRoute::answer(200, ReleaseSigner::shared().sign(sums.body)));
        writeFakeTool(Sandbox::helpers() / "yt-dlp", "echo 2025.01.15\n");
    }
};

Fixture& fixture() {
    static Fixture instance;
    return instance;
}

std::size_t toFile(char* data, std::size_t size, std::size_t count, void* file) {
    return std::fwrite(data, size, count, static_cast<FILE*>(file)) * size;
}

// The baseline: libcurl's easy interface with its defaults, fwrite to a file.
void BM_PlainCurlToDisk(benchmark::State& state) {
    Fixture& f = fixture();
    const std::string url = f.server.baseUrl() + "/asset";
    const fs::path destination = f.folder / "plain";
    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        FILE* file = std::fopen(destination.c_str(), "wb");
        CURL* curl = curl_easy_init();
        curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, toFile);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, file);
        if (curl_easy_perform(curl) != CURLE_OK)
            state.SkipWithError("plain transfer failed");
        curl_easy_cleanup(curl);
        std::fclose(file);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    f.plainSecondsPerRun = seconds / static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * fs::file_size(f.asset)));
}

void BM_HttpClientDownload(benchmark::State& state) {
    Fixture& f = fixture();
    const std::string url = f.server.baseUrl() + "/asset";
    const fs::path destination = f.folder / "client";
    double seconds = 0;
    double last = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        HttpClient::download(url, destination, [&](double fraction) { last = fraction; });
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    benchmark::DoNotOptimize(last);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * fs::file_size(f.asset)));
    if (f.plainSecondsPerRun > 0)
        state.counters["throughput_ratio"] = f.plainSecondsPerRun / (seconds / static_cast<double>(state.iterations()));
}

long statusField(const char* name) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(name, 0) == 0)
            return std::stol(line.substr(std::string(name).size()));
    return -1;
}

void BM_UpdateRunPeakMemory(benchmark::State& state) {
    fixture();
    double worstRiseKiB = 0;
    for (auto _ : state) {
        fs::remove_all(BundledTools::supportDirectory());
        YtdlpResolver::shared().clearCache();
        YtdlpResolver::shared().status();
        std::ofstream("/proc/self/clear_refs") << "5"; // resets the resident-set peak
        const long before = statusField("VmRSS:");
        YtdlpUpdateEngine::update([](YtdlpUpdatePhase) {});
        const long peak = statusField("VmHWM:");
        worstRiseKiB = std::max(worstRiseKiB, static_cast<double>(peak - before));
    }
    state.counters["peak_rise_MiB"] = worstRiseKiB / 1024.0;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * fs::file_size(fixture().asset)));
}

void BM_SignatureCheck(benchmark::State& state) {
    const fs::path folder = Sandbox::makeTempFolder("signature");
    // The real list names about twenty assets.
    std::string list;
    for (int i = 0; i < 20; ++i)
        list += std::string(64, 'a') + "  yt-dlp_asset_" + std::to_string(i) + "\n";
    writeFile(folder / "SHA2-256SUMS", list);
    writeFile(folder / "SHA2-256SUMS.sig", ReleaseSigner::shared().sign(list));
    const ScopedEnv keyring{"TALLOWIN_RELEASES_KEYRING", ReleaseSigner::shared().keyring().string()};
    for (auto _ : state)
        ReleaseSignature::verify(folder / "SHA2-256SUMS", folder / "SHA2-256SUMS.sig", folder);
}

} // namespace

BENCHMARK(BM_SignatureCheck)->Iterations(20)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainCurlToDisk)->Iterations(5)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HttpClientDownload)->Iterations(5)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UpdateRunPeakMemory)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
