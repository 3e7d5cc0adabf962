#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// SHA-256 digests through OpenSSL's EVP interface, as lower-case hexadecimal text.
namespace Sha256 {

std::string ofText(std::string_view bytes);

// Reads the file in pieces (never whole into memory); blocks for the read.
// Throws std::filesystem::filesystem_error when the file cannot be opened or read.
std::string ofFile(const std::filesystem::path& path);

} // namespace Sha256
