#pragma once

#include "download/DownloadProgress.h"
#include "download/MediaProbe.h"
#include "download/PageMetadata.h"

#include <filesystem>
#include <optional>
#include <set>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

// Turns a downloaded file into an MP4 next to it with the shipped ffmpeg: what may stay is
// copied, video that may not is re-encoded to H.264 (the hardware encoder first
// where a VA-API device is usable, libx264 second),
// audio that may not is re-encoded to AAC. A file without a video stream becomes an M4A of its
// first audio stream.
namespace Mp4Conversion {

// What is decided once, before the first ffmpeg run, and kept for both attempts.
struct Plan {
    bool copyVideo = false;      // the probe's video codec is in the allowed set
    bool copyAudio = false;      // no audio, or an audio codec an MP4 takes as it is
    bool hardwareDecode = false; // re-encoding, and the hardware decodes the source's codec
    bool audioOnly = false;      // no video stream but an audio stream: the result is an M4A
    bool tagHvc1 = false;        // the copied video is HEVC: tagged "hvc1", as Apple's players need
    bool toneMap = false;        // re-encoding PQ or HLG video: tone-mapped to BT.709 SDR, in software

    bool operator==(const Plan&) const = default;
};

enum class VideoEncoder { copy, hardware, software };

// The page's tags and chapters, as an ffmpeg metadata file (PageMetadata::ffmetadata).
struct PageTags {
    std::filesystem::path file;
    bool chapters = false; // the page has chapters of its own, which replace the source's
};

struct Result {
    std::filesystem::path file;
    bool reencoded = false; // the video (of an M4A: the audio) was re-encoded rather than copied
};

Plan plan(const MediaProbe& probe, const std::set<std::string>& allowedVideo);

// Whether the file already is what a conversion would make, so none is needed: an MP4 whose video
// is allowed (and, for HEVC, not tagged "hev1") and whose audio (if any) may stay, or, without
// video, an M4A whose audio may stay. Pure; asks the hardware nothing.
bool alreadyFits(const MediaProbe& probe, const std::set<std::string>& allowedVideo);

// "T.webm" gives "T.mp4"; "T.mp4" gives "T.h264.mp4", so the source is never overwritten.
// With audioOnly: "T.opus" gives "T.m4a"; "T.m4a" gives "T.audio.m4a".
std::filesystem::path outputPath(const std::filesystem::path& source, bool audioOnly = false);

// One ffmpeg argument list: "-progress pipe:1 -nostats" (progress on standard output, none on
// standard error) first, then the input, and the source's global metadata and chapters kept; with
// page tags, those come second as an input of their own, their tags win over the source's, and
// their chapters, when they have any, replace the source's. The
// video group follows the encoder; both encoders crop an odd width or height to the even size
// below it; the software encoder tone-maps an HDR source when the plan says so. The rest follows
// the plan. An audio-only plan maps the first audio stream alone and writes it with the MP4 muxer
// (the M4A one refuses MP3); the encoder is then ignored.
std::vector<std::string> arguments(const std::filesystem::path& source,
                                   const std::filesystem::path& output,
                                   const Plan& plan,
                                   VideoEncoder encoder,
                                   const std::optional<PageTags>& page = std::nullopt);

// ffmpeg's standard error in one line, naming the cause: the last line that ends in a system
// error's text (as in "...: No space left on device"), else the first line that holds
// "divisible", "Invalid" or "Error while opening encoder" (an encoder's refusal), else the summary
// of the lines other than ffmpeg's closing "Conversion failed!". Never empty. Pure.
std::string failureSummary(std::string_view standardError);

// Whether an ffmpeg run that exited 0 could still not finish its output (ffmpeg reports a failed
// trailer write or close, as on a full disk, and exits 0 all the same). Pure.
bool outputUnfinished(std::string_view standardError);

// Runs ffmpeg and blocks until it ends: when re-encoding with a usable VA-API device, the hardware
// encoder first and libx264 when it fails; without one, or to tone-map, libx264 alone. The
// source is left in place; whatever a failed or stopped attempt wrote at the output path is
// removed. A stop request ends the running ffmpeg and throws OperationCancelled, so no second
// attempt starts. Throws DownloadError::conversionFailed with failureSummary of the failed
// attempt's standard error, and std::system_error when ffmpeg cannot be launched. Each attempt
// reports the converting phase to onProgress (on this thread, unthrottled) from 0, with a
// fraction of the probe's duration when it has one. With page, the result carries the page's
// tags and chapters (written to a file beside the source for the run, and removed after it). An
// MP4 whose video is copied keeps its name: the result replaces the source once it is complete.
Result makeMP4(const std::filesystem::path& source,
               const MediaProbe& probe,
               const std::set<std::string>& allowedVideo,
               std::stop_token stopToken = {},
               const DownloadProgressHandler& onProgress = {},
               const std::optional<PageMetadata>& page = std::nullopt);

} // namespace Mp4Conversion
