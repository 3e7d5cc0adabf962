#pragma once

#include "ytdlp/YtdlpChannel.h"
#include "ytdlp/YtdlpUpdateOutcome.h"
#include "ytdlp/YtdlpUpdatePhase.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>

// Fetches the newest yt-dlp release, proves it runs, and installs it as the updated copy.
namespace YtdlpUpdateEngine {

using Channel = YtdlpChannel;

// One whole run: pick the channel, download its asset into a "staging-<UUID>" folder of the
// support folder, check it against the release's SHA-256 list, run it with --version, then
// either discard it (not newer than the shipped copy) or install it as "yt-dlp" by renames,
// keeping the replaced copy as "yt-dlp.previous" and reverting when the installed file fails
// a second check. The staging folder is removed however the run ends.
//
// Blocks for the whole run. progress may be called from any thread.
// A stop request is honoured up to the moment the install is decided; after that the run
// completes its install (or revert) first.
// Throws YtdlpUpdateError, OperationCancelled (a stop request honoured before the install
// begins, or a cancelled transfer), NetworkError, std::filesystem::filesystem_error.
YtdlpUpdateOutcome update(const std::function<void(YtdlpUpdatePhase)>& progress, std::stop_token stopToken = {});

// The channel to download from: nightly when its latest tag is strictly newer than stable's,
// stable otherwise (also when neither answers). Queries both at once; blocks for at most the
// 15 s query time-out. Never throws.
Channel newestChannel(std::stop_token stopToken = {});

// The channel's latest release tag, as received. Absent when the query fails, the status is
// not 200, or "tag_name" is missing, not a string or not shaped like a version. Never throws.
std::optional<std::string> latestTag(const Channel& channel, std::stop_token stopToken = {});

// Runs the file with "--version" and returns the version it printed. Blocks while it runs.
// Throws YtdlpUpdateError::wontRun (cannot start, or a non-zero status) or
// YtdlpUpdateError::unexpectedOutput (the output is not a version).
std::string verifiedVersion(const std::filesystem::path& executable);

} // namespace YtdlpUpdateEngine
