#include "download/DownloadFailure.h"

#include "download/DownloadError.h"
#include "download/UpdateAdvice.h"
#include "ytdlp/LatestYtdlpRelease.h"

#include <gtest/gtest.h>

namespace {

// yt-dlp's bug-report sentence as bug_reports_message words it.
const std::string bugReport =
    "please report this issue on  https://github.com/yt-dlp/yt-dlp/issues?q= , filling out the "
    "appropriate issue template. Confirm you are on the latest version using  yt-dlp -U";

struct Row {
    const char* name;
    std::string standardError;
    FailureKind kind;
    int httpStatus = 0;
    int status = 1;
};

// Lines from runs of the shipped yt-dlp against 127.0.0.1 (404, a closed port, a page without a
// video), and messages its sources make (ExtractorError, GeoRestrictedError, raise_login_required,
// the YouTube extractor's playability reasons and challenge warnings).
const Row rows[] = {
    {"run404",
     "[generic] gone: Downloading webpage\nERROR: [generic] gone: Unable to download webpage: HTTP Error 404: File "
     "not found (caused by <HTTPError 404: File not found>)\n",
     FailureKind::notFound,
     404},
    {"gone410", "ERROR: [generic] x: Unable to download webpage: HTTP Error 410: Gone\n", FailureKind::notFound, 410},
    {"runRefused",
     "ERROR: [generic] x: Unable to download webpage: [Errno 111] Connection refused (caused by TransportError('[Errno "
     "111] Connection refused'))\n",
     FailureKind::noConnection},
    {"runNoName",
     "ERROR: [generic] x: Unable to download webpage: [Errno -2] Name or service not known (caused by "
     "TransportError('[Errno -2] Name or service not known'))\n",
     FailureKind::noConnection},
    {"timedOut",
     "ERROR: [generic] x: Unable to download webpage: The read operation timed out\n",
     FailureKind::noConnection},
    {"runUnsupported",
     "WARNING: [generic] Falling back on generic information extractor\n[generic] page: Extracting information\n"
     "ERROR: Unsupported URL: http://127.0.0.1:8/private-video-removed\n",
     FailureKind::unsupportedLink},
    {"notAUrl", "ERROR: [generic] 'x' is not a valid URL\n", FailureKind::unsupportedLink},
    {"registeredUsers",
     "ERROR: [vimeo] 1: This video is only available for registered users. Use --cookies, --cookies-from-browser, "
     "--username and --password, --netrc-cmd, or --netrc (vimeo) to provide account credentials.\n",
     FailureKind::signInNeeded},
    {"members",
     "ERROR: [youtube] x: Join this channel to get access to members-only content like this video, and other "
     "exclusive perks.\n",
     FailureKind::signInNeeded},
    {"ageGate",
     "ERROR: [youtube] x: Sign in to confirm your age. This video may be inappropriate for some users. Use "
     "--cookies-from-browser or --cookies for the authentication.\n",
     FailureKind::signInNeeded},
    {"private",
     "ERROR: [youtube] x: Private video. Sign in if you've been granted access to this video. Use "
     "--cookies-from-browser or --cookies for the authentication.\n",
     FailureKind::privateVideo},
    {"removed",
     "ERROR: [youtube] x: Video unavailable. This video has been removed by the uploader\n",
     FailureKind::unavailable},
    {"noLonger", "ERROR: [ie] 7: This video is no longer available\n", FailureKind::unavailable},
    {"geo",
     "ERROR: [ie] 7: This video is not available from your location due to geo restriction\nYou might want to use a "
     "VPN or a proxy server (with --proxy) to workaround.\n",
     FailureKind::notInCountry},
    {"geoYoutube",
     "ERROR: [youtube] x: The uploader has not made this video available in your country\nThis video is available in "
     "Germany.\n",
     FailureKind::notInCountry},
    {"liveSoon", "ERROR: [youtube] x: This live event will begin in 3 hours.\n", FailureKind::notStartedYet},
    {"premiere", "ERROR: [youtube] x: Premieres in 2 days\n", FailureKind::notStartedYet},
    {"notLive", "ERROR: [twitch:stream] c: The channel is not currently live\n", FailureKind::notStartedYet},
    {"forbidden", "ERROR: unable to download video data: HTTP Error 403: Forbidden\n", FailureKind::refusedBySite, 403},
    {"tooMany",
     "ERROR: [youtube] x: Unable to download API page: HTTP Error 429: Too Many Requests (caused by <HTTPError 429: "
     "Too Many Requests>)\n",
     FailureKind::refusedBySite,
     429},
    {"rateLimited",
     "ERROR: [youtube] x: This content isn't available, try again later. The current session has been rate-limited "
     "by YouTube for up to an hour.\n",
     FailureKind::refusedBySite},
    {"bugReport",
     "ERROR: [youtube] x: Failed to extract any player response; " + bugReport + "\n",
     FailureKind::unreadablePage},
    {"regex", "ERROR: [ie] 7: Unable to extract title; " + bugReport + "\n", FailureKind::unreadablePage},
    {"jsonMetadata",
     "ERROR: [ie] 7: Unable to download JSON metadata: HTTP Error 404: Not Found (caused by <HTTPError 404: Not "
     "Found>)\n",
     FailureKind::unreadablePage},
    {"challenge",
     "WARNING: [youtube] x: n challenge solving failed: Some formats may be missing.\nERROR: [youtube] x: Requested "
     "format is not available. Use --list-formats for a list of available formats\n",
     FailureKind::unreadablePage},
    // Only the error that ended the run counts: not a warning before it, nor the id taken from the link.
    {"warningBefore",
     "WARNING: [generic] Unable to extract title; " + bugReport +
         "\nERROR: [generic] private-video: Unable to download webpage: HTTP Error 404: Not Found\n",
     FailureKind::notFound,
     404},
    {"conversion", "ERROR: Postprocessing: Conversion failed!\n", FailureKind::unclassified},
    {"drm", "ERROR: [ie] 7: This video is DRM protected\n", FailureKind::unclassified},
    {"noError", "", FailureKind::unclassified},
    {"succeeded", "ERROR: Unsupported URL: http://a.test/\n", FailureKind::unclassified, 0, 0},
};

class Classification : public testing::TestWithParam<Row> {};

TEST_P(Classification, FromYtdlpsOwnWords) {
    const Row& row = GetParam();
    EXPECT_EQ(DownloadFailure::classify(row.standardError, row.status), (DownloadFailure{row.kind, row.httpStatus}));
    EXPECT_EQ(std::string(DownloadFailure{row.kind, row.httpStatus}.sentence()).empty(),
              row.kind == FailureKind::unclassified);
}

INSTANTIATE_TEST_SUITE_P(DownloadFailure, Classification, testing::ValuesIn(rows), [](const auto& test) {
    return std::string(test.param.name);
});

TEST(DownloadFailure, TheBugReportSentenceIsCutAndNothingElse) {
    const std::pair<std::string, std::string> texts[] = {
        {"[youtube] x: Failed to extract any player response; " + bugReport,
         "[youtube] x: Failed to extract any player response"},
        {"[ie] 7: Unable to extract id (caused by KeyError('a')); " + bugReport + " [after]",
         "[ie] 7: Unable to extract id (caused by KeyError('a')) [after]"},
        {"It broke. P" + bugReport.substr(1), "It broke."},
        {"[generic] gone: Unable to download webpage: HTTP Error 404: Not Found",
         "[generic] gone: Unable to download webpage: HTTP Error 404: Not Found"},
    };
    for (const auto& [text, shown] : texts)
        EXPECT_EQ(DownloadFailure::withoutBugReport(text), shown);
}

TEST(UpdateAdvice, WhenTheCopyIsNotTheNewest) {
    using namespace std::chrono;
    const auto now = sys_days(2026y / December / 9) + hours(13);
    const struct {
        FailureKind kind;
        std::optional<std::string> version;
        std::optional<std::string> newestSeen;
        std::optional<int> daysOld; // absent: no advice
    } cases[] = {
        {FailureKind::unreadablePage, "2026.11.23", {}, 16},
        {FailureKind::refusedBySite, "2026.12.01.232519", {}, 8},
        {FailureKind::unreadablePage, "2026.12.02", {}, {}},           // 7 days: fresh enough
        {FailureKind::notFound, "2020.01.01", {}, {}},                 // an update would not help
        {FailureKind::unreadablePage, "2026.11.23", "2026.11.23", {}}, // a check found nothing newer
        {FailureKind::unreadablePage, "2026.12.08", "2026.12.09", 1},  // a check found a newer one
        {FailureKind::unreadablePage, std::nullopt, {}, {}},
        {FailureKind::unreadablePage, "2026.02.30", {}, {}}, // no date
    };
    for (const auto& c : cases) {
        LatestYtdlpRelease::forget();
        if (c.newestSeen)
            LatestYtdlpRelease::note(*c.newestSeen);
        const auto advice = UpdateAdvice::forFailure(DownloadError::downloadFailed("x", {c.kind, 0}, c.version),
                                                     system_clock::time_point(now));
        EXPECT_EQ(advice ? std::optional(advice->daysOld) : std::nullopt, c.daysOld) << c.version.value_or("none");
    }
    LatestYtdlpRelease::forget();
}

} // namespace
