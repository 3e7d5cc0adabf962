#pragma once

#include "platform/FileLock.h"

#include <filesystem>
#include <optional>
#include <string_view>

// One download's own folder below the staging folder, held while the download runs: the lock on
// a hidden file inside tells the day-old sweep to keep away however old the folder looks (a run
// past a day, a process stopped and resumed the next day, a clock that jumped). The folder is
// marked as ours for its whole life (FolderMark, or the lock file left in place where the file
// system keeps no marks), so that the sweep never takes what someone else put beside it.
class WorkFolder {
public:
    static constexpr std::string_view lockFileName = ".tallowin-lock";
    static constexpr std::string_view markName = "org.tallowin.work-folder";

    // Creates a folder named by a fresh random UUID below staging (with the folders above it) and
    // locks it. Throws std::filesystem::filesystem_error or std::system_error.
    explicit WorkFolder(const std::filesystem::path& staging);
    // Gives the lock back and removes the lock file (kept where it is the only mark); a folder
    // that is left empty (what a failed download leaves) goes too. Ignores every failure.
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

    // Whether entry is a work folder of ours: a real folder (not a link), named by a UUID in
    // the form we give, with our mark or our lock file. Never throws.
    static bool isOurs(const std::filesystem::path& entry);

private:
    std::filesystem::path m_path;
    std::optional<FileLock> m_lock;
    bool m_marked = false;
};
