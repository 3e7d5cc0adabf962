#include "download/MediaProbe.h"
#include "platform/Ascii.h"

#include "download/DownloadError.h"
#include "platform/HardwareVideo.h"
#include "tools/BundledTools.h"
#include "tools/Text.h"
#include "tools/ToolProcess.h"

#include <nlohmann/json.hpp>

#include <array>
#include <charconv>
#include <cmath>

namespace {

// The first stream of this kind; streams without a codec_type are skipped. Null when none.
const nlohmann::json* firstStream(const nlohmann::json& streams, std::string_view kind) {
    for (const auto& stream : streams) {
        const auto type = stream.find("codec_type");
        if (type == stream.end() || type->is_null())
            continue;
        if (type->get<std::string>() != kind)
            continue;
        // An audio file's cover picture is a video stream to ffprobe, but no video.
        const auto disposition = stream.find("disposition");
        if (disposition != stream.end() && disposition->is_object() && disposition->value("attached_pic", 0) == 1)
            continue;
        return &stream;
    }
    return nullptr;
}

// A text field of the stream; absent when the stream or the field is, or it is not a text.
std::optional<std::string> textOf(const nlohmann::json* stream, const char* key) {
    if (!stream)
        return std::nullopt;
    const auto value = stream->find(key);
    if (value == stream->end() || !value->is_string())
        return std::nullopt;
    return value->get<std::string>();
}

// ffprobe writes durations as decimal texts ("2.000000"); a missing one is left out or "N/A".
std::optional<double> durationIn(const nlohmann::json& object) {
    if (!object.is_object())
        return std::nullopt;
    const auto value = object.find("duration");
    if (value == object.end() || !value->is_string())
        return std::nullopt;
    const std::string& text = value->get_ref<const std::string&>();
    double seconds = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(seconds) || seconds <= 0)
        return std::nullopt;
    return seconds;
}

} // namespace

MediaProbe MediaProbe::probe(const std::filesystem::path& file, std::stop_token stopToken) {
    const ToolProcessResult result =
        ToolProcess::run(BundledTools::ffprobe(),
                         {"-v", "error", "-print_format", "json", "-show_streams", "-show_format", file.string()},
                         std::nullopt,
                         std::move(stopToken));
    if (result.status != 0)
        throw DownloadError::conversionFailed("ffprobe could not read the downloaded file");
    return fromReport(file, result.standardOutput);
}

MediaProbe MediaProbe::fromReport(const std::filesystem::path& file, std::string_view report) {
    const nlohmann::json json = nlohmann::json::parse(report);
    const nlohmann::json& streams = json.at("streams");
    if (!streams.is_array())
        throw nlohmann::json::type_error::create(302, "\"streams\" is not an array", &streams);
    for (const auto& stream : streams) {
        if (!stream.is_object())
            throw nlohmann::json::type_error::create(302, "a stream is not an object", &stream);
        // A present key of the wrong type is a malformed report, as for any strict decoder.
        for (const char* key : {"codec_type", "codec_name"}) {
            const auto value = stream.find(key);
            if (value != stream.end() && !value->is_null() && !value->is_string())
                throw nlohmann::json::type_error::create(302, std::string(key) + " is not a string", &*value);
        }
    }

    MediaProbe probe;
    std::string extension = file.filename().extension().string();
    if (!extension.empty())
        extension.erase(0, 1);
    probe.containerExtension = Ascii::lower(extension);
    const nlohmann::json* video = firstStream(streams, "video");
    probe.videoCodec = textOf(video, "codec_name");
    probe.videoProfile = textOf(video, "profile");
    probe.videoPixelFormat = textOf(video, "pix_fmt");
    probe.videoCodecTag = textOf(video, "codec_tag_string");
    probe.colorTransfer = textOf(video, "color_transfer");
    probe.colorPrimaries = textOf(video, "color_primaries");
    probe.audioCodec = textOf(firstStream(streams, "audio"), "codec_name");
    if (const auto format = json.find("format"); format != json.end())
        probe.durationSeconds = durationIn(*format);
    if (!probe.durationSeconds) {
        for (const auto& stream : streams) {
            const auto seconds = durationIn(stream);
            if (seconds && (!probe.durationSeconds || *seconds > *probe.durationSeconds))
                probe.durationSeconds = seconds;
        }
    }
    return probe;
}

const std::set<std::string>& MediaProbe::compatibleVideoCodecs() {
    static const std::set<std::string> codecs{"h264", "hevc"};
    return codecs;
}

const std::set<std::string>& MediaProbe::mp4AudioCodecs() {
    static const std::set<std::string> codecs{"aac", "mp3", "alac"};
    return codecs;
}

bool MediaProbe::hardwareDecodes(std::string_view codecName) {
    static constexpr std::array<std::string_view, 4> known{"h264", "hevc", "vp9", "av1"};
    for (std::string_view name : known) {
        if (name == codecName)
            return HardwareVideo::decodes(codecName);
    }
    return false;
}

std::set<std::string> MediaProbe::allowedVideoCodecs(bool compatible) {
    std::set<std::string> allowed = compatibleVideoCodecs();
    if (!compatible && hardwareDecodes("av1"))
        allowed.insert("av1");
    return allowed;
}

bool MediaProbe::isEverydayH264() const {
    // High 10, High 4:2:2, High 4:4:4 (Predictive, Intra) and the intra profiles need decoders that
    // phones, TVs and browsers often lack; these five every H.264 decoder has.
    static const std::set<std::string> profiles{"Constrained Baseline", "Baseline", "Main", "Extended", "High"};
    return videoCodec == "h264" && (!videoProfile || profiles.count(*videoProfile) > 0) &&
           (!videoPixelFormat || videoPixelFormat == "yuv420p" || videoPixelFormat == "yuvj420p") && !isHdr();
}

bool MediaProbe::isHdr() const {
    return colorTransfer == "smpte2084" || colorTransfer == "arib-std-b67";
}

bool MediaProbe::isHev1() const {
    return videoCodec == "hevc" && videoCodecTag == "hev1";
}

std::set<std::string> MediaProbe::narrowedFor(const std::set<std::string>& allowed, bool compatible) const {
    std::set<std::string> narrowed = allowed;
    if (compatible && videoCodec == "h264" && !isEverydayH264())
        narrowed.erase("h264");
    return narrowed;
}
