#pragma once

#include "download/VideoQuality.h"
#include "ytdlp/YtdlpInstallation.h"

#include <chrono>
#include <filesystem>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

// One yt-dlp run of a download: its command line, the file it produced, its errors in one line,
// and the sweep of day-old work folders.
namespace YtdlpInvocation {

// The sixteen fixed arguments, the format block and the page address last.
std::vector<std::string> arguments(const std::string& url,
                                   const std::filesystem::path& workFolder,
                                   VideoQuality quality,
                                   bool preferMP4,
                                   bool compatible);

// Logs which copy runs, runs it in the work folder and blocks until it ends; a stop request
// terminates it (and the run then fails like any other). Returns the produced file.
// Throws DownloadError::downloadFailed (non-zero exit, with the summary of its standard error),
// DownloadError::noOutputFile, and std::system_error when yt-dlp cannot be launched.
std::filesystem::path run(const YtdlpInstallation& installation,
                          const std::string& url,
                          const std::filesystem::path& workFolder,
                          VideoQuality quality,
                          bool preferMP4,
                          bool compatible,
                          std::stop_token stopToken = {});

// The produced file: the path on the last non-blank line of yt-dlp's output when it names a
// regular file inside the work folder, else the one entry of the work folder that is a regular
// file and not hidden. Only a file inside the work folder may be returned, since a conversion
// deletes its source afterwards. Throws DownloadError::noOutputFile.
std::filesystem::path producedFile(std::string_view standardOutput, const std::filesystem::path& workFolder);

// A tool's standard error in one line: the last "ERROR:" line without its prefix, else the last
// line, else "unknown error". Pure.
std::string summarize(std::string_view standardError);

// Removes every entry of the folder last changed more than 24 hours before now, with what is
// inside it. Ignores every failure (a missing folder, an entry that will not go).
void sweepOldDownloads(const std::filesystem::path& directory,
                       std::filesystem::file_time_type now = std::filesystem::file_time_type::clock::now());

} // namespace YtdlpInvocation
