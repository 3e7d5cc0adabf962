#include "download/YtdlpInvocation.h"

#include "download/DownloadError.h"
#include "download/DownloadFailure.h"
#include "download/FormatSelection.h"
#include "download/PageMetadata.h"
#include "download/SavedName.h"
#include "download/WorkFolder.h"
#include "download/YtdlpProgressParser.h"
#include "platform/PrivateFile.h"
#include "tools/BundledTools.h"
#include "tools/Text.h"
#include "tools/ToolProcess.h"
#include "ytdlp/YtdlpLog.h"

#include <spdlog/spdlog.h>

#include <algorithm>
#include <chrono>
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

// Post-processing progress shares standard error with the errors; it is never the failure's cause.
std::string withoutProgressLines(std::string_view standardError) {
    std::string kept;
    for (const std::string& line : Text::splitLinesKeepingCarriageReturns(standardError)) {
        if (!YtdlpProgressParser::isProgressLine(line))
            kept += line + "\n";
    }
    return kept;
}

} // namespace

bool YtdlpInvocation::expandedByYtdlp(const fs::path& path) {
    // yt-dlp passes these paths through expanduser and expandvars: a leading "~" and any "$"
    // (a "$NAME" or "${NAME}" of a set variable) would be rewritten.
    const std::string text = path.string();
    return text.starts_with('~') || text.find('$') != std::string::npos;
}

std::vector<std::string> YtdlpInvocation::arguments(const std::string& url,
                                                    VideoQuality quality,
                                                    bool preferMP4,
                                                    bool compatible,
                                                    int concurrentFragments,
                                                    const std::optional<BrowserSignIn>& signIn) {
    const fs::path& helpers = BundledTools::helpersDirectory();
    std::vector<std::string> arguments{
        // The user's own configuration files and plugins are for their own runs, not ours.
        "--ignore-config",
        "--no-plugin-dirs",
        "--no-playlist",
        // The generic extractor makes a playlist of a page with several videos even so.
        "--playlist-items",
        "1",
        // Progress as lines of our own on standard output (download) and standard error
        // (post-processing), read as they arrive; one line each, never redrawn in place.
        "--progress",
        "--newline",
        "--progress-template",
        "download:" + YtdlpProgressParser::downloadTemplate(),
        "--progress-template",
        "postprocess:" + YtdlpProgressParser::postprocessTemplate(),
        "--no-mtime",
        // A stalled body fails in about a minute (4 tries of 15 s) instead of nearly four (11 of 20).
        "--socket-timeout",
        "15",
        "--retries",
        "3",
        // HLS and DASH arrive in pieces; from a host that paces each connection several at once
        // come about twice as fast (defaultConcurrentFragments). A piece that cannot be had after
        // its retries fails the run: yt-dlp would otherwise skip it and exit 0 with a file that
        // has a gap.
        "--concurrent-fragments",
        std::to_string(std::max(concurrentFragments, 1)),
        "--abort-on-unavailable-fragments",
        "--no-simulate",
        "--ffmpeg-location",
        expandedByYtdlp(helpers) ? std::string(helpersLinkName) : helpers.string(),
        // Not expanded by yt-dlp: the path goes as it is.
        "--js-runtimes",
        "deno:" + BundledTools::deno().string(),
        "--output",
        "%(title).180B.%(ext)s",
        // yt-dlp runs in the work folder; a relative path cannot be rewritten by its expansion.
        "--paths",
        "home:.",
        "--paths",
        "temp:.",
        // The chosen format ids ("137+140"), to tell which stream of how many is coming.
        "--print",
        "before_dl:" + YtdlpProgressParser::formatsTemplate(),
        "--print",
        "after_move:filepath",
    };
    // What the page says of the video (title, uploader, date, description, link, chapters), for
    // the MP4 step to write in the pass it runs anyway: yt-dlp's own embedding would copy the whole
    // file once more, which on a fast link costs more than a tenth of the download. Without Force
    // MP4 the file goes on as the site served it.
    if (preferMP4) {
        arguments.push_back("--print-to-file");
        arguments.push_back("after_move:" + PageMetadata::ytdlpTemplate());
        arguments.push_back(PageMetadata::fileName);
    }
    if (signIn) {
        arguments.push_back("--cookies-from-browser");
        arguments.push_back(
            signIn->argument(signIn->profileNeedingLink() ? "./" + std::string(profileLinkName) : std::string()));
    }
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
                              std::stop_token stopToken,
                              const DownloadProgressHandler& onProgress,
                              int concurrentFragments,
                              const std::optional<BrowserSignIn>& signIn) {
    auto argumentList = arguments(url, quality, preferMP4, compatible, concurrentFragments, signIn);
    // The address, perhaps with a password, goes in a file of the user's alone, not in `ps`.
    argumentList.back() = "--batch-file";
    argumentList.emplace_back(linkFileName);
    const fs::path linkFile = workFolder / linkFileName;
    const fs::path& helpers = BundledTools::helpersDirectory();
    const fs::path link = workFolder / helpersLinkName;
    const bool linked = expandedByYtdlp(helpers);
    if (linked)
        fs::create_directory_symlink(fs::absolute(helpers), link);
    const std::optional<fs::path> profile = signIn ? signIn->profileNeedingLink() : std::nullopt;
    const fs::path profileLink = workFolder / profileLinkName;
    if (profile)
        fs::create_directory_symlink(*profile, profileLink);
    ytdlpLog()->info(
        "Downloading with {} yt-dlp {}", sourceName(installation.source), installation.version.value_or("?"));
    // The browser's name only: its profile's path may name the user, and a cookie never comes near us.
    if (signIn)
        ytdlpLog()->info("Signed in with the browser {}", signIn->browser);
    // The link file and the links exist only while yt-dlp runs, whatever ends the run.
    auto removeRunFiles = [&] {
        std::error_code ignored;
        fs::remove(linkFile, ignored);
        if (linked)
            fs::remove(link, ignored);
        if (profile)
            fs::remove(profileLink, ignored);
    };
    ToolProcessResult result;
    try {
        PrivateFile::create(linkFile, url + "\n");
        // yt-dlp appends to it, so it keeps this mode: the page's link may hold the password.
        if (preferMP4) {
            std::error_code ignored;
            fs::remove(workFolder / PageMetadata::fileName, ignored);
            PrivateFile::create(workFolder / PageMetadata::fileName, "");
        }
        YtdlpProgressParser parser;
        ToolProcess::LineHandler onLine;
        if (onProgress) {
            onLine = [&parser, &onProgress](ToolProcess::Stream, std::string_view line) {
                if (auto progress = parser.read(line))
                    onProgress(*progress);
            };
        }
        result = ToolProcess::run(installation.url,
                                  argumentList,
                                  workFolder,
                                  std::move(stopToken),
                                  std::nullopt,
                                  onLine,
                                  signIn ? BrowserSignIn::desktopEnvironment() : std::vector<std::string>{});
    } catch (...) {
        removeRunFiles();
        throw;
    }
    removeRunFiles();
    if (result.status != 0) {
        const std::string standardError = withoutProgressLines(result.standardError);
        const DownloadFailure failure = DownloadFailure::classify(standardError, result.status);
        std::string summary = Text::summarize(standardError);
        // The missing fragment is the cause, whatever error another fragment's thread printed after it.
        if (failure.kind == FailureKind::missingPiece)
            summary = DownloadFailure::missingPieceSummary(standardError);
        // The log keeps yt-dlp's whole line; the user is spared its advice that does not apply here.
        ytdlpLog()->info("yt-dlp failed with status {}: {}", result.status, summary);
        throw DownloadError::downloadFailed(DownloadFailure::withoutBugReport(summary), failure, installation.version);
    }
    return SavedName::renamedHonestly(producedFile(result.standardOutput, workFolder));
}

