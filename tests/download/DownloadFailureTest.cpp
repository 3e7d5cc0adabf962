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
    bool signIn = false;             // the user's browser sign-in may let it through
    bool oneFragmentAtATime = false; // worth a second run with one fragment at a time
    const char* pieceSummary = "";   // what the user is shown of yt-dlp's words for a missing piece
};

// A fragment yt-dlp gave up on, as it prints it (after a carriage return).
std::string gaveUp(const std::string& httpError, int retries = 10) {
    return "ERROR: \r[download] Got error: HTTP Error " + httpError + ". Giving up after " + std::to_string(retries) +
           " retries\n";
}

// Lines from runs of the shipped yt-dlp against 127.0.0.1 (404, a closed port, a page without a video)
// and messages its sources make (ExtractorError, GeoRestrictedError, raise_login_required, YouTube's).
using enum FailureKind;

const Row rows[] = {
    {"run404",
     "ERROR: [generic] gone: Unable to download webpage: HTTP Error 404: File not found (caused by <HTTPError 404: "
     "File not found>)\n",
     notFound,
     404},
    {"gone410", "ERROR: [generic] x: Unable to download webpage: HTTP Error 410: Gone\n", notFound, 410},
    {"runRefused",
     "ERROR: [generic] x: Unable to download webpage: [Errno 111] Connection refused (caused by TransportError('[Errno "
     "111] Connection refused'))\n",
     noConnection},
    {"noName", "ERROR: [generic] x: [Errno -2] Name or service not known\n", noConnection},
    {"timedOut", "ERROR: [generic] x: The read operation timed out\n", noConnection},
    {"runUnsupported", "WARNING: x\nERROR: Unsupported URL: http://127.0.0.1:8/private-removed\n", unsupportedLink},
    {"registered", "ERROR: [vimeo] 1: This video is only available for registered users.\n", signInNeeded, 0, 1, true},
    {"private", "ERROR: [youtube] x: Private video. Use --cookies for the authentication.\n", privateVideo, 0, 1, true},
    {"botCheck", "ERROR: [youtube] x: Sign in to confirm you\u2019re not a bot.\n", signInNeeded, 0, 1, true},
    {"ageGate", "ERROR: [youtube] x: This video may be inappropriate for some users.\n", signInNeeded, 0, 1, true},
    {"unauthorized", "ERROR: [generic] x: HTTP Error 401: Unauthorized\n", signInNeeded, 401, 1, true},
    {"page403", "ERROR: [generic] x: Unable to download webpage: HTTP Error 403\n", refusedBySite, 403, 1, true},
    {"removed", "ERROR: [youtube] x: Video unavailable. This video has been removed\n", unavailable},
    {"geo", "ERROR: [ie] 7: Blocked.\nYou might want to use a VPN or a proxy server (with --proxy)\n", notInCountry},
    {"liveSoon", "ERROR: [youtube] x: This live event will begin in 3 hours.\n", notStartedYet},
    {"forbidden", "ERROR: unable to download video data: HTTP Error 403: Forbidden\n", refusedBySite, 403, 1, true},
    {"tooMany", "ERROR: [youtube] x: HTTP Error 429: Too Many Requests\n", refusedBySite, 429},
    {"rateLimited", "ERROR: [youtube] x: The current session has been rate-limited\n", refusedBySite},
    {"bugReport", "ERROR: [youtube] x: Failed to extract any player response; " + bugReport, unreadablePage},
    {"regex", "ERROR: [ie] 7: Unable to extract title\n", unreadablePage},
    {"json", "ERROR: [ie] 7: Unable to download JSON metadata: HTTP Error 404\n", unreadablePage},
    {"challenge", "WARNING: n challenge solving failed\nERROR: Requested format is not available\n", unreadablePage},
    // Only the error that ended the run counts: not a warning before it, nor the id taken from the link.
    {"earlier", "WARNING: Unable to extract x\nERROR: [generic] private-video: HTTP Error 404\n", notFound, 404},
    {"conversion", "ERROR: Postprocessing: Conversion failed!\n", unclassified},
    // Fragments refused while four were in flight (another thread's error comes last): once more one at a time.
    {"piecesRefused",
     gaveUp("429: Too Many Requests") + gaveUp("429: Too Many Requests") + "ERROR: write to closed file\n",
     missingPiece,
     429,
     1,
     false,
     true,
     "[download] Got error: HTTP Error 429: Too Many Requests. Giving up after 10 retries"},
    {"pieceForbidden", gaveUp("403: Forbidden"), missingPiece, 403, 1, true, true},
    {"pieceUnauthorized", gaveUp("401: Unauthorized"), missingPiece, 401, 1, true, true},
    // A segment missing on the server: one at a time would not find it either.
    {"pieceMissing", gaveUp("404: Not Found") + "ERROR: fragment 8 not found, unable to continue\n", missingPiece, 404},
    // A single file's server error is retried like a fragment, but it is no piece of a stream.
    {"fileServerError", gaveUp("503: Service Unavailable", 3), unclassified},
    {"succeeded", "ERROR: Unsupported URL: http://a.test/\n", unclassified, 0, 0},
};

class Classification : public testing::TestWithParam<Row> {};

TEST_P(Classification, FromYtdlpsOwnWords) {
    const Row& row = GetParam();
    EXPECT_EQ(DownloadFailure::classify(row.standardError, row.status), (DownloadFailure{row.kind, row.httpStatus}));
    EXPECT_EQ(std::string(DownloadFailure{row.kind, row.httpStatus}.sentence()).empty(),
              row.kind == FailureKind::unclassified);
    EXPECT_EQ(DownloadFailure::classify(row.standardError, row.status).signInMayHelp(), row.signIn);
    EXPECT_EQ(DownloadFailure::classify(row.standardError, row.status).refusedPieces(), row.oneFragmentAtATime);
    if (*row.pieceSummary) {
        EXPECT_EQ(DownloadFailure::missingPieceSummary(row.standardError), row.pieceSummary);
    }
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
        {"[generic] gone: HTTP Error 404: Not Found", "[generic] gone: HTTP Error 404: Not Found"},
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
