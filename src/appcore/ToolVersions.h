#pragma once

#include "appcore/WorkerRuns.h"

#include <QObject>

#include <filesystem>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>

class YtdlpUpdater;

// What the window's tools box shows besides the updater: the yt-dlp status (stored in the
// updater, which shares it with the menu) and the ffmpeg and deno versions. Lives on the GUI
// thread; the lookups run on worker threads and come back as queued calls.
class ToolVersions : public QObject {
    Q_OBJECT
public:
    // BundledTools::version by default; called on a worker thread.
    using VersionFunction =
        std::function<std::optional<std::string>(const std::filesystem::path& tool, std::stop_token stopToken)>;

    // updater must outlive this object.
    explicit ToolVersions(YtdlpUpdater& updater, VersionFunction version = {}, QObject* parent = nullptr);
    // Stops the lookups and waits for their threads.
    ~ToolVersions() override;

    // None until looked up, or when the tool is missing or prints no version.
    const std::optional<std::string>& ffmpeg() const { return m_ffmpeg; }
    const std::optional<std::string>& deno() const { return m_deno; }

    // Looks up the yt-dlp status and both versions at once and stores them in the fixed order
    // yt-dlp, ffmpeg, deno, whatever order they finish in. A newer refresh drops an older one's.
    void refresh();
    // Drops what the running refresh has not stored yet.
    void dropPending();

signals:
    void ffmpegChanged();
    void denoChanged();

private:
    YtdlpUpdater& m_updater;
    VersionFunction m_version;
    std::optional<std::string> m_ffmpeg;
    std::optional<std::string> m_deno;
    WorkerRuns m_lookups{this};
};
