#pragma once

#include <optional>
#include <string>

// The newest yt-dlp release that an update check of this process has seen (the newer of the two
// channels' latest tags). It outranks the age of a version when telling whether a copy is the
// newest one the user could have. Safe from any thread.
namespace LatestYtdlpRelease {

// Keeps tag when it is newer than the one kept (YtdlpVersion::compare), or when none is kept.
void note(const std::string& tag);

// The newest tag noted so far; absent before any check answered.
std::optional<std::string> known();

// Drops what was noted (for tests that stand for a new process).
void forget();

} // namespace LatestYtdlpRelease
