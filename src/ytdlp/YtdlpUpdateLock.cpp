#include "ytdlp/YtdlpUpdateLock.h"

#include "platform/OperationCancelled.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <system_error>

namespace {

[[noreturn]] void throwFileError(const char* what, const std::filesystem::path& file, int error) {
    throw std::filesystem::filesystem_error(what, file, std::error_code(error, std::generic_category()));
}

// True when the lock is now held, false when another description holds it.
bool tryLock(int fd, const std::filesystem::path& file) {
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            return true;
        if (errno == EWOULDBLOCK)
            return false;
        if (errno != EINTR)
            throwFileError("cannot lock the update lock file", file, errno);
    }
}

} // namespace

YtdlpUpdateLock::YtdlpUpdateLock(const std::filesystem::path& file,
                                 const std::function<void()>& onWait,
                                 std::stop_token stopToken) {
    do
        m_fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    while (m_fd < 0 && errno == EINTR);
    if (m_fd < 0)
        throwFileError("cannot open the update lock file", file, errno);
    try {
        if (tryLock(m_fd, file))
            return;
        if (onWait)
            onWait();
        // Polled rather than a blocking flock: a blocked flock cannot be cancelled from outside.
        std::mutex mutex;
        std::condition_variable_any wake;
        std::unique_lock guard(mutex);
        for (;;) {
            wake.wait_for(guard, stopToken, retryInterval, [] { return false; });
            if (stopToken.stop_requested())
                throw OperationCancelled();
            if (tryLock(m_fd, file))
                return;
        }
    } catch (...) {
        ::close(m_fd);
        throw;
    }
}

YtdlpUpdateLock::~YtdlpUpdateLock() {
    ::close(m_fd); // closing the only descriptor of the description releases the lock
}
