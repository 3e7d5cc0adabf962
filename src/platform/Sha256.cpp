#include "platform/Sha256.h"

#include "platform/UniqueFd.h"

#include <openssl/evp.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace {

struct ContextDeleter {
    void operator()(EVP_MD_CTX* context) const noexcept { EVP_MD_CTX_free(context); }
};
using Context = std::unique_ptr<EVP_MD_CTX, ContextDeleter>;

Context startDigest() {
    Context context(EVP_MD_CTX_new());
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1)
        throw std::runtime_error("SHA-256 is not available");
    return context;
}

std::string finishDigest(EVP_MD_CTX* context) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(context, digest, &length) != 1)
        throw std::runtime_error("SHA-256 failed");
    static constexpr char digits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(length * 2);
    for (unsigned int i = 0; i < length; ++i) {
        hex += digits[digest[i] >> 4];
        hex += digits[digest[i] & 0xF];
    }
    return hex;
}

} // namespace

namespace Sha256 {

std::string ofText(std::string_view bytes) {
    Context context = startDigest();
    EVP_DigestUpdate(context.get(), bytes.data(), bytes.size());
    return finishDigest(context.get());
}

std::string ofFile(const std::filesystem::path& path) {
    const UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file)
        throw std::filesystem::filesystem_error(
            "cannot open for checksum", path, std::error_code(errno, std::generic_category()));
    Context context = startDigest();
    std::vector<char> buffer(1 << 20);
    for (;;) {
        const ssize_t count = ::read(file.get(), buffer.data(), buffer.size());
        if (count < 0) {
            if (errno == EINTR)
                continue;
            throw std::filesystem::filesystem_error(
                "cannot read for checksum", path, std::error_code(errno, std::generic_category()));
        }
        if (count == 0)
            break;
        EVP_DigestUpdate(context.get(), buffer.data(), static_cast<size_t>(count));
    }
    return finishDigest(context.get());
}

} // namespace Sha256
