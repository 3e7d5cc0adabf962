#include "download/UpdateAdvice.h"

#include "download/DownloadError.h"
#include "ytdlp/LatestYtdlpRelease.h"
#include "ytdlp/YtdlpVersion.h"

std::optional<UpdateAdvice> UpdateAdvice::forFailure(const DownloadError& error,
                                                     std::chrono::system_clock::time_point now) {
    const FailureKind kind = error.failure().kind;
    if (kind != FailureKind::unreadablePage && kind != FailureKind::refusedBySite)
        return std::nullopt;
    const std::optional<std::string>& version = error.ytdlpVersion();
    if (!version)
        return std::nullopt;
    const auto released = YtdlpVersion::releaseDate(*version);
    if (!released)
        return std::nullopt;
    const int days = static_cast<int>(std::chrono::floor<std::chrono::days>(now - *released).count());
    // A check's answer outranks the date: a copy a fortnight old is the newest when no release came since.
    const std::optional<std::string> newest = LatestYtdlpRelease::known();
    const bool stale = newest ? YtdlpVersion::compare(*version, *newest) < 0 : days > staleAfterDays;
    if (!stale)
        return std::nullopt;
    return UpdateAdvice{*version, days};
}
