#pragma once

#include "download/DownloadProgress.h"

#include <optional>
#include <string_view>

// Reads ffmpeg's "-progress" output (key=value lines in blocks, each closed by "progress=continue"
// or "progress=end") into the converting phase: at every block's end, the fraction out_time_us (or
// out_time) makes of the duration; without a duration, no fraction. Not thread-safe.
class FfmpegProgressParser {
public:
    explicit FfmpegProgressParser(std::optional<double> durationSeconds);

    // The progress at a block's end, nothing for any other line.
    std::optional<DownloadProgress> read(std::string_view line);

    // "01:02:03.5" (or "-00:00:00.1" as ffmpeg prints before the first frame) in seconds; nothing
    // when it is not such a time. Pure.
    static std::optional<double> parseTime(std::string_view text);

private:
    std::optional<double> m_duration;
    std::optional<double> m_outSeconds; // of the current block
};
