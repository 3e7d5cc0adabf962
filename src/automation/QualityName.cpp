#include "automation/QualityName.h"

#include "platform/Ascii.h"

namespace {

// The short form of each preset, besides its raw value and its label.
std::string_view shortName(VideoQuality quality) {
    switch (quality) {
    case VideoQuality::highest:
        return "best";
    case VideoQuality::p2160:
        return "2160";
    case VideoQuality::p1080:
        return "1080";
    case VideoQuality::p720:
        return "720";
    case VideoQuality::p480:
        return "480";
    case VideoQuality::audioOnly:
        return "audio";
    }
    return {};
}

} // namespace

namespace QualityName {

std::optional<VideoQuality> parse(std::string_view text) {
    const std::string wanted = Ascii::lower(text);
    for (VideoQuality quality : allVideoQualities) {
        for (std::string_view name : {rawValue(quality), label(quality), shortName(quality)}) {
            if (Ascii::lower(name) == wanted)
                return quality;
        }
    }
    return std::nullopt;
}

std::string choices() {
    std::string text;
    for (VideoQuality quality : allVideoQualities) {
        if (!text.empty())
            text += ", ";
        text += std::string(rawValue(quality)) + " or " + std::string(shortName(quality)) + " (\"" +
                std::string(label(quality)) + "\")";
    }
    return text;
}

} // namespace QualityName
