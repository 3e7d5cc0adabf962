#include "automation/StatusCommand.h"

#include "tools/BundledTools.h"
#include "ytdlp/YtdlpResolver.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <future>
#include <iostream>

namespace {

nlohmann::json orNull(const std::optional<std::string>& value) {
    return value ? nlohmann::json(*value) : nlohmann::json(nullptr);
}

} // namespace

StatusCommand::StatusCommand(CLI::App& app)
    : m_command(app.add_subcommand("status", "Show the active yt-dlp and the versions of the bundled tools.")) {
    m_command->add_flag("--json", m_json, "Print one JSON object instead of lines.");
}

bool StatusCommand::selected() const { return m_command->parsed(); }

int StatusCommand::run() {
    // The five lookups are independent tool starts: run them side by side.
    auto ffmpeg = std::async(std::launch::async, [] { return BundledTools::version(BundledTools::ffmpeg()); });
    auto ffprobe = std::async(std::launch::async, [] { return BundledTools::version(BundledTools::ffprobe()); });
    auto deno = std::async(std::launch::async, [] { return BundledTools::version(BundledTools::deno()); });
    YtdlpStatus status = YtdlpResolver::shared().status();

    if (m_json) {
        nlohmann::json out = {
            {"active",
             {{"version", orNull(status.active.version)},
              {"source", sourceName(status.active.source)},
              {"path", status.active.url.string()}}},
            {"bundledVersion", orNull(status.bundledVersion)},
            {"updatedVersion", orNull(status.updatedVersion)},
            {"ffmpeg", orNull(ffmpeg.get())},
            {"ffprobe", orNull(ffprobe.get())},
            {"deno", orNull(deno.get())},
        };
        std::cout << out.dump(2) << '\n';
        return 0;
    }
    std::cout << "yt-dlp (active): " << status.active.version.value_or("?") << ", "
              << sourceName(status.active.source) << ", " << status.active.url.string() << '\n'
              << "yt-dlp bundled: " << status.bundledVersion.value_or("missing") << '\n'
              << "yt-dlp updated: " << status.updatedVersion.value_or("none") << '\n'
              << "ffmpeg: " << ffmpeg.get().value_or("missing") << '\n'
              << "ffprobe: " << ffprobe.get().value_or("missing") << '\n'
              << "deno: " << deno.get().value_or("missing") << '\n';
    return 0;
}
