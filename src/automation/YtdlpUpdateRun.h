#pragma once

#include "ytdlp/YtdlpUpdateOutcome.h"

#include <stop_token>
#include <string>

// The ordinary yt-dlp update as the command line shows it: each phase on standard error (one
// redrawn line on a terminal, one line per phase elsewhere).
namespace YtdlpUpdateRun {

// Runs YtdlpUpdateEngine::update and blocks until it ends; the phase line is gone when it
// returns or throws. Throws what the engine throws.
YtdlpUpdateOutcome run(std::stop_token stopToken);

// "Updated to yt-dlp <version>." or "yt-dlp <version> is already the latest release."
std::string outcomeText(const YtdlpUpdateOutcome& outcome);

} // namespace YtdlpUpdateRun
