#pragma once

#include "download/FailureKind.h"

#include <string>
#include <string_view>

// What a failed yt-dlp run means for the user, read from yt-dlp's own texts (no request is made).
struct DownloadFailure {
    FailureKind kind = FailureKind::unclassified;
    int httpStatus = 0; // the HTTP status that decided notFound, refusedBySite or signInNeeded (401), else 0

    bool operator==(const DownloadFailure&) const = default;

    // Classifies a run from its standard error and exit status. The error that ended the run
    // (its last "ERROR:" line and the lines after it, or the whole text when there is none)
    // decides; yt-dlp's challenge-solving warnings anywhere count as a page it could not read.
    // A zero status is no failure. Pure.
    static DownloadFailure classify(std::string_view standardError, int status);

    // The plain English sentence for the failure; empty for unclassified. The window translates
    // it in the context "DownloadFailure". Pure.
    const char* sentence() const;

    // Whether the user's own browser sign-in may let the download through: the site asks for an
    // account, an age, a member or a human (its bot check), the video is private, or the site
    // answered 401 or 403. Pure.
    bool signInMayHelp() const;

    // The text without yt-dlp's bug-report sentence ("please report this issue on … Confirm you
    // are on the latest version using  yt-dlp -U") and the separator before it; every other
    // character stays. Pure.
    static std::string withoutBugReport(std::string_view text);
};
