#include "automation/DownloadCommand.h"

#include "automation/ActivityLine.h"
#include "automation/ActivityTicker.h"
#include "automation/CliOutput.h"
#include "automation/CommandRunner.h"
#include "automation/DownloadRetry.h"
#include "automation/FailureReport.h"
#include "automation/QualityName.h"
#include "automation/StopOnSignal.h"
#include "download/DownloadProgressText.h"
#include "download/MediaType.h"
#include "download/PageUrl.h"
#include "platform/FileMove.h"
#include "platform/OperationCancelled.h"
#include "tools/Text.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <chrono>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

using CliOutput::printError;

constexpr const char* urlDescription = "A link to a video page or a direct link to a media file.";
constexpr const char* qualityDescription =
    "Highest quality takes the best streams that fit the MP4 settings; 4K takes the best stream up to 2160p even "
    "when it must be converted; 1080p, 720p and 480p cap the resolution and use less space. Audio only returns just "
    "the sound, as an M4A when Force MP4 is on.";
constexpr const char* forceMP4Description =
    "Deliver an MP4. Video this computer can play from an MP4 (H.264, HEVC, and AV1 where the graphics hardware "
    "decodes it) is repackaged in seconds without re-encoding; anything else, such as VP9, is converted to H.264 with "
    "ffmpeg.";
constexpr const char* signInDescription =
    "Download signed in, for a video that needs an account, an age, a membership or the site's check that you are "
    "not a bot: yt-dlp reads your own browser's cookies for this call. BROWSER is one of brave, chrome, chromium, "
    "edge, firefox, opera, safari, vivaldi, whale; PROFILE a profile's name or folder (default: the most recently "
    "used); KEYRING one of basictext, gnomekeyring, kwallet, kwallet5, kwallet6; CONTAINER a Firefox container. "
    "Tallowin itself never reads, prints or keeps a cookie.";
constexpr const char* compatibleDescription =
    "Also re-encode AV1 video to H.264 so the file plays on older computers, phones, TVs and other devices. Slower, "
    "and larger files.";

std::string stepText(VideoDownloader::DownloadStep step) {
    switch (step) {
    case VideoDownloader::DownloadStep::downloading:
        return DownloadProgressText::phaseText(DownloadProgress::Phase::downloading);
    case VideoDownloader::DownloadStep::probing:
        return DownloadProgressText::phaseText(DownloadProgress::Phase::checking);
    case VideoDownloader::DownloadStep::converting:
        return DownloadProgressText::phaseText(DownloadProgress::Phase::converting);
    }
    return {};
}

// The finished file in the folder the user asked for. The emptied work folder goes at once, so
// nothing of this download waits in the cache for the sweep.
fs::path moveInto(const fs::path& file, const fs::path& folder) {
    fs::path moved;
    try {
        moved = FileMove::intoFolder(file, folder);
    } catch (const fs::filesystem_error& error) {
        throw std::runtime_error("Could not move the file into " + folder.string() + ": " + error.code().message() +
                                 ". It is still at " + file.string());
    }
    std::error_code ignored;
    fs::remove(file.parent_path(), ignored); // only when empty
    return moved;
}

bool isUtf8(const fs::path& path) {
    return Text::repairUtf8(path.native()) == path.native();
}

} // namespace

DownloadCommand::DownloadCommand(CLI::App& app)
    : m_command(app.add_subcommand("download", "Save the video behind a link as one file, and print its path.")) {
    m_command->footer("This is the \"Download Video\" action. Several links are downloaded one after another with "
                      "the same options, each path printed when its file is ready. Without --output-dir the file "
                      "stays in a work folder in the cache (~/.cache/org.tallowin.Tallowin/Downloads/), which is "
                      "emptied a day later.");
    // After "--" a text beginning with "-" is taken as a link, so that the URL rule refuses it in
    // its own words; before it, it is an option, and an unknown one is named.
    m_command->add_option("URL", m_urls, std::string("URL: ") + urlDescription)->type_name("");
    // Checked in run(), so that a wrong value exits with 1 like every other error.
    m_command
        ->add_option("-q,--quality",
                     m_quality,
                     std::string("Quality: ") + qualityDescription + " One of: " + QualityName::choices() +
                         ", in any letter case. Default: highest (\"Highest quality\").")
        ->type_name("QUALITY")
        ->take_last();
    m_command
        ->add_option("-o,--output-dir",
                     m_outputDir,
                     "Move the finished file into DIR (made when missing) under its own name; when that name is "
                     "taken, \" (2)\", \" (3)\" ... is added before the extension. No file is ever replaced.")
        ->type_name("DIR")
        ->take_last();
    m_command->add_flag(
        "--force-mp4,!--no-force-mp4", m_forceMP4, std::string("Force MP4: ") + forceMP4Description + " Default: on.");
    m_command->add_flag("--compatible-mp4",
                        m_compatibleMP4,
                        std::string("Compatible MP4 (H.264): ") + compatibleDescription + " Default: off.");
    m_command->add_flag(
        "--json",
        m_json,
        "Print one JSON object a file, on one line (path, name, type, wasConverted, wasRemuxed). JSON holds only "
        "UTF-8 text, so a folder whose name is not UTF-8 is refused before any download.");
    m_command->add_flag("--update-and-retry", m_updateAndRetry, DownloadRetry::optionDescription);
    m_command->add_option("--cookies-from-browser", m_cookiesFromBrowser, signInDescription)
        ->type_name("BROWSER[+KEYRING][:PROFILE][::CONTAINER]")
        ->take_last();
}

