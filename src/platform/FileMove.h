#pragma once

#include <filesystem>

// Moving a finished file into a folder the user named, the way file managers do: never over
// another file, and never leaving half a file behind.
namespace FileMove {

// Moves file into folder (created with its parents when missing) under its own name; when that
// name is taken, under the first free "name (2).ext", "name (3).ext", ... Across file systems the
// file is copied to a temporary name in folder, renamed to the free name, and then the original
// is removed. Returns the new path. Blocks for the copy.
// Throws std::filesystem::filesystem_error; the file is then where it was and nothing of it is
// left in folder.
std::filesystem::path intoFolder(const std::filesystem::path& file, const std::filesystem::path& folder);

} // namespace FileMove
