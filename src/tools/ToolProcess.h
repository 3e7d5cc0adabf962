#pragma once

#include "tools/ToolProcessResult.h"

#include <filesystem>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

// Runs external tools as child processes with a fixed four-variable environment
// (HOME, TMPDIR, PATH, LANG), standard input from /dev/null and both outputs captured.
namespace ToolProcess {

// Blocks until the child has ended and both of its outputs have reached end of file (a
// grandchild that keeps an output open keeps this waiting). Each argument reaches the child
// as one word; no shell is involved. Without a working directory the child inherits ours.
//
// A stop request terminates the child's whole process group (the child and the tools it
// started) with SIGTERM; run then returns the ended child's result (status 15). It never
// throws a cancellation.
//
// Throws std::system_error when the child cannot be launched (missing, not executable, ...).
// A non-zero exit status or output on standard error is not an error here.
ToolProcessResult run(const std::filesystem::path& executable,
                      const std::vector<std::string>& arguments,
                      const std::optional<std::filesystem::path>& currentDirectory = std::nullopt,
                      std::stop_token stopToken = {});

} // namespace ToolProcess
