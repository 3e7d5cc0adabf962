#pragma once

#include <filesystem>
#include <string_view>

// A small file only its owner can read, for a secret handed to a child process (another user
// sees every process's command line, never a 0600 file in our folders).
namespace PrivateFile {

// Creates file (which must not exist; a link there is refused) with mode 0600 and writes text.
// Blocks briefly. Throws std::filesystem::filesystem_error; a half-written file is removed.
void create(const std::filesystem::path& file, std::string_view text);

} // namespace PrivateFile
