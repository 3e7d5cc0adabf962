#pragma once

#include "platform/FileLock.h"

#include <filesystem>
#include <optional>
#include <string_view>

// One download's own folder below the staging folder, held while the download runs: the lock on
// a hidden file inside tells the day-old sweep to keep away however old the folder looks (a run
// past a day, a process stopped and resumed the next day, a clock that jumped).
class WorkFolder {
public:
    static constexpr std::string_view lockFileName = ".tallowin-lock";

    // Creates a folder named by a fresh random UUID below staging (with the folders above it) and
    // locks it. Throws std::filesystem::filesystem_error or std::system_error.
    explicit WorkFolder(const std::filesystem::path& staging);
    // Removes the lock file and gives the lock back; a folder that is left empty (what a failed
    // download leaves) goes too. Ignores every failure.
    ~WorkFolder();
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;

    const std::filesystem::path& path() const { return m_path; }

    // Removes every entry inside, with what is in it, except keep (when not empty) and the lock:
    // what a failed or stopped run wrote (yt-dlp's .part, .ytdl and fragment files, the streams
    // before their merge, a conversion's output). Nothing in a fresh folder can be resumed, so
    // nothing else is worth its space. Ignores every failure.
    void removeAllBut(const std::filesystem::path& keep) const;

    // Whether a running download holds the folder. Never throws.
    static bool inUse(const std::filesystem::path& folder);

private:
    std::filesystem::path m_path;
    std::optional<FileLock> m_lock;
};
