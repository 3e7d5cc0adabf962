#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <stop_token>
#include <string>

// Where the external tools live: the four shipped in the package's Contents/Helpers, and the
// updatable yt-dlp in the user's data folder. Every location is computed once, on first use.
namespace BundledTools {

const std::filesystem::path& helpersDirectory(); // <package root>/Contents/Helpers
const std::filesystem::path& bundledYtdlp();
const std::filesystem::path& ffmpeg();
const std::filesystem::path& ffprobe();
const std::filesystem::path& deno();
const std::filesystem::path& supportDirectory(); // $XDG_DATA_HOME/<bundle identifier>
const std::filesystem::path& updatedYtdlp();     // supportDirectory()/yt-dlp

// True when the path names a regular file (links followed) that we may execute.
bool isExecutableFile(const std::filesystem::path& path);

// Runs the tool once with its version option ("-version" for names beginning with "ff",
// "--version" otherwise) and reads the version from the first non-empty line of its output,
// by the rule its file name selects. Absent when the tool is not an executable file, cannot
// be launched, prints no line, prints nothing for silenceLimit (it is then stopped) or is
// stopped through stopToken before it exits 0. Blocks while the tool runs; never throws.
inline constexpr std::chrono::seconds versionSilenceLimit{30};
std::optional<std::string> version(const std::filesystem::path& tool,
                                   std::stop_token stopToken = {},
                                   std::chrono::milliseconds silenceLimit = versionSilenceLimit);

} // namespace BundledTools
