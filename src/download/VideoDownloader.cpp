#include "download/VideoDownloader.h"

#include "download/DownloadError.h"
#include "download/FragmentRetry.h"
#include "download/FreeSpaceWatch.h"
#include "download/MediaProbe.h"
#include "download/Mp4Conversion.h"
#include "download/PageMetadata.h"
#include "download/ProgressThrottle.h"
#include "download/WorkFolder.h"
#include "download/YtdlpInvocation.h"
#include "platform/Platform.h"
#include "tools/BundledTools.h"
#include "ytdlp/YtdlpResolver.h"

#include <optional>

namespace fs = std::filesystem;

namespace {

void checkTools(const fs::path& ytdlp) {
    for (const fs::path* tool : {&ytdlp, &BundledTools::ffmpeg(), &BundledTools::ffprobe(), &BundledTools::deno()}) {
        if (!BundledTools::isExecutableFile(*tool))
            throw DownloadError::toolMissing(tool->filename().string());
    }
}

} // namespace

DownloadedVideo VideoDownloader::download(
    const std::string& url, VideoQuality quality, bool forceMP4, bool compatibleMP4, std::stop_token stopToken) {
    return download(url, quality, forceMP4, compatibleMP4, std::move(stopToken), {});
}

DownloadedVideo VideoDownloader::download(const std::string& url,
                                          VideoQuality quality,
                                          bool forceMP4,
                                          bool compatibleMP4,
                                          std::stop_token stopToken,
                                          const std::function<void(DownloadStep)>& onStep,
                                          const DownloadProgressHandler& onProgress,
                                          const std::optional<BrowserSignIn>& signIn) {
    ProgressThrottle throttle(onProgress);
    DownloadProgressHandler progress;
    if (onProgress)
        progress = [&throttle](const DownloadProgress& value) { throttle.report(value); };
    auto report = [&](DownloadStep step) {
        if (onStep)
            onStep(step);
        if (!progress)
            return;
        DownloadProgress start;
        start.phase = step == DownloadStep::downloading ? DownloadProgress::Phase::downloading
                      : step == DownloadStep::probing   ? DownloadProgress::Phase::checking
                                                        : DownloadProgress::Phase::converting;
        // The conversion reports its own start, with a fraction when the duration is known.
        if (step != DownloadStep::converting)
            progress(start);
    };

    const YtdlpInstallation active = YtdlpResolver::shared().status(stopToken).active;
    checkTools(active.url);
    YtdlpInvocation::sweepOldDownloads(downloadsDirectory());
    std::optional<WorkFolder> work(std::in_place, downloadsDirectory());
    // The staging folder's file system, which every work folder of this run shares.
    const FreeSpaceWatch space(downloadsDirectory(), stopToken);
    const std::stop_token run = space.stopToken();
    fs::path downloaded; // yt-dlp's finished file, which a failure of a later step leaves in place
    try {
        report(DownloadStep::downloading);
        downloaded = FragmentRetry::run(
            work,
            downloadsDirectory(),
            [&](const fs::path& folder, int fragments, const DownloadProgressHandler& onFragments) {
                return YtdlpInvocation::run(active,
                                            url,
                                            folder,
                                            quality,
                                            forceMP4,
                                            forceMP4 && compatibleMP4,
                                            run,
                                            onFragments,
                                            fragments,
                                            signIn);
            },
            progress);
        const std::optional<PageMetadata> page = PageMetadata::take(downloaded.parent_path());
        if (!forceMP4 || quality == VideoQuality::audioOnly)
            return {downloaded, false, false};

        const std::set<std::string> allowedVideo = MediaProbe::allowedVideoCodecs(compatibleMP4);
        report(DownloadStep::probing);
        const MediaProbe probe = MediaProbe::probe(downloaded, run);
        // With Compatible, H.264 that many players cannot decode (High 10, 4:2:2, 4:4:4, HDR) is
        // re-encoded like a codec outside the set.
        const std::set<std::string> allowedHere = probe.narrowedFor(allowedVideo, compatibleMP4);
        if (Mp4Conversion::alreadyFits(probe, allowedHere))
            return {downloaded, false, false};

        report(DownloadStep::converting);
        const Mp4Conversion::Result converted =
            Mp4Conversion::makeMP4(downloaded, probe, allowedHere, run, progress, page);
        std::error_code removeError;
        if (converted.file != downloaded)
            fs::remove(downloaded, removeError);
        return {converted.file, converted.reencoded, !converted.reencoded};
    } catch (...) {
        // Asked before the clean-up gives the space back; the user's own stop stays a cancellation.
        const bool disk = !stopToken.stop_requested() && space.ranLow();
        if (work)
            work->removeAllBut(downloaded);
        if (disk)
            throw DownloadError::diskAlmostFull(downloadsDirectory().string());
        throw;
    }
}

const fs::path& VideoDownloader::downloadsDirectory() {
    static const fs::path directory = Platform::cacheHome() / Platform::bundleIdentifier() / "Downloads";
    return directory;
}
