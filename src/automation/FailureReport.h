#pragma once

#include <chrono>
#include <exception>
#include <string>

// What the command line says about an error on standard error: its text as it is, then, for a
// failed download that yt-dlp's words explain, the plain sentence for it, and, when a newer
// yt-dlp is the likely cure (UpdateAdvice), the hint to update:
//   "yt-dlp <version> is <n> days old; sites change often. Run `tallowin-cli update-ytdlp` and
//   try again."
namespace FailureReport {

// The lines, joined by newlines, without a final one. withHint false leaves the hint out (for a
// caller that acts on it itself). now stands in for the clock. Never throws.
std::string text(const std::exception& error,
                 bool withHint = true,
                 std::chrono::system_clock::time_point now = std::chrono::system_clock::now());

} // namespace FailureReport
