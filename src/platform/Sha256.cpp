#include "platform/Sha256.h"

#include "platform/SharedLibrary.h"
#include "platform/UniqueFd.h"

#include <openssl/evp.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

namespace {

// libcrypto, opened on the first digest: only an update checks one, and linked it would be
// mapped into every start.
struct Crypto {
    decltype(EVP_MD_CTX_new)* newContext;
    decltype(EVP_MD_CTX_free)* freeContext;
    decltype(EVP_sha256)* sha256;
    decltype(EVP_DigestInit_ex)* init;
    decltype(EVP_DigestUpdate)* update;
    decltype(EVP_DigestFinal_ex)* finish;
};

const Crypto& crypto() {
    static const Crypto loaded = [] {
        try {
            static const SharedLibrary library("libcrypto.so.3");
            return Crypto{
                .newContext = library.function<decltype(EVP_MD_CTX_new)>("EVP_MD_CTX_new"),
                .freeContext = library.function<decltype(EVP_MD_CTX_free)>("EVP_MD_CTX_free"),
                .sha256 = library.function<decltype(EVP_sha256)>("EVP_sha256"),
                .init = library.function<decltype(EVP_DigestInit_ex)>("EVP_DigestInit_ex"),
                .update = library.function<decltype(EVP_DigestUpdate)>("EVP_DigestUpdate"),
                .finish = library.function<decltype(EVP_DigestFinal_ex)>("EVP_DigestFinal_ex"),
            };
        } catch (const SharedLibrary::Unavailable& error) {
            throw std::runtime_error(std::string("SHA-256 is not available: ") + error.what());
        }
    }();
    return loaded;
}

struct ContextDeleter {
    void operator()(EVP_MD_CTX* context) const noexcept { crypto().freeContext(context); }
};
using Context = std::unique_ptr<EVP_MD_CTX, ContextDeleter>;

Context startDigest() {
    Context context(crypto().newContext());
    if (!context || crypto().init(context.get(), crypto().sha256(), nullptr) != 1)
        throw std::runtime_error("SHA-256 is not available");
    return context;
}

std::string finishDigest(EVP_MD_CTX* context) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (crypto().finish(context, digest, &length) != 1)
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
    crypto().update(context.get(), bytes.data(), bytes.size());
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
        crypto().update(context.get(), buffer.data(), static_cast<size_t>(count));
    }
    return finishDigest(context.get());
}

} // namespace Sha256
