#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// The resolver's last answer, kept between processes: the two yt-dlp copies' fingerprints and
// the versions they reported. A fresh process whose copies are unchanged then starts no
// "--version" run at all. The file is a cache: anything wrong with it (missing, unreadable,
// malformed, written for other files) reads as absent, and a failure to write it is ignored.
namespace ResolvedVersionsFile {

struct Entry {
    std::vector<std::string> key; // the fingerprints of the shipped and the updated copy
    std::optional<std::string> bundledVersion;
    std::optional<std::string> updatedVersion;
};

// <cache folder>/<bundle identifier>/yt-dlp-versions.json
const std::filesystem::path& location();

// The stored versions when the stored key equals `key` exactly. Never throws.
std::optional<Entry> read(const std::filesystem::path& file, const std::vector<std::string>& key);

// Replaces the file atomically (a temporary beside it, then a rename). Never throws.
void write(const std::filesystem::path& file, const Entry& entry);

// Removes the file. Never throws.
void remove(const std::filesystem::path& file);

} // namespace ResolvedVersionsFile
