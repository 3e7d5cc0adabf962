#include "ytdlp/YtdlpLog.h"

#include "platform/Platform.h"

#include <spdlog/logger.h>
#include <spdlog/sinks/systemd_sink.h>

#include <filesystem>

std::shared_ptr<spdlog::logger> ytdlpLog() {
    static const std::shared_ptr<spdlog::logger> logger = [] {
        auto created = std::make_shared<spdlog::logger>("yt-dlp");
        // Containers and CI have no journal: there the log goes nowhere, and nothing is printed.
        std::error_code error;
        if (std::filesystem::exists("/run/systemd/journal/socket", error))
            created->sinks().push_back(std::make_shared<spdlog::sinks::systemd_sink_mt>(Platform::bundleIdentifier()));
        created->set_level(spdlog::level::info);
        created->flush_on(spdlog::level::info);
        return created;
    }();
    return logger;
}
