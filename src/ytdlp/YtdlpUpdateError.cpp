#include "ytdlp/YtdlpUpdateError.h"

YtdlpUpdateError::YtdlpUpdateError(Kind kind, std::string payload, const std::string& description)
    : std::runtime_error(description), m_kind(kind), m_payload(std::move(payload)) {}

YtdlpUpdateError YtdlpUpdateError::badResponse(long status) {
    const std::string text = std::to_string(status);
    return {Kind::badResponse, text, "GitHub answered with HTTP " + text + "."};
}

YtdlpUpdateError YtdlpUpdateError::wontRun(const std::string& reason) {
    return {Kind::wontRun, reason, "The downloaded yt-dlp would not run: " + reason};
}

YtdlpUpdateError YtdlpUpdateError::unexpectedOutput(const std::string& output) {
    return {Kind::unexpectedOutput,
            output,
            "The downloaded yt-dlp did not report a version (got \u201C" + output + "\u201D)."};
}

YtdlpUpdateError YtdlpUpdateError::checksumMismatch() {
    return {
        Kind::checksumMismatch, {}, "The downloaded yt-dlp does not match the checksum that the release publishes."};
}

YtdlpUpdateError YtdlpUpdateError::checksumMissing() {
    return {Kind::checksumMissing, {}, "The release publishes no checksum for yt-dlp."};
}

YtdlpUpdateError YtdlpUpdateError::checksumAmbiguous() {
    return {Kind::checksumAmbiguous, {}, "The release publishes two different checksums for the downloaded yt-dlp."};
}

YtdlpUpdateError YtdlpUpdateError::notSigned() {
    return {Kind::notSigned, {}, "The release's checksum list is not signed by yt-dlp's release key."};
}

YtdlpUpdateError YtdlpUpdateError::signatureUnchecked(const std::string& reason) {
    return {Kind::signatureUnchecked, reason, "The release's signature could not be checked: " + reason};
}

YtdlpUpdateError YtdlpUpdateError::assetTooLarge(std::uintmax_t limit) {
    return {Kind::assetTooLarge,
            std::to_string(limit),
            "The downloaded yt-dlp is larger than " + std::to_string(limit / 1'000'000) +
                " MB, far more than any yt-dlp release, so the download was stopped."};
}
