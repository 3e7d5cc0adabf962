#pragma once

#include <stdexcept>
#include <string>

// The pipeline's own failures; what() is the text the user sees.
class DownloadError : public std::runtime_error {
public:
    enum class Kind { toolMissing, downloadFailed, conversionFailed, noOutputFile, diskAlmostFull };

    static DownloadError toolMissing(const std::string& toolName);
    static DownloadError downloadFailed(const std::string& summary);
    static DownloadError conversionFailed(const std::string& summary);
    static DownloadError noOutputFile();
    // The free space of the disk that holds folder fell below the floor, so the run was stopped
    // and what it had written removed.
    static DownloadError diskAlmostFull(const std::string& folder);

    Kind kind() const { return m_kind; }
    // The tool name, the summary or the folder; empty for noOutputFile.
    const std::string& payload() const { return m_payload; }

private:
    DownloadError(Kind kind, std::string payload, const std::string& text);

    Kind m_kind;
    std::string m_payload;
};
