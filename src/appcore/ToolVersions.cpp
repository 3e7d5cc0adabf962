#include "appcore/ToolVersions.h"

#include "appcore/YtdlpUpdater.h"
#include "tools/BundledTools.h"
#include "tools/ToolVersionStore.h"

#include <thread>

ToolVersions::ToolVersions(YtdlpUpdater& updater, VersionFunction version, QObject* parent)
    : QObject(parent), m_updater(updater), m_version(std::move(version)) {
    if (!m_version)
        // Stored under each tool's fingerprint, so a start with unchanged tools runs none of them.
        m_version = [](const std::filesystem::path& tool, std::stop_token stop) {
            return ToolVersionStore::version(tool, stop);
        };
}

ToolVersions::~ToolVersions() = default; // m_lookups stops and joins

void ToolVersions::dropPending() {
    m_lookups.dropCurrent();
}

void ToolVersions::refresh() {
    m_lookups.dropCurrent();
    m_lookups.start([this, status = m_updater.statusFunction(), version = m_version](std::stop_token stop,
                                                                                     const WorkerRuns::Poster& back) {
        auto lookUp = [&version, stop](const std::filesystem::path& (*tool)()) -> std::optional<std::string> {
            try {
                return version(tool(), stop);
            } catch (...) {
                return std::nullopt;
            }
        };
        std::optional<std::string> ffmpeg;
        std::optional<std::string> deno;
        std::jthread ffmpegLookup([&] { ffmpeg = lookUp(&BundledTools::ffmpeg); });
        std::jthread denoLookup([&] { deno = lookUp(&BundledTools::deno); });
        // Posted in this fixed order from one thread, so the rows fill yt-dlp, ffmpeg, deno.
        try {
            YtdlpStatus result = status(stop);
            if (!stop.stop_requested())
                back.postIfCurrent([this, result = std::move(result)] { m_updater.setStatus(result); });
        } catch (...) {
        }
        ffmpegLookup.join();
        back.postIfCurrent([this, ffmpeg] {
            m_ffmpeg = ffmpeg;
            emit ffmpegChanged();
        });
        denoLookup.join();
        back.postIfCurrent([this, deno] {
            m_deno = deno;
            emit denoChanged();
        });
    });
}
