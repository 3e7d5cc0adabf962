#include "ytdlp/YtdlpLog.h"

#include "platform/Platform.h"
#include "tools/SafeText.h"

#include <spdlog/logger.h>
#include <spdlog/sinks/systemd_sink.h>

#include <filesystem>

namespace {

// The journal is kept on disk and readable by more than the user: every message loses a link's
// password, its query string and any control character before any sink sees it.
class RedactingLogger : public spdlog::logger {
public:
    using spdlog::logger::logger;

protected:
    void sink_it_(const spdlog::details::log_msg& msg) override {
        const std::string text = SafeText::clean({msg.payload.data(), msg.payload.size()}, SafeText::Where::kept);
        spdlog::details::log_msg redacted = msg;
        redacted.payload = text;
        spdlog::logger::sink_it_(redacted);
    }
};

} // namespace

std::shared_ptr<spdlog::logger> ytdlpLog() {
    static const std::shared_ptr<spdlog::logger> logger = [] {
        std::shared_ptr<spdlog::logger> created = std::make_shared<RedactingLogger>("yt-dlp");
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
