#pragma once

#include "tools/BundledTools.h"

#include <filesystem>
#include <optional>
#include <stop_token>
#include <string>

// The versions the tools reported, kept between processes under each tool's path and
// fingerprint, so that a start with unchanged tools runs none of them to ask. A changed (or
// replaced, or removed) tool is asked again. The file is a cache: anything wrong with it reads
// as absent, and a failure to write it is ignored.
namespace ToolVersionStore {

// <cache folder>/<bundle identifier>/tool-versions
const std::filesystem::path& location();

// The tool's version as BundledTools::version gives it, from the store at location() when it
// holds one for the tool as it is now; otherwise the tool is run and a version it gives is
// stored (an absent answer is not, so the next call asks again). Blocks only when it runs the
// tool; never throws. Thread-safe.
std::optional<std::string> version(const std::filesystem::path& tool,
                                   std::stop_token stopToken = {},
                                   std::chrono::milliseconds silenceLimit = BundledTools::versionSilenceLimit);

// The same against another store file. For tests.
std::optional<std::string> version(const std::filesystem::path& store,
                                   const std::filesystem::path& tool,
                                   std::stop_token stopToken,
                                   std::chrono::milliseconds silenceLimit);

} // namespace ToolVersionStore
