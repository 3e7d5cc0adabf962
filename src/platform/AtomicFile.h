#pragma once

#include <filesystem>
#include <string_view>

// Replacing a small file so that a reader, in this process or another, sees either the old whole
// file or the new one, never a part: for the caches that several processes read and write.
namespace AtomicFile {

// Writes contents to a temporary name of this call's own beside file (two writers at once each
// rename a whole file), then renames it onto file. Creates the parent folders. Returns false on
// any failure, with file as it was and no temporary left behind. Blocks for the write; never
// throws.
bool replace(const std::filesystem::path& file, std::string_view contents) noexcept;

} // namespace AtomicFile
