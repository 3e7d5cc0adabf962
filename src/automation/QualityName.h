#pragma once

#include "download/VideoQuality.h"

#include <optional>
#include <string>
#include <string_view>

// The names `--quality` takes: each preset's raw value and label, the short forms people type
// ("best", "4k", "1080", "audio" ...), in any letter case. Pure.
namespace QualityName {

std::optional<VideoQuality> parse(std::string_view text);

// Every preset with its names, for help and for the message about a name that is none of them:
// "highest or best ("Highest quality"), p2160 or 2160 ("4K"), ...".
std::string choices();

} // namespace QualityName
