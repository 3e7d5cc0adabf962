#include "download/FormatSelection.h"

#include "download/MediaProbe.h"

namespace {

std::string joined(const std::vector<std::string>& parts, const std::string& separator) {
    std::string text;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0)
            text += separator;
        text += parts[i];
    }
    return text;
}

// yt-dlp ranks by dynamic range from Dolby Vision down to SDR; the limit "sdr" puts SDR first, then
// formats of unknown range, then HLG, HDR10 and the rest. When the result is H.264, HDR would have to
// be tone-mapped, so at equal resolution SDR is the better source.
constexpr const char* sdrFirst = "hdr:sdr";

} // namespace

std::string FormatSelection::remuxableCodecPattern(bool compatible) {
    std::vector<std::string> prefixes{"avc1", "h264", "hev1", "hvc1"};
    if (!compatible && MediaProbe::allowedVideoCodecs(false).count("av1") > 0)
        prefixes.push_back("av01");
    return "^(" + joined(prefixes, "|") + ")";
}

std::optional<std::string>
FormatSelection::formatSelector(std::optional<int> maxHeight, bool preferMP4, bool compatible, bool resolutionFirst) {
    if (!maxHeight && !preferMP4)
        return std::nullopt;
    const std::string height = maxHeight ? "[height<=" + std::to_string(*maxHeight) + "]" : "";
    const std::string mp4Audio = "+ba[acodec~='^mp4a'][ext=m4a]";

    std::vector<std::string> alternatives;
    if (preferMP4 && resolutionFirst) {
        alternatives.push_back("bv*" + height + mp4Audio);
    } else if (preferMP4) {
        alternatives.push_back("bv*[vcodec~='" + remuxableCodecPattern(compatible) + "'][ext=mp4]" + height + mp4Audio);
        alternatives.push_back("bv*[ext=mp4]" + height + mp4Audio);
        alternatives.push_back("bv*[ext=mp4]" + height + "+ba[ext=m4a]");
        alternatives.push_back("b[ext=mp4]" + height);
    }
    alternatives.push_back("bv*" + height + "+ba");
    alternatives.push_back("b" + height);
    // Without a cap "b" + height is already the plain "b".
    if (maxHeight)
        alternatives.push_back("b");
    return joined(alternatives, "/");
}

std::string FormatSelection::formatSort(int maxHeight, bool preferMP4, bool compatible) {
    std::vector<std::string> keys{"res:" + std::to_string(maxHeight)};
    if (preferMP4) {
        if (compatible) {
            keys.push_back(sdrFirst);
            keys.push_back("vcodec:h264");
        } else if (MediaProbe::allowedVideoCodecs(false).count("av1") > 0)
            keys.push_back("vcodec:av01");
        keys.push_back("acodec:aac");
        keys.push_back("ext:mp4:m4a");
    }
    return joined(keys, ",");
}

std::vector<std::string> FormatSelection::formatArguments(VideoQuality quality, bool preferMP4, bool compatible) {
    if (quality == VideoQuality::audioOnly) {
        return {"--format",
                preferMP4 ? "ba[acodec~='^mp4a']/ba/b" : "ba/b",
                "--extract-audio",
                "--audio-format",
                preferMP4 ? "m4a" : "best",
                "--audio-quality",
                "0"};
    }
    std::vector<std::string> arguments;
    const bool resolutionFirst = quality == VideoQuality::p2160;
    if (auto selector = formatSelector(maxHeight(quality), preferMP4, compatible, resolutionFirst)) {
        arguments.push_back("--format");
        arguments.push_back(*selector);
    }
    if (quality == VideoQuality::p2160) {
        arguments.push_back("--format-sort");
        arguments.push_back(formatSort(2160, preferMP4, compatible));
    } else if (compatible) {
        // Resolution still decides first; a sort of "hdr" alone would rank it above resolution.
        arguments.push_back("--format-sort");
        arguments.push_back(std::string("res,") + sdrFirst);
    }
    return arguments;
}
