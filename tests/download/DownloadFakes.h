#pragma once

#include <filesystem>
#include <string>
#include <vector>

// Fake shipped tools for the pipeline's unit tests, written into the sandbox's Helpers. Each
// records its argument words (NUL-separated, so that any text survives) in a file of its own.
namespace DownloadFakes {

// A yt-dlp that answers "--version" with version, and otherwise records its arguments to
// recordPath("yt-dlp") and runs body (in the work folder, its working directory).
void installYtdlp(const std::string& body, const std::string& version = "2025.01.15");

// An ffprobe that records its arguments and prints report (exit 0).
void installFfprobe(const std::string& report = R"({"streams":[]})");

// An ffmpeg that records the arguments of its n-th run to recordPath("ffmpeg.<n>") and then runs
// body; $out is its last argument (the output file).
void installFfmpeg(const std::string& body = ": > \"$out\"\n");

// A deno that only answers "--version".
void installDeno();

// All four, yt-dlp printing nothing.
void installAll();

std::filesystem::path recordPath(const std::string& name);
// The recorded argument words, or an empty list when the tool never ran.
std::vector<std::string> recordedArguments(const std::string& name);
void clearRecords();
// The mode and the text of the link file yt-dlp was given ("600 https://a.test/v\n"), or empty.
std::string recordedLink();

// Quotes a text for a single-quoted /bin/sh word.
std::string shellQuoted(const std::string& text);

} // namespace DownloadFakes
