#pragma once

#include <filesystem>
#include <stop_token>

// Saving a copy of a finished download somewhere else, so that the target is either the whole
// copy or untouched: the bytes go to a hidden temporary file beside the target, which is renamed
// onto the target's name only once complete.
namespace FileCopy {

enum class Result { copied, stopped };

// Copies source to target. Blocks for the whole copy; checks stopToken between chunks (then the
// partial file is removed and the target left as it was). With replace false an existing target
// is never overwritten: throws std::filesystem::filesystem_error with std::errc::file_exists,
// also when the target appears while the copy runs. Any read, write or rename failure throws
// std::filesystem::filesystem_error; no temporary file is left behind.
Result copyWhole(const std::filesystem::path& source,
                 const std::filesystem::path& target,
                 bool replace,
                 std::stop_token stopToken = {});

} // namespace FileCopy
