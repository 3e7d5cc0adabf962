#pragma once

#include "ytdlp/YtdlpInstallation.h"

#include <optional>
#include <string>

// The versions of both yt-dlp copies and the one that is to be run.
struct YtdlpStatus {
    std::optional<std::string> bundledVersion;
    std::optional<std::string> updatedVersion; // absent when there is no updated copy
    YtdlpInstallation active;

    bool operator==(const YtdlpStatus&) const = default;
};
