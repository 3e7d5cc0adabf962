#pragma once

#include "download/DownloadFailure.h"

#include <optional>
#include <stdexcept>
#include <string>

// The pipeline's own failures; what() is the text the user sees.
class DownloadError : public std::runtime_error {
public:
    enum class Kind { toolMissing, downloadFailed, conversionFailed, noOutputFile, diskAlmostFull };

    static DownloadError toolMissing(const std::string& toolName);
    // failure says what yt-dlp's words mean; ytdlpVersion is the version of the copy that ran.
    static DownloadError downloadFailed(const std::string& summary,
                                        DownloadFailure failure = {},
                                        std::optional<std::string> ytdlpVersion = std::nullopt);
    static DownloadError conversionFailed(const std::string& summary);
    static DownloadError noOutputFile();
    // The free space of the disk that holds folder fell below the floor, so the run was stopped
    // and what it had written removed.
    static DownloadError diskAlmostFull(const std::string& folder);

    Kind kind() const { return m_kind; }
    // The tool name, the summary or the folder; empty for noOutputFile.
    const std::string& payload() const { return m_payload; }
    // Unclassified except for a downloadFailed that yt-dlp's words explain.
    const DownloadFailure& failure() const { return m_failure; }
    // The version of the yt-dlp whose run failed, for downloadFailed; else absent.
    const std::optional<std::string>& ytdlpVersion() const { return m_ytdlpVersion; }

private:
    DownloadError(Kind kind, std::string payload, const std::string& text);

    Kind m_kind;
    std::string m_payload;
    DownloadFailure m_failure;
    std::optional<std::string> m_ytdlpVersion;
};
