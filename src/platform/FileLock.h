#pragma once

#include "platform/UniqueFd.h"

#include <filesystem>

// An exclusive advisory lock (flock) on a file, held for the life of this object. A flock lock
// belongs to the open file, so two holders in one process exclude each other just as two
// processes do, and it goes with the descriptor when the holder ends or dies.
class FileLock {
public:
    // Creates the file when it is missing and locks it without waiting. Throws std::system_error
    // when it cannot be opened, or when another holder has it (EWOULDBLOCK).
    explicit FileLock(const std::filesystem::path& file);

    // Whether another open file holds the lock now: a lock attempt that waits for nothing and is
    // given back at once. False when the file is missing or cannot be opened. Never throws.
    static bool isHeld(const std::filesystem::path& file);

private:
    UniqueFd m_fd;
};
