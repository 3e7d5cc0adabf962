#pragma once

#include "download/DownloadProgress.h"

#include <cstdint>
#include <string>

// The command line's English texts for download progress. Pure; the window makes its own,
// translated ones.
namespace DownloadProgressText {

// "Downloading…", "Merging…", "Checking the file…", "Converting to MP4…".
std::string phaseText(DownloadProgress::Phase phase);

// The phase text, then what is known, e.g.
// "Downloading… 27% · 12.3 of 45.6 MB · 2.1 MB/s · 0:20 left · stream 1 of 2" or
// "Converting to MP4… 42%". Only the phase text when nothing is known.
std::string describe(const DownloadProgress& progress);

std::string megabytes(std::int64_t bytes);  // "12.3" (10^6 bytes, one decimal)
std::string speed(double bytesPerSecond);   // "2.1 MB/s", below 1 MB/s "512 kB/s"
std::string duration(std::int64_t seconds); // "0:20", "59:59", "1:00:00"

} // namespace DownloadProgressText
