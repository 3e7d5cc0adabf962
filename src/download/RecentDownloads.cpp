#include "download/RecentDownloads.h"

#include "download/WorkFolder.h"

#include <algorithm>
#include <chrono>
#include <optional>

namespace fs = std::filesystem;

namespace {

// The one finished file of a work folder; none when there is none or more than one (a stopped run's
// pieces), or when it is still being written (yt-dlp's temporary names).
std::optional<fs::path> onlyFile(const fs::path& folder) {
    std::error_code error;
    std::optional<fs::path> found;
    for (fs::directory_iterator entries(folder, error), end; !error && entries != end; entries.increment(error)) {
        const fs::path& entry = entries->path();
        const std::string name = entry.filename().string();
        if (name.starts_with('.'))
            continue;
        std::error_code typeError;
        if (found || !entries->is_regular_file(typeError) || name.ends_with(".part") || name.ends_with(".ytdl"))
            return std::nullopt;
        found = entry;
    }
    return error ? std::nullopt : found;
}

} // namespace

std::vector<RecentDownloads::File> RecentDownloads::list(const fs::path& staging, fs::file_time_type now) {
    std::vector<File> files;
    std::error_code error;
    const auto cutoff = now - std::chrono::hours(24);
    for (fs::directory_iterator entries(staging, error), end; !error && entries != end; entries.increment(error)) {
        const fs::path& folder = entries->path();
        std::error_code dateError;
        const auto changed = fs::last_write_time(folder, dateError);
        if (dateError || changed < cutoff || WorkFolder::inUse(folder))
            continue;
        if (const std::optional<fs::path> file = onlyFile(folder)) {
            const auto written = fs::last_write_time(*file, dateError);
            if (!dateError)
                files.push_back({*file, written});
        }
    }
    std::sort(files.begin(), files.end(), [](const File& a, const File& b) { return a.written > b.written; });
    return files;
}
