#pragma once

#include <filesystem>
#include <optional>
#include <set>
#include <stop_token>
#include <string>
#include <string_view>

// A downloaded file's container and its first video and audio codec, as ffprobe names them.
struct MediaProbe {
    std::string containerExtension;                // the file name's extension, lower-cased; may be empty
    std::optional<std::string> videoCodec;         // codec_name of the first video stream (not a cover picture)
    std::optional<std::string> audioCodec;         // codec_name of the first audio stream
    std::optional<double> durationSeconds{};       // the container's duration, else the longest stream's; > 0
    std::optional<std::string> videoProfile{};     // profile of the first video stream ("High 10")
    std::optional<std::string> videoPixelFormat{}; // pix_fmt of the first video stream ("yuv420p")
    std::optional<std::string> videoCodecTag{};    // codec_tag_string of the first video stream ("hev1")
    std::optional<std::string> colorTransfer{};    // color_transfer of the first video stream ("smpte2084")
    std::optional<std::string> colorPrimaries{};   // color_primaries of the first video stream ("bt2020")

    bool operator==(const MediaProbe&) const = default;

    // Runs the shipped ffprobe on the file and blocks until it ends; a stop request ends it and
    // throws OperationCancelled. Throws DownloadError::conversionFailed("ffprobe could not read
    // the downloaded file") when it exits non-zero, the nlohmann::json error when its report is
    // not JSON or has no "streams" array, and std::system_error when ffprobe cannot be launched.
    static MediaProbe probe(const std::filesystem::path& file, std::stop_token stopToken = {});

    // Reads ffprobe's JSON report for the file. Throws nlohmann::json errors as probe() does; a
    // missing or unreadable duration is no error (durationSeconds stays empty).
    static MediaProbe fromReport(const std::filesystem::path& file, std::string_view report);

    // Video codecs every player takes in an MP4: {"h264", "hevc"}.
    static const std::set<std::string>& compatibleVideoCodecs();
    // Audio codecs that may stay in an MP4 as they are: {"aac", "mp3", "alac"}.
    static const std::set<std::string>& mp4AudioCodecs();

    // Whether this machine decodes the codec in hardware. Only the exact names "h264", "hevc",
    // "vp9" and "av1" are asked about; any other text is false without asking.
    static bool hardwareDecodes(std::string_view codecName);

    // The video codecs that may stay in the finished MP4: compatibleVideoCodecs(), plus "av1"
    // when compatible is false and the hardware decodes AV1. Built afresh at every call.
    static std::set<std::string> allowedVideoCodecs(bool compatible);

    // Whether the video is H.264 that every H.264 player decodes: 8-bit 4:2:0 (yuv420p,
    // yuvj420p) with a profile up to High, and not tagged HDR. What ffprobe did not report counts as
    // everyday, so a report without these fields changes nothing. Pure.
    bool isEverydayH264() const;

    // Whether the video's transfer is an HDR one, PQ ("smpte2084") or HLG ("arib-std-b67"), which
    // 8-bit H.264 cannot carry: a re-encode tone-maps it to SDR. Pure.
    bool isHdr() const;

    // Whether the video is HEVC tagged "hev1", which Apple's players refuse in an MP4: it is
    // repackaged and tagged "hvc1". Pure.
    bool isHev1() const;

    // The allowed set for this file: with compatible, "h264" goes when the video is H.264 beyond
    // what every player decodes (High 10, High 4:2:2, High 4:4:4), so it is re-encoded. Pure.
    std::set<std::string> narrowedFor(const std::set<std::string>& allowed, bool compatible) const;
};
