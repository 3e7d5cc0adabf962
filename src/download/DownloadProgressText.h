#pragma once

#include "download/DownloadProgress.h"

#include <cstdint>
#include <functional>
#include <string>

// The texts for download progress, and the one rule that turns a fraction into a percentage.
// Pure; English by default, and in the window's language through a translate function.
namespace DownloadProgressText {

// A fraction of 0…1 as a whole percentage, rounded down: 0.29 is 29, 0.999 is 99, 1 is 100. A
// fraction that is not finite is 0; one outside 0…1 is clamped.
int percent(double fraction);

// Turns one of the English texts below (a phrase or a template with %1 and %2) into the reader's
// language. Empty: the English text. The window passes Qt's translator (context
// "DownloadProgressText"); the command line passes nothing.
using Translate = std::function<std::string(const char* english)>;

// "Downloading…", "Retrying one fragment at a time…", "Merging…", "Checking the file…", "Repackaging as MP4…",
// "Converting to MP4…".
std::string phaseText(DownloadProgress::Phase phase, const Translate& translate = {});

// What is known beside the phase, e.g. "27% · 12.3 of 45.6 MB · 2.1 MB/s · 0:20 left · stream 1 of 2"
// or "42%"; empty when nothing is known.
std::string details(const DownloadProgress& progress, const Translate& translate = {});

// The phase text, then the details, e.g. "Converting to MP4… 42%".
std::string describe(const DownloadProgress& progress, const Translate& translate = {});

std::string megabytes(std::int64_t bytes);  // "12.3" (10^6 bytes, one decimal)
std::string speed(double bytesPerSecond);   // "2.1 MB/s", below 1 MB/s "512 kB/s"
std::string duration(std::int64_t seconds); // "0:20", "59:59", "1:00:00"

} // namespace DownloadProgressText
