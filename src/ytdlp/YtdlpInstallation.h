#pragma once

#include <filesystem>
#include <optional>
#include <string>

// One yt-dlp copy: where it is, what it reported, and which copy it is.
struct YtdlpInstallation {
    enum class Source { bundled, updated };

    std::filesystem::path url;
    std::optional<std::string> version;
    Source source = Source::bundled;

    bool operator==(const YtdlpInstallation&) const = default;
};

inline const char* sourceName(YtdlpInstallation::Source source) {
    return source == YtdlpInstallation::Source::updated ? "updated" : "bundled";
}
