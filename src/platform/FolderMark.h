#pragma once

#include <filesystem>
#include <string_view>

// A mark on a folder itself (an extended attribute in the user namespace), so that a program can
// tell its own folders from anyone else's without a file inside them. Never follows a symbolic
// link.
namespace FolderMark {

// Marks the folder. False when the file system keeps no such marks (or the folder is gone); the
// caller then needs another sign. Never throws.
bool set(const std::filesystem::path& folder, std::string_view name);

// Whether the folder itself (not a link to it) has the mark. Never throws.
bool isSet(const std::filesystem::path& folder, std::string_view name);

} // namespace FolderMark
