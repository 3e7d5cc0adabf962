#include "download/DownloadFailure.h"

#include "platform/Ascii.h"
#include "tools/Text.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string>
#include <vector>

// The sentences are marked for Qt's lupdate, which lists them in the window's catalogue under
// "DownloadFailure"; the core does not link Qt, so here the marker is the text itself.
#define QT_TRANSLATE_NOOP(context, text) text

namespace {

struct Marker {
    FailureKind kind;
    std::string_view text; // lower case, found anywhere in the failure's lower-cased text
};

// yt-dlp's own words and the sites' words it passes on, in the order they are tried: a link no
// extractor takes names the link itself (which may hold any word), and a failure that names
// what the site expects wins over the generic signs below it. Phrases of several words, since
// the video id in front of a message is often a word from the link.
constexpr std::array markers{
    // UnsupportedError, and the generic extractor's refusal of a text that is no URL
    Marker{FailureKind::unsupportedLink, "unsupported url: "},
    Marker{FailureKind::unsupportedLink, "is not a valid url"},
    // socket errors as urllib, requests (urllib3) and curl_cffi word them
    Marker{FailureKind::noConnection, "connection refused"},
    Marker{FailureKind::noConnection, "name or service not known"},
    Marker{FailureKind::noConnection, "temporary failure in name resolution"},
    Marker{FailureKind::noConnection, "no address associated with hostname"},
    Marker{FailureKind::noConnection, "failed to resolve"},
    Marker{FailureKind::noConnection, "could not resolve host"},
    Marker{FailureKind::noConnection, "failed to connect"},
    Marker{FailureKind::noConnection, "timed out"},
    Marker{FailureKind::noConnection, "network is unreachable"},
    Marker{FailureKind::noConnection, "host is unreachable"},
    Marker{FailureKind::noConnection, "no route to host"},
    // before sign-in: a private video's text also carries the cookies hint
    Marker{FailureKind::privateVideo, "private video"},
    Marker{FailureKind::privateVideo, "is private"},
    Marker{FailureKind::privateVideo, "made private"},
    // raise_login_required's default text and the hints it appends, and the sites' own words
    Marker{FailureKind::signInNeeded, "only available for registered users"},
    Marker{FailureKind::signInNeeded, "for the authentication"},
    Marker{FailureKind::signInNeeded, "to provide account credentials"},
    Marker{FailureKind::signInNeeded, "sign in to confirm"}, // YouTube's bot check and age gate
    Marker{FailureKind::signInNeeded, "not a bot"},
    Marker{FailureKind::signInNeeded, "confirm your age"},
    Marker{FailureKind::signInNeeded, "age-restricted"},
    Marker{FailureKind::signInNeeded, "age restricted"},
    Marker{FailureKind::signInNeeded, "inappropriate for some users"},
    Marker{FailureKind::signInNeeded, "login required"},
    Marker{FailureKind::signInNeeded, "requires login"},
    Marker{FailureKind::signInNeeded, "requires authentication"},
    Marker{FailureKind::signInNeeded, "members-only"},
    Marker{FailureKind::signInNeeded, "members only"},
    Marker{FailureKind::signInNeeded, "premium members"},
    Marker{FailureKind::signInNeeded, "requires a subscription"},
    Marker{FailureKind::signInNeeded, "subscribers only"},
    // raise_geo_restricted's default text, GeoRestrictedError's advice, and the sites' words
    Marker{FailureKind::notInCountry, "due to geo restriction"},
    Marker{FailureKind::notInCountry, "geo-restricted"},
    Marker{FailureKind::notInCountry, "available in your country"},
    Marker{FailureKind::notInCountry, "unavailable in your country"},
    Marker{FailureKind::notInCountry, "in your region"},
    Marker{FailureKind::notInCountry, "use a vpn or a proxy server"},
    // a scheduled live stream or premiere, and UserNotLive
    Marker{FailureKind::notStartedYet, "live event will begin"},
    Marker{FailureKind::notStartedYet, "premieres in"},
    Marker{FailureKind::notStartedYet, "premiere will begin"},
    Marker{FailureKind::notStartedYet, "has not started"},
    Marker{FailureKind::notStartedYet, "not available yet"},
    Marker{FailureKind::notStartedYet, "not currently live"},
    // YouTube's rate limit, which yt-dlp words itself
    Marker{FailureKind::refusedBySite, "rate-limited"},
    Marker{FailureKind::refusedBySite, "too many requests"},
    Marker{FailureKind::unavailable, "video unavailable"},
    Marker{FailureKind::unavailable, "is unavailable"},
    Marker{FailureKind::unavailable, "no longer available"},
    Marker{FailureKind::unavailable, "has been removed"},
    Marker{FailureKind::unavailable, "been deleted"},
    Marker{FailureKind::unavailable, "does not exist"},
    Marker{FailureKind::unavailable, "video is not available"},
    Marker{FailureKind::unavailable, "content is not available"},
};

// What yt-dlp did not expect: its bug-report sentence (on every ExtractorError that is not
// expected), a regular expression that no longer matches, an API answer it cannot take.
constexpr std::array unexpectedMarkers{
    std::string_view("please report this issue on"),
    std::string_view("unable to extract"),
    std::string_view("unable to download json metadata"),
};

// The YouTube challenge solver's warnings; the run then fails for want of formats.
constexpr std::array challengeMarkers{
    std::string_view("challenge solving failed"),
    std::string_view("signature solving failed"),
    std::string_view("error solving"),
};

// The last "ERROR:" line and what follows it (a GeoRestrictedError goes on over several lines).
std::string failureText(std::string_view standardError) {
    const std::vector<std::string> lines = Text::visibleLines(standardError);
    size_t first = 0;
    for (size_t i = lines.size(); i > 0; --i) {
        if (lines[i - 1].starts_with("ERROR:")) {
            first = i - 1;
            break;
        }
    }
    std::string text;
    for (size_t i = first; i < lines.size(); ++i)
        text += lines[i] + "\n";
    return Ascii::lower(text);
}

// The status of the first "HTTP Error NNN" in the text; 0 when there is none.
int httpErrorStatus(std::string_view lower) {
    constexpr std::string_view prefix = "http error ";
    for (size_t at = lower.find(prefix); at != std::string_view::npos; at = lower.find(prefix, at + 1)) {
        const size_t digits = at + prefix.size();
        if (digits + 3 <= lower.size() && std::isdigit(static_cast<unsigned char>(lower[digits])) &&
            std::isdigit(static_cast<unsigned char>(lower[digits + 1])) &&
            std::isdigit(static_cast<unsigned char>(lower[digits + 2])))
            return std::stoi(std::string(lower.substr(digits, 3)));
    }
    return 0;
}

// yt-dlp's "ERROR:" lines about a fragment it gave up on, each without its prefix: "[download] Got
// error: HTTP Error 429: …. Giving up after 10 retries" (a single file's request answered 4xx fails
// before any retry, so a 4xx here is a fragment's) and "fragment 8 not found, unable to continue".
// All lines count: with several fragments in flight, another thread's error ("write to closed
// file") often comes last. Each with the status it names, -1 for none.
std::vector<std::pair<std::string, int>> pieceLines(std::string_view standardError) {
    std::vector<std::pair<std::string, int>> found;
    for (const std::string& line : Text::visibleLines(standardError)) {
        if (!line.starts_with("ERROR:"))
            continue;
        const std::string text = Text::afterLastCarriageReturn(line.substr(6));
        const std::string lower = Ascii::lower(text);
        const size_t got = lower.find("got error: http error ");
        const int status = got == std::string::npos ? 0 : httpErrorStatus(lower.substr(got));
        const bool refused = status >= 400 && status < 500;
        const bool notFound = lower.starts_with("fragment ") && lower.ends_with(" not found, unable to continue");
        if ((refused || notFound) && std::find_if(found.begin(), found.end(), [&](const auto& seen) {
                                         return seen.first == text;
                                     }) == found.end())
            found.emplace_back(text, refused ? status : -1);
    }
    return found;
}

template <size_t N> bool containsAny(std::string_view text, const std::array<std::string_view, N>& phrases) {
    for (std::string_view phrase : phrases) {
        if (text.find(phrase) != std::string_view::npos)
            return true;
    }
    return false;
}

} // namespace

