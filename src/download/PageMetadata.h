#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What the page says of its video, as yt-dlp read it, for Tallowin's own MP4 pass to write into
// the file: the title, the uploader (as artist), the upload date, the description, the page's
// link (as comment) and the chapters. yt-dlp writes them as one JSON line to a file in the work
// folder; the pass that runs anyway takes them, so no copy of the file is made for them alone.
struct PageChapter {
    double start = 0; // seconds
    double end = 0;
    std::string title;

    bool operator==(const PageChapter&) const = default;
};

struct PageMetadata {
    std::string title;
    std::string artist;
    std::string date; // "2024-05-01"
    std::string description;
    std::string link; // never with a user name or password
    std::vector<PageChapter> chapters;

    bool operator==(const PageMetadata&) const = default;

    // Where yt-dlp writes them, in its working folder; hidden, so never taken for the download.
    static constexpr const char* fileName = ".tallowin-page.json";

    // yt-dlp's output template for --print-to-file: the fields above as one JSON object.
    static std::string ytdlpTemplate();

    // The last line of text that is a JSON object. A field that is missing or of another type
    // stays empty; an upload date other than "YYYYMMDD" is dropped; chapters need an end after
    // their start. nullopt when no line is such an object. Pure.
    static std::optional<PageMetadata> parse(std::string_view text);

    // Reads and removes folder/fileName; nullopt when it is missing, empty or unreadable.
    static std::optional<PageMetadata> take(const std::filesystem::path& folder);

    // ffmpeg's metadata file: ";FFMETADATA1", the tags that are not empty, then the chapters in
    // milliseconds. "=", ";", "#", "\" and new lines in a value are escaped with "\", and NUL,
    // which would end the value, is dropped. Pure.
    std::string ffmetadata() const;
};
