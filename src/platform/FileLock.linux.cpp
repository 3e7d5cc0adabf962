#include "platform/FileLock.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>
#include <system_error>

FileLock::FileLock(const std::filesystem::path& file)
    : m_fd(::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600)) {
    if (!m_fd)
        throw std::system_error(errno, std::generic_category(), "cannot open " + file.string());
    while (::flock(m_fd.get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno != EINTR)
            throw std::system_error(errno, std::generic_category(), "cannot lock " + file.string());
    }
}

bool FileLock::isHeld(const std::filesystem::path& file) {
    const UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (!fd)
        return false;
    int result;
    while ((result = ::flock(fd.get(), LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
    }
    // Closing the descriptor gives a lock taken here back.
    return result != 0 && errno == EWOULDBLOCK;
}
