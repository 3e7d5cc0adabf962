#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// The name a finished file is saved under, made honest: a site's title decides it, and a title
// must not make a file look like another kind (a right-to-left override turns "gpj.exe" into
// what reads as "exe.jpg") nor hide it (a name starting with "." is hidden by ls and file
// managers).
namespace SavedName {

// The name less its bidirectional and zero-width controls (U+200B-200F, U+202A-202E,
// U+2066-2069) and the byte-order mark, with every other control character (C0, DEL, C1)
// replaced by "_", and a leading "." made "_". A name left without anything before its extension
// becomes "video" followed by the extension. Ill-formed UTF-8 is kept as it is (the name must
// still name the file). Pure.
std::string honest(std::string_view name);

// Renames file, in its own folder, to its honest name when that differs and is free; returns the
// file's path either way. Never throws but std::bad_alloc.
std::filesystem::path renamedHonestly(const std::filesystem::path& file);

} // namespace SavedName
