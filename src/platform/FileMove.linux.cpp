#include "platform/FileMove.h"

#include "platform/UniqueFd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Enough for any folder a person keeps; the bound only stops a loop on a folder that refuses
// every name.
constexpr int maxNumber = 9999;

fs::path numbered(const fs::path& folder, const fs::path& name, int number) {
    if (number == 1)
        return folder / name;
    return folder / (name.stem().string() + " (" + std::to_string(number) + ")" + name.extension().string());
}

[[noreturn]] void fail(const char* what, const fs::path& from, const fs::path& to, int error) {
    throw fs::filesystem_error(what, from, to, std::error_code(error, std::generic_category()));
}

// Renames from to to unless to exists. Returns false when to is taken, or when from and to are
// on different file systems and exdev is set; throws on any other failure.
bool renameWithoutReplacing(const fs::path& from, const fs::path& to, bool* exdev) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    int error = errno;
    if (error == EINVAL) {
        // A file system without RENAME_NOREPLACE: a hard link is just as exclusive.
        if (::link(from.c_str(), to.c_str()) == 0) {
            ::unlink(from.c_str());
            return true;
        }
        error = errno;
    }
    if (error == EEXIST)
        return false;
    if (error == EXDEV && exdev) {
        *exdev = true;
        return false;
    }
    fail("cannot move the file", from, to, error);
}

// Renames from to the first free name for name in folder. exdev as above.
fs::path renameToFreeName(const fs::path& from, const fs::path& folder, const fs::path& name, bool* exdev) {
    for (int number = 1; number <= maxNumber; ++number) {
        const fs::path to = numbered(folder, name, number);
        if (renameWithoutReplacing(from, to, exdev))
            return to;
        if (exdev && *exdev)
            return {};
    }
    fail("no free name for the file", from, folder / name, EEXIST);
}

// Writes all of source's bytes to target. Throws with the errno of the read or write that failed
// (ENOSPC on a full disk, where a stream copy would only say EIO).
void copyBytes(const fs::path& file, const fs::path& folder, int source, int target) {
    std::vector<char> buffer(1 << 20);
    for (;;) {
        const ssize_t got = ::read(source, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            fail("cannot read the file", file, folder, errno);
        if (got == 0)
            return;
        for (ssize_t written = 0; written < got;) {
            const ssize_t put = ::write(target, buffer.data() + written, static_cast<size_t>(got - written));
            if (put < 0 && errno == EINTR)
                continue;
            if (put < 0)
                fail("cannot copy the file", file, folder, errno);
            written += put;
        }
    }
}

// The temporary copy in the target folder; removed unless it was renamed into place, also when
// the copy itself fails.
class TemporaryCopy {
public:
    TemporaryCopy(const fs::path& file, const fs::path& folder) {
        std::string pattern = (folder / ("." + file.filename().string() + ".XXXXXX")).string();
        UniqueFd target(::mkostemp(pattern.data(), O_CLOEXEC));
        if (!target)
            fail("cannot copy the file", file, folder, errno);
        m_path = pattern;
        try {
            const UniqueFd source(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
            if (!source)
                fail("cannot read the file", file, folder, errno);
            copyBytes(file, folder, source.get(), target.get());
            struct stat status {};
            if (::fstat(source.get(), &status) == 0)
                ::fchmod(target.get(), status.st_mode & 07777);
            // A failed close can be a failed write (a full disk on a network file system).
            const int fd = target.release();
            if (::close(fd) != 0)
                fail("cannot copy the file", file, folder, errno);
        } catch (...) {
            std::error_code ignored;
            fs::remove(m_path, ignored);
            throw;
        }
    }
    ~TemporaryCopy() {
        if (!m_path.empty()) {
            std::error_code ignored;
            fs::remove(m_path, ignored);
        }
    }
    TemporaryCopy(const TemporaryCopy&) = delete;
    TemporaryCopy& operator=(const TemporaryCopy&) = delete;

    const fs::path& path() const { return m_path; }
    void keep() { m_path.clear(); }

private:
    fs::path m_path;
};

} // namespace

namespace FileMove {

fs::path intoFolder(const fs::path& file, const fs::path& folder) {
    fs::create_directories(folder);
    const fs::path name = file.filename();
    bool exdev = false;
    fs::path moved = renameToFreeName(file, folder, name, &exdev);
    if (!exdev)
        return moved;
    TemporaryCopy copy(file, folder);
    moved = renameToFreeName(copy.path(), folder, name, nullptr);
    copy.keep();
    std::error_code ignored; // the copy is in place; a leftover original goes with the sweep
    fs::remove(file, ignored);
    return moved;
}

} // namespace FileMove
