#pragma once

#include <filesystem>

// The finished file of one download, inside its work folder.
struct DownloadedVideo {
    std::filesystem::path fileURL;
    bool wasConverted = false; // the MP4 step re-encoded the video
    bool wasRemuxed = false;   // the MP4 step wrote a new MP4, copying the video unchanged

    bool operator==(const DownloadedVideo&) const = default;
};
