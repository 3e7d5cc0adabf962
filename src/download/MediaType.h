#pragma once

#include <filesystem>
#include <string>

// The MIME type a finished file is handed on with, from its file-name extension.
namespace MediaType {

// "video/mp4" for ".mp4" and so on (case-insensitive); "video/*" when the extension is unknown
// or absent, since whatever the pipeline hands on is meant to be a video. Pure; never throws.
std::string forPath(const std::filesystem::path& file);

} // namespace MediaType
