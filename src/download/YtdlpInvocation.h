#pragma once

#include "download/BrowserSignIn.h"
#include "download/DownloadProgress.h"
#include "download/VideoQuality.h"
#include "ytdlp/YtdlpInstallation.h"

#include <filesystem>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

// One yt-dlp run of a download: its command line, the file it produced, its errors in one line,
// and the sweep of day-old work folders.
namespace YtdlpInvocation {

// The hidden link in the work folder through which yt-dlp finds ffmpeg when the helpers' path
// would be rewritten by its expansion; it exists only while yt-dlp runs.
inline constexpr std::string_view helpersLinkName = ".tallowin-helpers";
// The same for a browser profile's folder that yt-dlp would rewrite (BrowserSignIn::profileNeedingLink).
inline constexpr std::string_view profileLinkName = ".tallowin-profile";

// The hidden file in the work folder, readable by the user alone, that hands yt-dlp the link
// (--batch-file) instead of its command line, which every local user can read; it exists only
// while yt-dlp runs.
inline constexpr std::string_view linkFileName = ".tallowin-link";

// Whether yt-dlp would rewrite this path given to --ffmpeg-location or --paths: a leading "~"
// or any "$". Pure.
bool expandedByYtdlp(const std::filesystem::path& path);

// Fragments of an HLS or DASH stream fetched at once: against a host that paces each connection, 4
// took about half the time of 1 and 8 little less than 4 (docs/benchmarks.md), and 4 is what
// yt-dlp's maintainers advise for sites that refuse many parallel requests (FragmentRetry handles
// those that refuse even a few).
inline constexpr int defaultConcurrentFragments = 4;

// The fixed arguments (with concurrentFragments pieces at once, at least 1), the format block and
// the page address last. The work folder is not named:
// yt-dlp runs in it and is given "." (any path yt-dlp would rewrite would send the file
// elsewhere). The helpers' path is given as is, or as helpersLinkName when yt-dlp would rewrite it.
// With signIn, yt-dlp reads that browser's cookies (--cookies-from-browser; the profile through
// profileLinkName where it must be).
std::vector<std::string> arguments(const std::string& url,
                                   VideoQuality quality,
                                   bool preferMP4,
                                   bool compatible,
                                   int concurrentFragments = defaultConcurrentFragments,
                                   const std::optional<BrowserSignIn>& signIn = std::nullopt);

// Logs which copy runs, runs it in the work folder with the page address in linkFileName (the
// arguments less their last, then "--batch-file" and that file) and blocks until it ends; a stop request
// terminates it and throws OperationCancelled (see ToolProcess::run). Returns the produced file. Each progress
// line is read as it arrives and handed to onProgress (on this thread, unthrottled). Makes and
// removes the helpers link when the arguments name it (std::filesystem::filesystem_error when
// it cannot be made), and the profile link likewise. A run with signIn also passes on the
// desktop's session variables (BrowserSignIn::desktopEnvironment) and logs the browser's name.
// Throws DownloadError::downloadFailed (non-zero exit, with the summary of its standard error
// less yt-dlp's bug-report sentence, what it means, and the installation's version),
// DownloadError::noOutputFile, OperationCancelled, and std::system_error when yt-dlp cannot be
// launched. The produced file is renamed to its SavedName::honest name when that differs.
std::filesystem::path run(const YtdlpInstallation& installation,
                          const std::string& url,
                          const std::filesystem::path& workFolder,
                          VideoQuality quality,
                          bool preferMP4,
                          bool compatible,
                          std::stop_token stopToken = {},
                          const DownloadProgressHandler& onProgress = {},
                          int concurrentFragments = defaultConcurrentFragments,
                          const std::optional<BrowserSignIn>& signIn = std::nullopt);

// The produced file: the path on the last non-blank line of yt-dlp's output that is not a progress
// line (YtdlpProgressParser::isProgressLine) when it names a
// regular file inside the work folder, else the one entry of the work folder that is a regular
// file and not hidden. Only a file inside the work folder may be returned, since a conversion
// deletes its source afterwards. Throws DownloadError::noOutputFile.
std::filesystem::path producedFile(std::string_view standardOutput, const std::filesystem::path& workFolder);

// Removes every work folder of ours (WorkFolder::isOurs) in the folder last changed more than 24
// hours before now, with what is inside it, except those of downloads that are running
// (WorkFolder::inUse). Nothing else is touched, and nothing at all when the folder itself is a
// symbolic link. Never follows a link inside. Ignores every failure (a missing folder, an entry
// that will not go).
void sweepOldDownloads(const std::filesystem::path& directory,
                       std::filesystem::file_time_type now = std::filesystem::file_time_type::clock::now());

} // namespace YtdlpInvocation
