#pragma once

#include "download/DownloadProgress.h"
#include "download/WorkFolder.h"

#include <filesystem>
#include <functional>
#include <optional>

// Several fragments of a stream at once, and once more one at a time when the site refuses that:
// many hosts answer 401, 403 or 429 to a client's parallel requests but serve it one by one.
namespace FragmentRetry {

// One yt-dlp run into folder with that many fragments at once, reporting to onProgress; returns
// the produced file.
using Attempt = std::function<std::filesystem::path(
    const std::filesystem::path& folder, int concurrentFragments, const DownloadProgressHandler& onProgress)>;

// Runs attempt in work with YtdlpInvocation::defaultConcurrentFragments. When that fails because the
// site refused pieces of the stream (DownloadFailure::refusedPieces), it removes what the attempt
// wrote, replaces work by a fresh work folder below staging, reports Phase::retrying and runs
// attempt once more with one fragment at a time, its downloading progress reported as retrying; what
// that run returns or throws is the outcome. Every other error passes through unchanged, and so
// does the first one when it ran one fragment at a time already. Blocks; work holds a folder
// whenever it returns, and when it throws except when the fresh folder could not be made
// (std::filesystem::filesystem_error, std::system_error).
std::filesystem::path run(std::optional<WorkFolder>& work,
                          const std::filesystem::path& staging,
                          const Attempt& attempt,
                          const DownloadProgressHandler& onProgress);

} // namespace FragmentRetry
