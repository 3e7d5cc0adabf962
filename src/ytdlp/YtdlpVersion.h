#pragma once

#include <string_view>

// Reads and orders yt-dlp version texts ("2025.01.15", "2025.01.16.232519"). Versions stay
// plain text everywhere else; these are pure functions, safe from any thread.
namespace YtdlpVersion {

// -1 when a is older than b, 0 when they are the same version, +1 when a is newer.
// Pieces compare as signed 64-bit numbers; missing pieces count as 0 and unreadable ones too.
int compare(std::string_view a, std::string_view b);

// At least three dot-separated pieces, each a strict signed 64-bit decimal integer.
bool looksValid(std::string_view text);

} // namespace YtdlpVersion
