#include "download/WorkFolder.h"

#include "platform/FolderMark.h"
#include "tools/Uuid.h"

#include <vector>

namespace fs = std::filesystem;

namespace {

bool isUuidName(const std::string& name) {
    if (name.size() != 36)
        return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? c != '-' : !((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')))
            return false;
    }
    return true;
}

} // namespace

WorkFolder::WorkFolder(const fs::path& staging) : m_path(staging / Uuid::random()) {
    fs::create_directories(m_path);
    try {
        m_lock.emplace(m_path / lockFileName);
    } catch (...) {
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
        throw;
    }
    m_marked = FolderMark::set(m_path, markName);
}

WorkFolder::~WorkFolder() {
    std::error_code ignored;
    // Without the folder mark the lock file is what marks the folder, unless nothing else is left.
    int entries = 0;
    for (fs::directory_iterator it(m_path, ignored), end; !ignored && it != end && entries < 2; it.increment(ignored))
        ++entries;
    if (m_marked || entries <= 1)
        fs::remove(m_path / lockFileName, ignored);
    // Removes the folder only when nothing is left in it.
    fs::remove(m_path, ignored);
}

void WorkFolder::removeAllBut(const fs::path& keep) const {
    std::error_code error;
    std::vector<fs::path> doomed;
    for (fs::directory_iterator entries(m_path, error), end; !error && entries != end; entries.increment(error)) {
        const fs::path& entry = entries->path();
        std::error_code sameError;
        const bool kept = !keep.empty() && fs::equivalent(entry, keep, sameError);
        if (entry.filename() != lockFileName && !kept)
            doomed.push_back(entry);
    }
    for (const fs::path& entry : doomed) {
        std::error_code ignored;
        fs::remove_all(entry, ignored);
    }
}

bool WorkFolder::inUse(const fs::path& folder) {
    return FileLock::isHeld(folder / lockFileName);
}

bool WorkFolder::isOurs(const fs::path& entry) {
    std::error_code error;
    if (!fs::is_directory(fs::symlink_status(entry, error)) || !isUuidName(entry.filename().string()))
        return false;
    return FolderMark::isSet(entry, markName) || fs::is_regular_file(fs::symlink_status(entry / lockFileName, error));
}
