// What the file's own description and the HDR tone-map cost.
//   BM_MetadataPass: the yt-dlp run of a download on the local DASH manifest (Force MP4: H.264 and
//     AAC merged into an MP4) against the same run without its "--print-to-file" of the page's
//     tags, alternating. The MP4 step writes them in the pass it runs anyway, so this is all the
//     download pays for them.
//   BM_ToneMap1080p: the conversion of a 1080p VP9 profile 2 PQ clip (two seconds, 50 frames) to
//     H.264 with the tone-map, against the same conversion with the source taken as SDR (no
//     tone-map), alternating; both libx264, as without a VA-API device.
#include "download/MediaProbe.h"
#include "download/Mp4Conversion.h"
#include "download/YtdlpInvocation.h"
#include "ytdlp/YtdlpResolver.h"

#include "download_setup.h"

#include <benchmark/benchmark.h>

#include <algorithm>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double ytdlpRun(bool metadata) {
    const fs::path work = freshWorkFolder(metadata ? "metadata" : "bare");
    auto arguments = YtdlpInvocation::arguments(manifestUrl(), VideoQuality::highest, true, false);
    if (!metadata) {
        const auto print = std::find(arguments.begin(), arguments.end(), "--print-to-file");
        if (print == arguments.end() || arguments.end() - print < 3)
            throw std::runtime_error("no --print-to-file with its template and file");
        arguments.erase(print, print + 3);
    }
    const auto start = Clock::now();
    const auto result = ToolProcess::run(YtdlpResolver::shared().status().active.url, arguments, work);
    const double elapsed = seconds(start);
    if (result.status != 0)
        throw std::runtime_error("yt-dlp failed: " + result.standardError);
    return elapsed;
}

void BM_MetadataPass(benchmark::State& state) {
    ytdlpRun(true); // warms the page cache and the resolver
    double bare = 0;
    double described = 0;
    for (auto _ : state) {
        bare += ytdlpRun(false);
        const double elapsed = ytdlpRun(true);
        described += elapsed;
        state.SetIterationTime(elapsed);
    }
    const auto n = static_cast<double>(state.iterations());
    state.counters["bare_ms"] = bare / n * 1000;
    state.counters["extra_ms"] = (described - bare) / n * 1000;
    state.counters["ratio"] = described / bare;
}

fs::path& hdrClip() {
    static fs::path file;
    return file;
}

double conversion(const MediaProbe& probe) {
    const fs::path source = freshWorkFolder("tonemap") / "pq.webm";
    fs::copy_file(hdrClip(), source);
    const auto start = Clock::now();
    Mp4Conversion::makeMP4(source, probe, MediaProbe::compatibleVideoCodecs());
    return seconds(start);
}

void BM_ToneMap1080p(benchmark::State& state) {
    const MediaProbe hdr = MediaProbe::probe(hdrClip());
    MediaProbe asSdr = hdr;
    asSdr.colorTransfer.reset();
    double plain = 0;
    double toneMapped = 0;
    for (auto _ : state) {
        plain += conversion(asSdr);
        const double elapsed = conversion(hdr);
        toneMapped += elapsed;
        state.SetIterationTime(elapsed);
    }
    const auto n = static_cast<double>(state.iterations());
    state.counters["fps"] = 50 * n / toneMapped;
    state.counters["plain_fps"] = 50 * n / plain;
    state.counters["ratio"] = toneMapped / plain;
}

BENCHMARK(BM_MetadataPass)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(8);
BENCHMARK(BM_ToneMap1080p)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(4);

} // namespace

int main(int argc, char** argv) {
    return runWithDashFixture(argc, argv, [] {
        hdrClip() = benchFolder() / "pq.webm";
        runFfmpeg({"-f",
                   "lavfi",
                   "-i",
                   "testsrc2=rate=25:duration=2:size=1920x1080",
                   "-c:v",
                   "libvpx-vp9",
                   "-deadline",
                   "realtime",
                   "-cpu-used",
                   "8",
                   "-b:v",
                   "4M",
                   "-pix_fmt",
                   "yuv420p10le",
                   "-color_primaries",
                   "bt2020",
                   "-color_trc",
                   "smpte2084",
                   "-colorspace",
                   "bt2020nc",
                   hdrClip().string()});
    });
}
