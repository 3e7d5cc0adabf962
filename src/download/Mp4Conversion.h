#pragma once

#include "download/MediaProbe.h"

#include <filesystem>
#include <set>
#include <stop_token>
#include <string>
#include <vector>

// Turns a downloaded file into an MP4 next to it with the shipped ffmpeg: what may stay is
// copied, video that may not is re-encoded to H.264 (hardware encoder first, libx264 second),
// audio that may not is re-encoded to AAC.
namespace Mp4Conversion {

// What is decided once, before the first ffmpeg run, and kept for both attempts.
struct Plan {
    bool copyVideo = false;      // the probe's video codec is in the allowed set
    bool copyAudio = false;      // no audio, or an audio codec an MP4 takes as it is
    bool hardwareDecode = false; // re-encoding, and the hardware decodes the source's codec

    bool operator==(const Plan&) const = default;
};

enum class VideoEncoder { copy, hardware, software };

struct Result {
    std::filesystem::path file;
    bool reencoded = false; // the video was re-encoded rather than copied
};

Plan plan(const MediaProbe& probe, const std::set<std::string>& allowedVideo);

// "T.webm" gives "T.mp4"; "T.mp4" gives "T.h264.mp4", so the source is never overwritten.
std::filesystem::path outputPath(const std::filesystem::path& source);

// One ffmpeg argument list. The video group follows the encoder; the rest follows the plan.
std::vector<std::string> arguments(const std::filesystem::path& source,
                                   const std::filesystem::path& output,
                                   const Plan& plan,
                                   VideoEncoder encoder);

// Runs ffmpeg (two attempts when the hardware encoder fails) and blocks until it ends. The
// source is left in place. A stop request ends the running ffmpeg, and then no second attempt
// starts. Throws DownloadError::conversionFailed with the summary of the failed attempt's
// standard error, and std::system_error when ffmpeg cannot be launched.
Result makeMP4(const std::filesystem::path& source,
               const MediaProbe& probe,
               const std::set<std::string>& allowedVideo,
               std::stop_token stopToken = {});

} // namespace Mp4Conversion
