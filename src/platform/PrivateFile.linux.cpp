#include "platform/PrivateFile.h"

#include "platform/UniqueFd.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace PrivateFile {

void create(const std::filesystem::path& file, std::string_view text) {
    // The mode is set at creation, so that no other user can open the file before it is private.
    UniqueFd fd(::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd)
        throw std::filesystem::filesystem_error(
            "cannot create the file", file, std::error_code(errno, std::generic_category()));
    for (std::size_t written = 0; written < text.size();) {
        const ssize_t put = ::write(fd.get(), text.data() + written, text.size() - written);
        if (put < 0 && errno == EINTR)
            continue;
        if (put < 0) {
            const int error = errno;
            ::unlink(file.c_str());
            throw std::filesystem::filesystem_error(
                "cannot write the file", file, std::error_code(error, std::generic_category()));
        }
        written += static_cast<std::size_t>(put);
    }
}

} // namespace PrivateFile
