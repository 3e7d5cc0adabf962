#pragma once

#include "download/DownloadProgress.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Reads the progress lines that YtdlpInvocation's arguments make yt-dlp print, one line at a time,
// from either output. Every such line begins with linePrefix; any other line is ignored. Keeps
// which stream of the chosen formats is being fetched. Not thread-safe.
class YtdlpProgressParser {
public:
    // yt-dlp prints the produced path absolute, so it never begins so; the path rule skips these
    // lines all the same.
    static constexpr std::string_view linePrefix = "tallowin-progress ";

    // Lines as the templates below write them (numbers as yt-dlp prints them, "NA" when unknown):
    //   tallowin-progress formats <format_id> <path>   (the chosen formats, "137+140" for a merge,
    //                                                   and the file's path, spaces and all)
    //   tallowin-progress download <status> <downloaded> <total> <estimate> <speed> <eta> <format_id>
    //   tallowin-progress postprocess <status> <postprocessor>
    static const std::string& formatsTemplate();     // for --print before_dl:
    static const std::string& downloadTemplate();    // for --progress-template download:
    static const std::string& postprocessTemplate(); // for --progress-template postprocess:

    // Whether the line is one of ours (after trimming spaces and a carriage return).
    static bool isProgressLine(std::string_view line);

    // The progress the line states, or nothing (not ours, malformed, or nothing to show). Pure but
    // for the stream bookkeeping.
    std::optional<DownloadProgress> read(std::string_view line);

private:
    std::vector<std::string> m_formats; // the chosen format ids, in download order
    std::string m_fileName;             // honest, as every later report carries it
    std::string m_currentFormat;
    int m_counted = 0;                            // streams seen, for when the format ids are unknown
    std::optional<std::int64_t> m_lowestEstimate; // of this stream's total, when only estimated
    std::optional<std::int64_t> m_mostBytes;      // of this stream so far
};
