#pragma once

#include "tools/ToolProcessResult.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

// Runs external tools as child processes with a fixed four-variable environment
// (HOME, TMPDIR, PATH, LANG) plus the proxy variables that are set in ours (http_proxy,
// https_proxy, all_proxy, no_proxy, in either letter case), standard input from /dev/null and
// both outputs captured.
namespace ToolProcess {

enum class Stream { standardOutput, standardError };

// Receives each line of a stream as it arrives (without its "\n" or "\r\n"; a last line without
// one at the end), on the run's own thread. The whole output is still returned as usual.
using LineHandler = std::function<void(Stream, std::string_view line)>;

// Blocks until the child has ended and both of its outputs have reached end of file (a
// grandchild that keeps an output open keeps this waiting). Each argument reaches the child
// as one word; no shell is involved. Without a working directory the child inherits ours.
//
// A stop request terminates the child's whole process group (the child and the tools it
// started): SIGTERM, then SIGKILL after stopGracePeriod. A run that the stop cut short (a stop
// was requested and the child did not exit 0) then throws OperationCancelled; this is the one
// place where a stopped tool becomes a cancellation, so callers need not ask their token again.
// A child that exited 0 all the same has finished, and its result is returned. With a
// silenceLimit, a tool that prints nothing on either output for that long is stopped the same
// way and the result says timedOut.
//
// extraEnvironment ("NAME=value" entries) is added to the fixed variables, for a run that needs
// more of the desktop than a tool usually gets.
//
// Throws std::system_error when the child cannot be launched (missing, not executable, ...),
// and OperationCancelled as above. A non-zero exit status or output on standard error is not an
// error here.
ToolProcessResult run(const std::filesystem::path& executable,
                      const std::vector<std::string>& arguments,
                      const std::optional<std::filesystem::path>& currentDirectory = std::nullopt,
                      std::stop_token stopToken = {},
                      std::optional<std::chrono::milliseconds> silenceLimit = std::nullopt,
                      const LineHandler& onLine = {},
                      const std::vector<std::string>& extraEnvironment = {});

// How long a stopped tool's group has to end after SIGTERM before it gets SIGKILL.
inline constexpr std::chrono::milliseconds stopGracePeriod{1000};

} // namespace ToolProcess