DownloadFailure DownloadFailure::classify(std::string_view standardError, int status) {
    if (status == 0)
        return {};
    const std::string text = failureText(standardError);
    const int http = httpErrorStatus(text);
    // Before the markers: a refused piece's text says "too many requests" like a refused page.
    if (const auto pieces = pieceLines(standardError); !pieces.empty()) {
        const auto named =
            std::find_if(pieces.begin(), pieces.end(), [](const auto& piece) { return piece.second > 0; });
        return {FailureKind::missingPiece, named == pieces.end() ? 0 : named->second};
    }
    for (const Marker& marker : markers) {
        if (text.find(marker.text) != std::string::npos)
            return {marker.kind, marker.kind == FailureKind::refusedBySite ? http : 0};
    }
    if (http == 401)
        return {FailureKind::signInNeeded, http};
    if (http == 403 || http == 429)
        return {FailureKind::refusedBySite, http};
    if (containsAny(text, unexpectedMarkers) || containsAny(Ascii::lower(standardError), challengeMarkers))
        return {FailureKind::unreadablePage, 0};
    if (http == 404 || http == 410)
        return {FailureKind::notFound, http};
    return {};
}

bool DownloadFailure::refusedPieces() const {
    return kind == FailureKind::missingPiece && (httpStatus == 401 || httpStatus == 403 || httpStatus == 429);
}

