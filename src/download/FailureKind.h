#pragma once

// Why a yt-dlp run failed, as far as its own words tell.
enum class FailureKind {
    unclassified,
    notFound,        // HTTP 404 or 410
    noConnection,    // refused, name not resolved, timed out, unreachable
    unsupportedLink, // no extractor takes the link
    signInNeeded,    // an account, a membership, a subscription, an age, a bot check; HTTP 401
    privateVideo,
    unavailable,   // removed, deleted, no longer there
    notInCountry,  // geo restriction
    notStartedYet, // a live stream or premiere still to come
    refusedBySite, // HTTP 403 or 429, rate limits
    missingPiece,  // a fragment of an HLS or DASH stream could not be had after its retries
    unreadablePage // yt-dlp did not expect what it met: the site has likely changed
};
