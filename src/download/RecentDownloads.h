#pragma once

#include <filesystem>
#include <vector>

// The finished files that earlier runs left in the staging folder and that the day-old sweep has
// not yet removed: read from the work folders themselves, so nothing is stored besides them.
namespace RecentDownloads {

struct File {
    std::filesystem::path path;
    std::filesystem::file_time_type written;
};

// The files of work folders younger than a day (the sweep's rule) that no running download holds
// and that hold exactly one visible file (what a finished download leaves), newest first. A folder
// that cannot be read is left out. Reads the folder's entries only; never throws.
std::vector<File> list(const std::filesystem::path& staging,
                       std::filesystem::file_time_type now = std::filesystem::file_time_type::clock::now());

} // namespace RecentDownloads
