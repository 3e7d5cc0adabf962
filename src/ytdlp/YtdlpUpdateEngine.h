#pragma once

#include "tools/BundledTools.h"
#include "ytdlp/YtdlpChannel.h"
#include "ytdlp/YtdlpUpdateOutcome.h"
#include "ytdlp/YtdlpUpdatePhase.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>

// Fetches the newest yt-dlp release, proves it runs, and installs it as the updated copy.
namespace YtdlpUpdateEngine {

using Channel = YtdlpChannel;

// The most the asset may weigh: far above any real release (the Linux asset is about 35 MB), so
// only a server that sends bytes without end reaches it.
inline constexpr std::uintmax_t assetSizeLimit = 200'000'000;

// The file in the support folder whose flock serialises update runs (kept, never removed).
inline constexpr const char* lockFileName = "update.lock";

// One whole run. First it takes the update lock (YtdlpUpdateLock on lockFileName): while
// another run, in this or another process, holds it, it reports waiting and waits, cancellable.
// Holding it, it reads the resolver's status and removes every "staging-*" folder (only a run
// that died leaves one behind). Then: pick the channel, download its asset into a
// "staging-<UUID>" folder of the support folder (stopped past maximumAssetBytes), check the
// release's SHA-256 list's signature by yt-dlp's release key (ReleaseSignature) and the file
// against that list, run it with --version, then either discard it (not newer than the shipped
// copy) or install it as "yt-dlp" by renames, keeping the replaced copy as "yt-dlp.previous"
// and reverting when the installed file fails a second check. The staging folder is removed however the run ends, and
// before the lock is released. Each --version check is stopped when the file prints nothing for versionSilenceLimit.
//
// Blocks for the whole run. progress may be called from any thread.
// A stop request is honoured while waiting and up to the moment the install is decided
// (including during the check of the staged file). The check of the installed file comes after
// that point and runs to its end, so a stop then never leaves a half-installed copy.
// Throws YtdlpUpdateError (notSigned or signatureUnchecked when the checksum list's signature
// does not prove it, assetTooLarge past maximumAssetBytes, ...), OperationCancelled (a stop
// request honoured as above, or a cancelled transfer), NetworkError,
// std::filesystem::filesystem_error.
YtdlpUpdateOutcome update(const std::function<void(YtdlpUpdatePhase)>& progress,
                          std::stop_token stopToken = {},
                          std::chrono::milliseconds versionSilenceLimit = BundledTools::versionSilenceLimit,
                          std::uintmax_t maximumAssetBytes = assetSizeLimit);

// The channel to download from: nightly when its latest tag is strictly newer than stable's,
// stable otherwise (also when neither answers). Queries both at once; blocks for at most the
// 15 s query time-out. Never throws.
Channel newestChannel(std::stop_token stopToken = {});

// The channel's latest release tag, as received. Absent when the query fails, the status is
// not 200, or "tag_name" is missing, not a string or not shaped like a version. Never throws.
std::optional<std::string> latestTag(const Channel& channel, std::stop_token stopToken = {});

// Runs the file with "--version" and returns the version it printed. Blocks while it runs, at
// most until it has printed nothing for silenceLimit or a stop is requested (the file is then
// stopped). Throws YtdlpUpdateError::wontRun (cannot start, a non-zero status, or silent for
// silenceLimit: "it printed nothing for 30 seconds"), YtdlpUpdateError::unexpectedOutput (the
// output is not a version), OperationCancelled (a stop request that cut the run short).
std::string verifiedVersion(const std::filesystem::path& executable,
                            std::stop_token stopToken = {},
                            std::chrono::milliseconds silenceLimit = BundledTools::versionSilenceLimit);

} // namespace YtdlpUpdateEngine
