#pragma once

#include <string>

// One yt-dlp release channel on the code-hosting service. The hosts come from
// TALLOWIN_RELEASES_API_URL and TALLOWIN_RELEASES_WEB_URL when set (mirrors, local test
// servers), else https://api.github.com and https://github.com; they are read at each use.
struct YtdlpChannel {
    std::string name;       // for the log
    std::string repository; // owner/name

    static YtdlpChannel stable();
    static YtdlpChannel nightly();

    // This machine's release asset: "yt-dlp_linux", or "yt-dlp_linux_aarch64" on aarch64.
    static const char* assetName();
    // The release's checksum list, published beside the executables.
    static constexpr const char* checksumsName = "SHA2-256SUMS";
    // The release workflow's detached OpenPGP signature of that list.
    static constexpr const char* signatureName = "SHA2-256SUMS.sig";

    // <web host>/<repository>/releases/latest/download/<asset name>
    std::string downloadURL() const;
    // <web host>/<repository>/releases/latest/download/SHA2-256SUMS
    std::string checksumsURL() const;
    // <web host>/<repository>/releases/latest/download/SHA2-256SUMS.sig
    std::string signatureURL() const;
    // <API host>/repos/<repository>/releases/latest
    std::string latestReleaseAPI() const;

    bool operator==(const YtdlpChannel&) const = default;
};
