#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

// The update engine's own failures. what() is the text shown to the user, verbatim.
class YtdlpUpdateError : public std::runtime_error {
public:
    enum class Kind {
        badResponse,
        wontRun,
        unexpectedOutput,
        checksumMismatch,
        checksumMissing,
        checksumAmbiguous,
        notSigned,
        signatureUnchecked,
        assetTooLarge
    };

    // The asset answered with a status outside 2xx; -1 when the answer was not HTTP.
    static YtdlpUpdateError badResponse(long status);
    // The downloaded file could not be started or exited with a non-zero status.
    static YtdlpUpdateError wontRun(const std::string& reason);
    // The file ran but printed something that is not a version.
    static YtdlpUpdateError unexpectedOutput(const std::string& output);
    // The downloaded bytes differ from the release's published SHA-256.
    static YtdlpUpdateError checksumMismatch();
    // The release has no checksum list, or the list has no line for our asset.
    static YtdlpUpdateError checksumMissing();
    // The checksum list names our asset more than once, with different checksums.
    static YtdlpUpdateError checksumAmbiguous();
    // The checksum list has no signature, a bad one, or one by a key other than yt-dlp's.
    static YtdlpUpdateError notSigned();
    // The signature could not be checked at all (gpgv would not start, the keyring is missing).
    static YtdlpUpdateError signatureUnchecked(const std::string& reason);
    // The asset grew past the size cap (given in bytes) and its transfer was stopped.
    static YtdlpUpdateError assetTooLarge(std::uintmax_t limit);

    Kind kind() const { return m_kind; }
    // The case's value: the status for badResponse, the text for wontRun,
    // unexpectedOutput and signatureUnchecked, the cap in bytes for assetTooLarge.
    const std::string& payload() const { return m_payload; }

private:
    YtdlpUpdateError(Kind kind, std::string payload, const std::string& description);

    Kind m_kind;
    std::string m_payload;
};
