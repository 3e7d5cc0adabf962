#pragma once

#include <chrono>
#include <optional>
#include <string>

class DownloadError;

// When a newer yt-dlp is the likely cure for a failed download: yt-dlp could not read the page
// or the site refused it, and the copy that ran is not the newest release the user could have.
// That is, it is older than the newest release an update check of this process has seen
// (LatestYtdlpRelease), or, before any check answered, its version date is more than
// staleAfterDays days before now.
struct UpdateAdvice {
    static constexpr int staleAfterDays = 7;

    std::string version; // of the copy that ran
    int daysOld = 0;     // whole days from its version date to now

    // The advice for the error, or absent. now stands in for the clock. Pure but for reading
    // LatestYtdlpRelease.
    static std::optional<UpdateAdvice>
    forFailure(const DownloadError& error,
               std::chrono::system_clock::time_point now = std::chrono::system_clock::now());
};
