#pragma once

#include <functional>
#include <stop_token>
#include <string>

// `download --update-and-retry`: the window's "Update yt-dlp and Try Again", once.
namespace DownloadRetry {

// The option's help text.
inline constexpr const char* optionDescription =
    "When yt-dlp could not read the page or the site refused, and the yt-dlp in use is not the newest release, "
    "update yt-dlp once and, when a newer copy was installed, download again with the same settings.";

// Runs download. When it fails with a DownloadError that a newer yt-dlp may cure
// (UpdateAdvice) and updateAndRetry is set, it reports that failure on standard error, runs the
// ordinary update (YtdlpUpdateRun) and says how it ended, and, when a newer copy was installed,
// runs download once more and returns or throws what that run does. Otherwise the first
// failure is thrown unchanged. Blocks throughout; throws what download and the update throw.
std::string run(bool updateAndRetry, std::stop_token stopToken, const std::function<std::string()>& download);

} // namespace DownloadRetry
