#pragma once

#include <array>
#include <optional>
#include <string_view>

// The quality preset, in the order the picker and the command offer them.
enum class VideoQuality { highest, p2160, p1080, p720, p480, audioOnly };

inline constexpr std::array<VideoQuality, 6> allVideoQualities = {VideoQuality::highest,
                                                                  VideoQuality::p2160,
                                                                  VideoQuality::p1080,
                                                                  VideoQuality::p720,
                                                                  VideoQuality::p480,
                                                                  VideoQuality::audioOnly};

// "highest", "p2160", "p1080", "p720", "p480", "audioOnly"
std::string_view rawValue(VideoQuality quality);

// "Highest quality", "4K", "1080p", "720p", "480p", "Audio only"
std::string_view label(VideoQuality quality);

// Exact, case-sensitive match of a raw value; anything else yields nothing.
std::optional<VideoQuality> videoQualityFromRawValue(std::string_view raw);

// The height cap: none for highest (and audioOnly, which never asks), else 2160/1080/720/480.
std::optional<int> maxHeight(VideoQuality quality);
