#pragma once

#include <filesystem>
#include <string>

// What tells a changed file from an unchanged one without reading it, so that what a tool once
// answered can be kept until the tool itself changes.
namespace ToolFingerprint {

// "missing", or "<size>@<modification time in seconds>#<inode>:<change time>": a file replaced by
// another of equal size and date still differs by its inode or change time. Never throws.
std::string of(const std::filesystem::path& path);

} // namespace ToolFingerprint
