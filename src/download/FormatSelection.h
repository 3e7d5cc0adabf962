#pragma once

#include "download/VideoQuality.h"

#include <optional>
#include <string>
#include <vector>

// yt-dlp's format-choice arguments for a preset and the two MP4 switches: lean towards streams
// that join into an MP4 without re-encoding, and fall back step by step to anything available.
// Pure text building, apart from the hardware query for AV1.
namespace FormatSelection {

// "^(avc1|h264|hev1|hvc1)", with "|av01" added when compatible is false and AV1 is decoded in
// hardware.
std::string remuxableCodecPattern(bool compatible);

// The "--format" selector, or nothing when yt-dlp's default is to be used (no cap, no MP4).
std::optional<std::string>
formatSelector(std::optional<int> maxHeight, bool preferMP4, bool compatible, bool resolutionFirst);

// The "--format-sort" order, e.g. "res:2160,hdr:sdr,vcodec:h264,acodec:aac,ext:mp4:m4a" (SDR
// first only when compatible, since the result is then H.264).
std::string formatSort(int maxHeight, bool preferMP4, bool compatible);

// The whole block that goes between yt-dlp's fixed arguments and the page address. Only 4K sorts
// by its own order; with compatible the other video presets sort SDR above HDR at equal resolution.
std::vector<std::string> formatArguments(VideoQuality quality, bool preferMP4, bool compatible);

} // namespace FormatSelection
