#include "download/YtdlpInvocation.h"

#include "download/DownloadError.h"
#include "download/FormatSelection.h"
#include "tools/BundledTools.h"
#include "tools/Text.h"
#include "tools/ToolProcess.h"
#include "ytdlp/YtdlpLog.h"

#include <spdlog/spdlog.h>

#include <algorithm>
#include <optional>

namespace fs = std::filesystem;

namespace {

// True when path lies below folder once both are resolved (symlinks followed, ".." removed).
bool isInside(const fs::path& path, const fs::path& folder) {
    std::error_code error;
    const fs::path resolvedFolder = fs::canonical(folder, error);
    if (error)
        return false;
    const fs::path resolved = fs::canonical(path, error);
    if (error)
        return false;
    auto mismatch = std::mismatch(resolvedFolder.begin(), resolvedFolder.end(), resolved.begin(), resolved.end());
    return mismatch.first == resolvedFolder.end() && mismatch.second != resolved.end();
}

bool isRegularFileInside(const fs::path& path, const fs::path& folder) {
    std::error_code error;
    return fs::is_regular_file(path, error) && isInside(path, folder);
}

std::optional<fs::path> onlyVisibleEntry(const fs::path& workFolder) {
    std::error_code error;
    fs::directory_iterator entries(workFolder, error);
    if (error)
        return std::nullopt;
    std::optional<fs::path> found;
    int count = 0;
    for (const auto& entry : entries) {
        if (entry.path().filename().string().starts_with("."))
            continue;
        ++count;
        found = entry.path();
    }
    if (count != 1)
        return std::nullopt;
    // A directory or a link to somewhere else is not a download's file.
    std::error_code statusError;
    if (!fs::is_regular_file(fs::symlink_status(*found, statusError)))
        return std::nullopt;
    return found;
}

} // namespace

std::vector<std::string> YtdlpInvocation::arguments(
    const std::string& url, const fs::path& workFolder, VideoQuality quality, bool preferMP4, bool compatible) {
    std::vector<std::string> arguments{
        "--no-playlist",
        "--no-progress",
        "--no-mtime",
        "--no-simulate",
        "--ffmpeg-location",
        BundledTools::helpersDirectory().string(),
        "--js-runtimes",
        "deno:" + BundledTools::deno().string(),
        "--output",
        "%(title).180B.%(ext)s",
        "--paths",
        "home:" + workFolder.string(),
        "--paths",
        "temp:" + workFolder.string(),
        "--print",
        "after_move:filepath",
    };
    for (std::string& argument : FormatSelection::formatArguments(quality, preferMP4, compatible))
        arguments.push_back(std::move(argument));
    arguments.push_back(url);
    return arguments;
}

fs::path YtdlpInvocation::run(const YtdlpInstallation& installation,
                              const std::string& url,
                              const fs::path& workFolder,
                              VideoQuality quality,
                              bool preferMP4,
                              bool compatible,
                              std::stop_token stopToken) {
    const auto argumentList = arguments(url, workFolder, quality, preferMP4, compatible);
    ytdlpLog()->info(
        "Downloading with {} yt-dlp {}", sourceName(installation.source), installation.version.value_or("?"));
    const ToolProcessResult result = ToolProcess::run(installation.url, argumentList, workFolder, std::move(stopToken));
    if (result.status != 0)
        throw DownloadError::downloadFailed(summarize(result.standardError));
    return producedFile(result.standardOutput, workFolder);
}

fs::path YtdlpInvocation::producedFile(std::string_view standardOutput, const fs::path& workFolder) {
    std::optional<std::string> lastLine;
    for (const std::string& line : Text::splitLines(standardOutput)) {
        std::string trimmed = Text::trimSpaces(line);
        if (!trimmed.empty())
            lastLine = std::move(trimmed);
    }
    if (lastLine) {
        fs::path printed(*lastLine);
        if (printed.is_relative())
            printed = workFolder / printed; // yt-dlp ran in the work folder
        if (isRegularFileInside(printed, workFolder))
            return printed;
    }
    if (auto entry = onlyVisibleEntry(workFolder))
        return *entry;
    throw DownloadError::noOutputFile();
}

std::string YtdlpInvocation::summarize(std::string_view standardError) {
    std::vector<std::string> lines;
    for (const std::string& line : Text::splitLines(standardError)) {
        std::string trimmed = Text::trimSpaces(line);
        if (!trimmed.empty())
            lines.push_back(std::move(trimmed));
    }
    if (lines.empty())
        return "unknown error";
    for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
        if (line->starts_with("ERROR:"))
            return Text::trimSpaces(std::string_view(*line).substr(6));
    }
    return lines.back();
}

void YtdlpInvocation::sweepOldDownloads(const fs::path& directory, fs::file_time_type now) {
    std::error_code error;
    fs::directory_iterator entries(directory, error);
    if (error)
        return;
    const auto cutoff = now - std::chrono::hours(24);
    std::vector<fs::path> old;
    for (const auto& entry : entries) {
        std::error_code dateError;
        const auto changed = fs::last_write_time(entry.path(), dateError);
        // An unreadable date counts as the distant past.
        if (dateError || changed < cutoff)
            old.push_back(entry.path());
    }
    for (const fs::path& path : old) {
        std::error_code removeError;
        fs::remove_all(path, removeError);
    }
}
