#include "download/DownloadError.h"

#include <utility>

DownloadError::DownloadError(Kind kind, std::string payload, const std::string& text)
    : std::runtime_error(text), m_kind(kind), m_payload(std::move(payload)) {}

DownloadError DownloadError::toolMissing(const std::string& toolName) {
    return DownloadError(
        Kind::toolMissing, toolName, "Tallowin is missing its bundled " + toolName + ". Reinstall the app.");
}

DownloadError DownloadError::downloadFailed(const std::string& summary,
                                            DownloadFailure failure,
                                            std::optional<std::string> ytdlpVersion) {
    DownloadError error(Kind::downloadFailed, summary, "Download failed: " + summary);
    error.m_failure = failure;
    error.m_ytdlpVersion = std::move(ytdlpVersion);
    return error;
}

DownloadError DownloadError::conversionFailed(const std::string& summary) {
    return DownloadError(Kind::conversionFailed, summary, "Converting to MP4 failed: " + summary);
}

DownloadError DownloadError::noOutputFile() {
    return DownloadError(Kind::noOutputFile, {}, "yt-dlp finished but did not produce a file.");
}

DownloadError DownloadError::diskAlmostFull(const std::string& folder) {
    return DownloadError(Kind::diskAlmostFull,
                         folder,
                         "Download stopped: the disk that holds " + folder +
                             " is almost full, so the partial download was removed. Free some space and try again.");
}
