#pragma once

#include "download/FailureKind.h"

#include <string>
#include <string_view>

// What a failed yt-dlp run means for the user, read from yt-dlp's own texts (no request is made).
struct DownloadFailure {
    FailureKind kind = FailureKind::unclassified;
    int httpStatus =
        0; // the HTTP status that decided notFound, refusedBySite, signInNeeded (401) or missingPiece, else 0

    bool operator==(const DownloadFailure&) const = default;

    // Classifies a run from its standard error and exit status. The error that ended the run
    // (its last "ERROR:" line and the lines after it, or the whole text when there is none)
    // decides; yt-dlp's challenge-solving warnings anywhere count as a page it could not read.
    // A zero status is no failure. Pure.
    static DownloadFailure classify(std::string_view standardError, int status);

    // Whether the site refused pieces of a stream (401, 403, 429): many sites answer so to several
    // requests at once, so one piece at a time may still get the whole stream. Pure.
    bool refusedPieces() const;

    // The plain English sentence for the failure; empty for unclassified. The window translates
    // it in the context "DownloadFailure". Pure.
    const char* sentence() const;

    // yt-dlp's lines about the fragments it gave up on, joined by "; ", each without "ERROR:" (with
    // several fragments in flight its last error line is often another thread's, "write to closed
    // file"); empty when there are none. Pure.
    static std::string missingPieceSummary(std::string_view standardError);

    // Whether the user's own browser sign-in may let the download through: the site asks for an
    // account, an age, a member or a human (its bot check), the video is private, or the site
    // answered 401 or 403. Pure.
    bool signInMayHelp() const;

    // The text without yt-dlp's bug-report sentence ("please report this issue on … Confirm you
    // are on the latest version using  yt-dlp -U") and the separator before it; every other
    // character stays. Pure.
    static std::string withoutBugReport(std::string_view text);
};
