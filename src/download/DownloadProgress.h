#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// How far a download has come, as the core reports it while the tools run. Every number is
// optional: a tool that does not know (a stream without a length, a file without a duration)
// leaves it out, and the phase is then shown without a percentage.
struct DownloadProgress {
    enum class Phase {
        downloading, // yt-dlp fetches stream `stream` of `streamCount`
        retrying,    // the same, again from the start with one fragment at a time (the site refused several)
        merging,     // yt-dlp joins the streams or post-processes the file
        checking,    // ffprobe inspects the file
        repackaging, // ffmpeg copies the streams into an MP4 without re-encoding
        converting,  // ffmpeg re-encodes to MP4 (a second attempt starts again at 0)
    };

    Phase phase = Phase::downloading;
    // The fields marked "downloading" hold for retrying as well.
    int stream = 0;                         // downloading: 1-based; 0 when unknown
    int streamCount = 0;                    // downloading: 0 when unknown
    std::optional<double> fraction;         // of the phase (for downloading, of this stream), 0…1
    std::optional<std::int64_t> bytes;      // downloading: bytes of this stream so far
    std::optional<std::int64_t> totalBytes; // downloading: this stream's total or estimated total
    std::optional<double> bytesPerSecond;   // downloading
    std::optional<std::int64_t> etaSeconds; // downloading
    // The file's name as yt-dlp chose it (made honest, without its folder), from the start of the
    // download on; empty before, and in the steps after yt-dlp.
    std::string fileName;

    bool operator==(const DownloadProgress&) const = default;
};

// Called on the download's own thread, at most ten times a second; a change of phase is always
// reported. Must not block.
using DownloadProgressHandler = std::function<void(const DownloadProgress&)>;
