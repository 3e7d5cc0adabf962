#pragma once

#include <unistd.h>

#include <utility>

// The one owner of a file descriptor: closes it on destruction, moves but never copies.
// -1 means "none". close() is never retried: on Linux the descriptor is gone even after EINTR.
class UniqueFd {
public:
    UniqueFd() noexcept = default;
    explicit UniqueFd(int fd) noexcept : m_fd(fd) {}
    ~UniqueFd() { reset(); }

    UniqueFd(UniqueFd&& other) noexcept : m_fd(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const noexcept { return m_fd; }
    explicit operator bool() const noexcept { return m_fd >= 0; }

    // Gives the descriptor up without closing it; this object holds none afterwards.
    [[nodiscard]] int release() noexcept { return std::exchange(m_fd, -1); }

    // Closes the held descriptor (if any) and takes fd instead.
    void reset(int fd = -1) noexcept {
        const int old = std::exchange(m_fd, fd);
        if (old >= 0)
            ::close(old);
    }

private:
    int m_fd = -1;
};