fs::path YtdlpInvocation::producedFile(std::string_view standardOutput, const fs::path& workFolder) {
    const std::string lastLine = Text::lastNonEmpty(Text::splitLines(standardOutput), [](std::string_view line) {
        std::string trimmed = Text::trimSpaces(line);
        return YtdlpProgressParser::isProgressLine(trimmed) ? std::string() : trimmed;
    });
    if (!lastLine.empty()) {
        fs::path printed(lastLine);
        if (printed.is_relative())
            printed = workFolder / printed; // yt-dlp ran in the work folder
        if (isRegularFileInside(printed, workFolder))
            return printed;
    }
    if (auto entry = onlyVisibleEntry(workFolder))
        return *entry;
    throw DownloadError::noOutputFile();
}

void YtdlpInvocation::sweepOldDownloads(const fs::path& directory, fs::file_time_type now) {
    std::error_code error;
    // A staging folder that is a link points at a folder of the user's choosing (downloads land
    // there all the same): what is in it is theirs to clear.
    if (fs::is_symlink(fs::symlink_status(directory, error)))
        return;
    fs::directory_iterator entries(directory, error);
    if (error)
        return;
    const auto cutoff = now - std::chrono::hours(24);
    std::vector<fs::path> old;
    for (const auto& entry : entries) {
        // Only our own work folders go; anything else someone put here stays.
        if (!WorkFolder::isOurs(entry.path()))
            continue;
        std::error_code dateError;
        const auto changed = fs::last_write_time(entry.path(), dateError);
        // An unreadable date counts as the distant past. A download that is still running holds its
        // folder however old the folder looks.
        if ((dateError || changed < cutoff) && !WorkFolder::inUse(entry.path()))
            old.push_back(entry.path());
    }
    for (const fs::path& path : old) {
        std::error_code removeError;
        fs::remove_all(path, removeError);
    }
}
