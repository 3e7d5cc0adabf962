#include "download/FragmentRetry.h"

#include "download/DownloadError.h"
#include "download/YtdlpInvocation.h"
#include "ytdlp/YtdlpLog.h"

#include <spdlog/spdlog.h>

namespace fs = std::filesystem;

fs::path FragmentRetry::run(std::optional<WorkFolder>& work,
                            const fs::path& staging,
                            const Attempt& attempt,
                            const DownloadProgressHandler& onProgress) {
    const int fragments = YtdlpInvocation::defaultConcurrentFragments;
    try {
        return attempt(work->path(), fragments, onProgress);
    } catch (const DownloadError& error) {
        if (fragments <= 1 || !error.failure().refusedPieces())
            throw;
        ytdlpLog()->info(
            "The site refused fragments fetched {} at a time; once more one at a time: {}", fragments, error.payload());
    }
    // Nothing of the refused attempt is reused: a fresh folder holds no half-written piece.
    work->removeAllBut({});
    work.reset();
    work.emplace(staging);
    DownloadProgressHandler again;
    if (onProgress) {
        DownloadProgress start;
        start.phase = DownloadProgress::Phase::retrying;
        onProgress(start);
        again = [&onProgress](const DownloadProgress& progress) {
            DownloadProgress shown = progress;
            if (shown.phase == DownloadProgress::Phase::downloading)
                shown.phase = DownloadProgress::Phase::retrying;
            onProgress(shown);
        };
    }
    return attempt(work->path(), 1, again);
}
