#include "download/VideoQuality.h"

#include <cstddef>

namespace {

struct QualityRow {
    std::string_view raw;
    std::string_view label;
    std::optional<int> maxHeight;
};

// Indexed by the enum, in declaration order.
constexpr std::array<QualityRow, 6> rows = {{
    {"highest", "Highest quality", std::nullopt},
    {"p2160", "4K", 2160},
    {"p1080", "1080p", 1080},
    {"p720", "720p", 720},
    {"p480", "480p", 480},
    {"audioOnly", "Audio only", std::nullopt},
}};

const QualityRow& row(VideoQuality quality) {
    return rows[static_cast<std::size_t>(quality)];
}

} // namespace

std::string_view rawValue(VideoQuality quality) {
    return row(quality).raw;
}

std::string_view label(VideoQuality quality) {
    return row(quality).label;
}

std::optional<VideoQuality> videoQualityFromRawValue(std::string_view raw) {
    for (VideoQuality quality : allVideoQualities) {
        if (row(quality).raw == raw)
            return quality;
    }
    return std::nullopt;
}

std::optional<int> maxHeight(VideoQuality quality) {
    return row(quality).maxHeight;
}
