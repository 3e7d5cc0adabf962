#include "download/MediaType.h"
#include "platform/Ascii.h"

#include "tools/Text.h"

#include <array>
#include <string_view>
#include <utility>

std::string MediaType::forPath(const std::filesystem::path& file) {
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 12> types = {{
        {"mp4", "video/mp4"},
        {"m4v", "video/x-m4v"},
        {"m4a", "audio/mp4"},
        {"webm", "video/webm"},
        {"mkv", "video/x-matroska"},
        {"mov", "video/quicktime"},
        {"mp3", "audio/mpeg"},
        {"opus", "audio/ogg"},
        {"ogg", "audio/ogg"},
        {"flac", "audio/flac"},
        {"wav", "audio/wav"},
        {"aac", "audio/aac"},
    }};
    std::string extension = file.extension().string();
    if (!extension.empty())
        extension.erase(0, 1);
    extension = Ascii::lower(extension);
    for (const auto& [known, type] : types) {
        if (extension == known)
            return std::string(type);
    }
    return "video/*";
}
