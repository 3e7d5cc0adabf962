#pragma once

#include "ytdlp/YtdlpUpdateOutcome.h"
#include "ytdlp/YtdlpUpdatePhase.h"

#include <functional>
#include <stop_token>

// Fetches the newest yt-dlp release, proves it runs, and installs it as the updated copy.
namespace YtdlpUpdateEngine {

// Blocks for the whole run. progress may be called from any thread.
// Throws YtdlpUpdateError, OperationCancelled (a stop request honoured before the install
// begins, or a cancelled transfer), NetworkError, std::filesystem::filesystem_error.
YtdlpUpdateOutcome update(const std::function<void(YtdlpUpdatePhase)>& progress, std::stop_token stopToken = {});

} // namespace YtdlpUpdateEngine