bool DownloadCommand::selected() const {
    return m_command->parsed();
}

int DownloadCommand::run(StopOnSignal& stop) {
    if (m_urls.empty()) {
        printError("A URL is required.");
        return 1;
    }
    // A mistake on the command line stops the call before any download, so that no link runs
    // with options the user did not mean.
    std::vector<std::string> urls;
    for (const std::string& text : m_urls) {
        const auto url = PageUrl::parse(text);
        if (!url) {
            printError("Not a usable URL: " + text + " (links start with https:// or http://)");
            return 1;
        }
        urls.push_back(*url);
    }
    const auto quality = QualityName::parse(m_quality);
    if (!quality) {
        printError("Not a quality: " + m_quality + ". One of: " + QualityName::choices() + ".");
        return 1;
    }
    // JSON holds text only: a path that is not UTF-8 would come out naming another file.
    const fs::path folder = m_outputDir.empty() ? VideoDownloader::downloadsDirectory() : fs::absolute(m_outputDir);
    if (m_json && !isUtf8(folder)) {
        printError("--json cannot report a path in " + folder.string() +
                   ": the folder's name is not UTF-8 text. Choose another folder with --output-dir, or leave out "
                   "--json.");
        return 1;
    }
    if (m_command->count("--cookies-from-browser") > 0) {
        try {
            m_signIn = BrowserSignIn::parse(m_cookiesFromBrowser);
        } catch (const std::invalid_argument& error) {
            printError(error.what());
            return 1;
        }
    }
    int status = 0;
    for (std::size_t i = 0; i < urls.size(); ++i) {
        const bool several = urls.size() > 1;
        const int linkStatus = CommandRunner::run(stop, CommandRunner::SignalRule::signalEnds, [&, i]() -> std::string {
            try {
                return DownloadRetry::run(
                    m_updateAndRetry, stop.token(), [&] { return download(urls[i], *quality, stop.token()); });
            } catch (const OperationCancelled&) {
                throw;
            } catch (const std::exception& error) {
                // What the error says, with its plain sentence and hints; after the link when there are several.
                const std::string text = FailureReport::text(error, true, std::chrono::system_clock::now(), m_signIn);
                throw std::runtime_error(several ? m_urls[i] + ": " + text : text);
            }
        });
        if (stop.interrupted())
            return stop.exitStatus();
        if (linkStatus != 0)
            status = linkStatus;
    }
    return status;
}

DownloadedVideo
DownloadCommand::runPipeline(const std::string& url, VideoQuality quality, std::stop_token stopToken) const {
    ActivityLine line;
    ActivityTicker ticker(line);
    // Off a terminal nothing shows, so nothing needs to read the tools' progress.
    DownloadProgressHandler onProgress;
    if (line.isTerminal())
        onProgress = [&ticker](const DownloadProgress& progress) {
            ticker.setStep(DownloadProgressText::describe(progress));
        };
    return VideoDownloader::download(
        url,
        quality,
        m_forceMP4,
        m_compatibleMP4,
        std::move(stopToken),
        [&ticker](VideoDownloader::DownloadStep step) { ticker.setStep(stepText(step)); },
        onProgress,
        m_signIn);
}

std::string DownloadCommand::download(const std::string& url, VideoQuality quality, std::stop_token stopToken) const {
    DownloadedVideo video = runPipeline(url, quality, std::move(stopToken));
    if (!m_outputDir.empty())
        video.fileURL = moveInto(video.fileURL, fs::absolute(m_outputDir));
    if (!m_json)
        return video.fileURL.string();
    if (!isUtf8(video.fileURL))
        throw std::runtime_error("--json cannot report the file's path, which is not UTF-8 text. The file is at " +
                                 video.fileURL.string());
    const nlohmann::ordered_json out = {
        {"path", video.fileURL.string()},
        {"name", video.fileURL.filename().string()},
        {"type", MediaType::forPath(video.fileURL)},
        {"wasConverted", video.wasConverted},
        {"wasRemuxed", video.wasRemuxed},
    };
    return out.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}
