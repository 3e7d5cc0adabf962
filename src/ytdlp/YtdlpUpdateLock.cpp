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
        m_fd.reset(::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
    while (!m_fd && errno == EINTR);
    if (!m_fd)
        throwFileError("cannot open the update lock file", file, errno);
    // A constructor that throws leaves m_fd to its own destructor, which closes it.
    if (tryLock(m_fd.get(), file))
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
        if (tryLock(m_fd.get(), file))
            return;
    }
}

// m_fd's destructor closes the only descriptor of the description, which releases the lock.
YtdlpUpdateLock::~YtdlpUpdateLock() = default;
