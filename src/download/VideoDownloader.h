#pragma once

#include "download/BrowserSignIn.h"
#include "download/DownloadProgress.h"
#include "download/DownloadedVideo.h"
#include "download/VideoQuality.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>

// The download pipeline: yt-dlp fetches into a fresh work folder, and, when an MP4 is wanted,
// ffprobe inspects the result and ffmpeg remuxes or re-encodes it.
namespace VideoDownloader {

// Runs the whole pipeline and blocks until it ends. A stop request terminates the running tool
// and the pipeline gives up with OperationCancelled; no later step starts. The work folder is
// locked against the day-old sweep for the whole run, and its free space is watched: below
// FreeSpaceWatch's floor the run stops with DownloadError::diskAlmostFull. A failed or stopped run
// removes what it wrote before it throws, except yt-dlp's finished file (kept when a later step
// failed); a folder left empty goes too. A site that refuses several fragments at once gets one
// more yt-dlp run, one fragment at a time, in a fresh work folder (FragmentRetry).
// Throws DownloadError, OperationCancelled, std::system_error (a tool that cannot be launched),
// std::filesystem::filesystem_error (the work folder), nlohmann::json errors (ffprobe's report).
DownloadedVideo download(
    const std::string& url, VideoQuality quality, bool forceMP4, bool compatibleMP4, std::stop_token stopToken = {});

// The step a download has reached, for an activity display.
enum class DownloadStep { downloading, probing, converting };

// The same, reporting each step as it begins (on the calling thread), and, with onProgress, how
// far each phase has come (on the calling thread, at most ten times a second, every change of
// phase or stream at once; see DownloadProgress). Without onProgress nothing reads the tools'
// progress. With signIn, yt-dlp borrows that browser's sign-in (YtdlpInvocation::run).
DownloadedVideo download(const std::string& url,
                         VideoQuality quality,
                         bool forceMP4,
                         bool compatibleMP4,
                         std::stop_token stopToken,
                         const std::function<void(DownloadStep)>& onStep,
                         const DownloadProgressHandler& onProgress = {},
                         const std::optional<BrowserSignIn>& signIn = std::nullopt);

// The staging folder: $XDG_CACHE_HOME/<bundle identifier>/Downloads.
const std::filesystem::path& downloadsDirectory();

} // namespace VideoDownloader
