#include "platform/FileCopy.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <random>
#include <string>
#include <system_error>

namespace fs = std::filesystem;

namespace FileCopy {

namespace {

[[noreturn]] void fail(const char* what, const fs::path& path, int error) {
    throw fs::filesystem_error(what, path, std::error_code(error, std::generic_category()));
}

// Closes the descriptor and removes the temporary file unless released.
struct Partial {
    int fd = -1;
    fs::path path;
    bool keep = false;
    ~Partial() {
        if (fd >= 0)
            ::close(fd);
        if (!keep && !path.empty())
            ::unlink(path.c_str());
    }
};

struct Input {
    int fd = -1;
    ~Input() {
        if (fd >= 0)
            ::close(fd);
    }
};

fs::path temporaryBeside(const fs::path& target) {
    std::random_device random;
    return target.parent_path() / ("." + target.filename().string() + ".partial-" + std::to_string(random()));
}

// Renames without ever replacing: renameat2's no-replace, or a hard link where the file system
// lacks it (both fail with EEXIST when the target exists).
void renameNoReplace(const fs::path& from, const fs::path& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return;
    if (errno != EINVAL && errno != ENOSYS)
        fail("Could not save the copy", to, errno);
    if (::link(from.c_str(), to.c_str()) != 0)
        fail("Could not save the copy", to, errno);
    ::unlink(from.c_str());
}

} // namespace

Result copyWhole(const fs::path& source, const fs::path& target, bool replace, std::stop_token stopToken) {
    if (!replace && fs::exists(fs::symlink_status(target)))
        fail("Could not save the copy", target, EEXIST);
    Input input;
    input.fd = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (input.fd < 0)
        fail("Could not read the file", source, errno);
    Partial partial;
    partial.path = temporaryBeside(target);
    partial.fd = ::open(partial.path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (partial.fd < 0) {
        const int error = errno;
        partial.path.clear(); // not ours
        fail("Could not save the copy", target, error);
    }
    std::array<char, 1 << 20> buffer;
    for (;;) {
        if (stopToken.stop_requested())
            return Result::stopped;
        const ssize_t got = ::read(input.fd, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            fail("Could not read the file", source, errno);
        if (got == 0)
            break;
        for (ssize_t written = 0; written < got;) {
            const ssize_t put = ::write(partial.fd, buffer.data() + written, static_cast<size_t>(got - written));
            if (put < 0 && errno == EINTR)
                continue;
            if (put < 0)
                fail("Could not save the copy", target, errno);
            written += put;
        }
    }
    // Complete on disk before it takes the name; a failed close can mean a failed write.
    if (::fsync(partial.fd) != 0)
        fail("Could not save the copy", target, errno);
    const int fd = partial.fd;
    partial.fd = -1;
    if (::close(fd) != 0)
        fail("Could not save the copy", target, errno);
    if (replace) {
        if (::rename(partial.path.c_str(), target.c_str()) != 0)
            fail("Could not save the copy", target, errno);
    } else {
        renameNoReplace(partial.path, target);
    }
    partial.keep = true;
    return Result::copied;
}

} // namespace FileCopy
