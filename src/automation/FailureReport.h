#pragma once

#include "download/BrowserSignIn.h"

#include <chrono>
#include <exception>
#include <string>

// What the command line says about an error on standard error: its text as it is, then, for a
// failed download that yt-dlp's words explain, the plain sentence for it, and, when a newer
// yt-dlp is the likely cure (UpdateAdvice), the hint to update:
//   "yt-dlp <version> is <n> days old; sites change often. Run `tallowin-cli update-ytdlp` and
//   try again."
// and, when the user's browser sign-in may let it through (DownloadFailure::signInMayHelp), the
// way to it, naming a browser that has a profile here (BrowserProfiles::suggestion):
//   "Sign in to the site in your browser, then run again with --cookies-from-browser firefox"
namespace FailureReport {

// The lines, joined by newlines, without a final one. withHint false leaves both hints out (for a
// caller that acts on them itself). now stands in for the clock. signedIn is the browser whose
// sign-in the failed run used, if any. Never throws.
std::string text(const std::exception& error,
                 bool withHint = true,
                 std::chrono::system_clock::time_point now = std::chrono::system_clock::now(),
                 const std::optional<BrowserSignIn>& signedIn = std::nullopt);

} // namespace FailureReport
