#pragma once

#include <chrono>
#include <optional>
#include <string_view>

// Reads and orders yt-dlp version texts ("2025.01.15", "2025.01.16.232519"). Versions stay
// plain text everywhere else; these are pure functions, safe from any thread.
namespace YtdlpVersion {

// -1 when a is older than b, 0 when they are the same version, +1 when a is newer.
// Pieces compare as signed 64-bit numbers; missing pieces count as 0 and unreadable ones too.
int compare(std::string_view a, std::string_view b);

// At least three dot-separated pieces, each a strict signed 64-bit decimal integer.
bool looksValid(std::string_view text);

// The day a release version names by its first three pieces, year, month and day ("2025.01.16.232519"
// was built on 16 January 2025). Absent when the text is not valid or those pieces make no date.
std::optional<std::chrono::sys_days> releaseDate(std::string_view text);

} // namespace YtdlpVersion
