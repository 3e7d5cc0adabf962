#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// SHA-256 digests through OpenSSL's EVP interface (libcrypto, opened on first use), as lower-case
// hexadecimal text. Throws std::runtime_error when libcrypto cannot be loaded.
namespace Sha256 {

std::string ofText(std::string_view bytes);

// Reads the file in pieces (never whole into memory); blocks for the read.
// Throws std::filesystem::filesystem_error when the file cannot be opened or read.
std::string ofFile(const std::filesystem::path& path);

} // namespace Sha256
