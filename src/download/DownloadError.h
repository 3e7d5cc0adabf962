#pragma once

#include <stdexcept>
#include <string>

// The pipeline's own failures; what() is the text the user sees.
class DownloadError : public std::runtime_error {
public:
    enum class Kind { toolMissing, downloadFailed, conversionFailed, noOutputFile };

    static DownloadError toolMissing(const std::string& toolName);
    static DownloadError downloadFailed(const std::string& summary);
    static DownloadError conversionFailed(const std::string& summary);
    static DownloadError noOutputFile();

    Kind kind() const { return m_kind; }
    // The tool name or the summary; empty for noOutputFile.
    const std::string& payload() const { return m_payload; }

private:
    DownloadError(Kind kind, std::string payload, const std::string& text);

    Kind m_kind;
    std::string m_payload;
};
