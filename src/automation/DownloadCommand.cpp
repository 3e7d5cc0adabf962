#include "automation/DownloadCommand.h"

#include "automation/ActivityLine.h"
#include "automation/CliOutput.h"
#include "automation/CommandRunner.h"
#include "automation/DownloadRetry.h"
#include "automation/StopOnSignal.h"
#include "download/DownloadProgressText.h"
#include "download/MediaType.h"
#include "download/PageUrl.h"
#include "download/VideoDownloader.h"
#include "download/VideoQuality.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

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
constexpr const char* compatibleDescription =
    "Also re-encode AV1 video to H.264 so the file plays on older computers, phones, TVs and other devices. Slower, "
    "and larger files.";

// The preset named by its raw value or by its label.
std::optional<VideoQuality> qualityNamed(const std::string& text) {
    if (auto quality = videoQualityFromRawValue(text))
        return quality;
    for (VideoQuality quality : allVideoQualities) {
        if (label(quality) == text)
            return quality;
    }
    return std::nullopt;
}

std::string qualityChoices() {
    std::string text;
    for (VideoQuality quality : allVideoQualities) {
        if (!text.empty())
            text += ", ";
        text += std::string(rawValue(quality)) + " (\"" + std::string(label(quality)) + "\")";
    }
    return text;
}

std::string elapsedText(std::chrono::steady_clock::duration elapsed) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(elapsed).count();
    char text[32];
    std::snprintf(
        text, sizeof text, "%lld:%02lld", static_cast<long long>(seconds / 60), static_cast<long long>(seconds % 60));
    return text;
}

// Redraws "<step> <elapsed>" once a second while the download runs, and at each change of step
// or progress, on a terminal only. The step text carries the progress once there is some.
class ActivityTicker {
public:
    explicit ActivityTicker(ActivityLine& line) : m_line(line), m_start(std::chrono::steady_clock::now()) {
        if (!m_line.isTerminal())
            return;
        m_thread = std::jthread([this](std::stop_token stop) {
            std::unique_lock lock(m_mutex);
            while (!stop.stop_requested()) {
                m_line.show(m_step + " " + elapsedText(std::chrono::steady_clock::now() - m_start));
                m_wake.wait_for(lock, stop, std::chrono::seconds(1), [] { return false; });
            }
        });
    }
    ~ActivityTicker() {
        if (m_thread.joinable()) {
            m_thread.request_stop();
            m_thread.join();
        }
        m_line.clear();
    }

    void setStep(std::string step) {
        if (!m_line.isTerminal())
            return;
        std::lock_guard lock(m_mutex);
        m_step = std::move(step);
        m_line.show(m_step + " " + elapsedText(std::chrono::steady_clock::now() - m_start));
    }

private:
    ActivityLine& m_line;
    std::chrono::steady_clock::time_point m_start;
    std::mutex m_mutex;
    std::condition_variable_any m_wake;
    std::string m_step = "Downloading\u2026";
    std::jthread m_thread;
};

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

} // namespace

DownloadCommand::DownloadCommand(CLI::App& app) : m_command(app.add_subcommand("download", "Download Video")) {
    // A text beginning with "-" would otherwise be read as an option; take it as the URL and let
    // the URL rule refuse it with its own message.
    m_command->allow_extras();
    m_command->add_option("URL", m_url, std::string("URL: ") + urlDescription)->type_name("");
    // Checked in run(), so that a wrong value exits with 1 like every other error.
    m_command
        ->add_option("--quality",
                     m_quality,
                     std::string("Quality: ") + qualityDescription + " One of: " + qualityChoices() +
                         ". Default: highest (\"Highest quality\").")
        ->type_name("QUALITY");
    m_command->add_flag(
        "--force-mp4,!--no-force-mp4", m_forceMP4, std::string("Force MP4: ") + forceMP4Description + " Default: on.");
    m_command->add_flag("--compatible-mp4",
                        m_compatibleMP4,
                        std::string("Compatible MP4 (H.264): ") + compatibleDescription + " Default: off.");
    m_command->add_flag("--json", m_json, "Print one JSON object (path, name, type, wasConverted, wasRemuxed).");
    m_command->add_flag("--update-and-retry", m_updateAndRetry, DownloadRetry::optionDescription);
}

bool DownloadCommand::selected() const {
    return m_command->parsed();
}

int DownloadCommand::run(StopOnSignal& stop) {
    std::vector<std::string> texts;
    if (!m_url.empty())
        texts.push_back(m_url);
    for (const std::string& extra : m_command->remaining()) {
        if (extra != "--")
            texts.push_back(extra);
    }
    if (texts.empty()) {
        printError("A URL is required.");
        return 1;
    }
    if (texts.size() > 1) {
        std::string list;
        for (const std::string& text : texts)
            list += (list.empty() ? "" : " ") + text;
        printError("Expected one URL, got: " + list);
        return 1;
    }
    const auto url = PageUrl::parse(texts.front());
    if (!url) {
        printError("Not a usable URL: " + texts.front());
        return 1;
    }
    const auto quality = qualityNamed(m_quality);
    if (!quality) {
        printError("Not a quality: " + m_quality + ". One of: " + qualityChoices() + ".");
        return 1;
    }
    return CommandRunner::run(stop, CommandRunner::SignalRule::signalEnds, [&] {
        return DownloadRetry::run(
            m_updateAndRetry, stop.token(), [&] { return download(*url, *quality, stop.token()); });
    });
}

std::string DownloadCommand::download(const std::string& url, VideoQuality quality, std::stop_token stopToken) const {
    DownloadedVideo video;
    {
        ActivityLine line;
        ActivityTicker ticker(line);
        // Off a terminal nothing shows, so nothing needs to read the tools' progress.
        DownloadProgressHandler onProgress;
        if (line.isTerminal())
            onProgress = [&ticker](const DownloadProgress& progress) {
                ticker.setStep(DownloadProgressText::describe(progress));
            };
        video = VideoDownloader::download(
            url,
            quality,
            m_forceMP4,
            m_compatibleMP4,
            std::move(stopToken),
            [&ticker](VideoDownloader::DownloadStep step) { ticker.setStep(stepText(step)); },
            onProgress);
    }
    if (!m_json)
        return video.fileURL.string();
    const nlohmann::ordered_json out = {
        {"path", video.fileURL.string()},
        {"name", video.fileURL.filename().string()},
        {"type", MediaType::forPath(video.fileURL)},
        {"wasConverted", video.wasConverted},
        {"wasRemuxed", video.wasRemuxed},
    };
    return out.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}
