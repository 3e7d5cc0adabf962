#pragma once

#include "platform/UniqueFd.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <stop_token>

// The right to change the support folder's yt-dlp files, held by one update run at a time
// across processes and threads: an exclusive flock on a lock file. Each object opens the file
// anew (flock belongs to the open file description), so two runs in one process exclude each
// other too. The descriptor is close-on-exec, so no tool that a run starts keeps the lock after
// the run is gone; the kernel drops it when the holder dies, however it dies.
class YtdlpUpdateLock {
public:
    // How often a waiting run tries again; a stop request wakes it at once.
    static constexpr std::chrono::milliseconds retryInterval{100};

    // Blocks until the lock is held. When another run holds it, calls onWait once (on this
    // thread) and then tries again every retryInterval until it is free or a stop is requested.
    // Creates the file when missing; never removes it (a removed lock file would let a later run
    // lock a new file while an earlier one still holds the old).
    // Throws OperationCancelled (a stop request while waiting) or std::filesystem::filesystem_error
    // (the file cannot be opened or locked).
    YtdlpUpdateLock(const std::filesystem::path& file, const std::function<void()>& onWait, std::stop_token stopToken);
    // Releases the lock.
    ~YtdlpUpdateLock();
    YtdlpUpdateLock(const YtdlpUpdateLock&) = delete;
    YtdlpUpdateLock& operator=(const YtdlpUpdateLock&) = delete;

private:
    UniqueFd m_fd;
};