const char* DownloadFailure::sentence() const {
    switch (kind) {
    case FailureKind::unclassified:
        return "";
    case FailureKind::notFound:
        return httpStatus == 410 ? QT_TRANSLATE_NOOP("DownloadFailure", "The page is gone (410).")
                                 : QT_TRANSLATE_NOOP("DownloadFailure", "The page was not found (404).");
    case FailureKind::noConnection:
        return QT_TRANSLATE_NOOP("DownloadFailure", "Tallowin could not reach the site. Check the connection.");
    case FailureKind::unsupportedLink:
        return QT_TRANSLATE_NOOP("DownloadFailure", "yt-dlp does not know how to save a video from this link.");
    case FailureKind::signInNeeded:
        return QT_TRANSLATE_NOOP("DownloadFailure", "The site wants you signed in to get this video.");
    case FailureKind::privateVideo:
        return QT_TRANSLATE_NOOP("DownloadFailure", "This video is private.");
    case FailureKind::unavailable:
        return QT_TRANSLATE_NOOP("DownloadFailure", "This video has been removed or is not available.");
    case FailureKind::notInCountry:
        return QT_TRANSLATE_NOOP("DownloadFailure", "This video is not available in this country.");
    case FailureKind::notStartedYet:
        return QT_TRANSLATE_NOOP("DownloadFailure", "This live stream or premiere has not started yet.");
    case FailureKind::refusedBySite:
        return httpStatus == 403
                   ? QT_TRANSLATE_NOOP("DownloadFailure", "The site refused the download (403).")
                   : QT_TRANSLATE_NOOP("DownloadFailure", "The site refused the download: too many requests.");
    case FailureKind::missingPiece:
        return refusedPieces()
                   ? QT_TRANSLATE_NOOP("DownloadFailure",
                                       "The site refused a piece of the video stream, even one piece at a "
                                       "time, so no file was made rather than one with a gap.")
                   : QT_TRANSLATE_NOOP("DownloadFailure",
                                       "A piece of the video stream could not be downloaded, so no file was "
                                       "made rather than one with a gap.");
    case FailureKind::unreadablePage:
        return QT_TRANSLATE_NOOP("DownloadFailure", "yt-dlp could not read this page. The site may have changed.");
    }
    return "";
}

std::string DownloadFailure::missingPieceSummary(std::string_view standardError) {
    std::string summary;
    for (const auto& [line, status] : pieceLines(standardError))
        summary += (summary.empty() ? "" : "; ") + line;
    return summary;
}

bool DownloadFailure::signInMayHelp() const {
    // A 403 is how many sites turn away a visitor without their session, for the page and the media alike.
    return kind == FailureKind::signInNeeded || kind == FailureKind::privateVideo ||
           ((kind == FailureKind::refusedBySite || kind == FailureKind::missingPiece) &&
            (httpStatus == 401 || httpStatus == 403));
}

std::string DownloadFailure::withoutBugReport(std::string_view text) {
    constexpr std::string_view start = "please report this issue on";
    constexpr std::string_view end = "yt-dlp -u";
    std::string kept(text);
    for (std::string lower = Ascii::lower(kept);;) {
        const size_t from = lower.find(start);
        if (from == std::string::npos)
            return kept;
        size_t to = lower.find(end, from);
        // Without its closing advice the sentence ends with its line.
        to = to == std::string::npos ? std::min(lower.find('\n', from), lower.size()) : to + end.size();
        // bug_reports_message joins with "; " (or ", ", or a space after a full stop).
        size_t cut = from;
        while (cut > 0 && kept[cut - 1] == ' ')
            --cut;
        if (cut > 0 && (kept[cut - 1] == ';' || kept[cut - 1] == ','))
            --cut;
        kept.erase(cut, to - cut);
        lower.erase(cut, to - cut);
    }
}
