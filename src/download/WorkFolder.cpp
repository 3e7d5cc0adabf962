#include "download/WorkFolder.h"

#include "tools/Uuid.h"

#include <vector>

namespace fs = std::filesystem;

WorkFolder::WorkFolder(const fs::path& staging) : m_path(staging / Uuid::random()) {
    fs::create_directories(m_path);
    try {
        m_lock.emplace(m_path / lockFileName);
    } catch (...) {
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
        throw;
    }
}

WorkFolder::~WorkFolder() {
    std::error_code ignored;
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
