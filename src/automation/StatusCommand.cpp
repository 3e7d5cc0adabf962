#include "automation/StatusCommand.h"

#include "automation/CommandRunner.h"
#include "automation/StopOnSignal.h"
#include "tools/BundledTools.h"
#include "tools/ToolVersionStore.h"
#include "ytdlp/YtdlpResolver.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <future>
#include <sstream>

namespace {

nlohmann::json orNull(const std::optional<std::string>& value) {
    return value ? nlohmann::json(*value) : nlohmann::json(nullptr);
}

} // namespace

StatusCommand::StatusCommand(CLI::App& app)
    : m_command(app.add_subcommand("status", "Show the active yt-dlp and the versions of the bundled tools.")) {
    m_command->add_flag("--json", m_json, "Print one JSON object instead of lines.");
}

bool StatusCommand::selected() const {
    return m_command->parsed();
}

int StatusCommand::run(StopOnSignal& stop) {
    // What a stopped lookup says is not the tool's answer: print nothing rather than "missing".
    return CommandRunner::run(stop, CommandRunner::SignalRule::signalEnds, [&] { return report(stop.token()); });
}

std::string StatusCommand::report(std::stop_token token) const {
    // The five lookups are independent tool starts: run them side by side. A signal stops them
    // all, so a hung tool cannot hold the command.
    const auto lookUp = [token](const std::filesystem::path& (*tool)()) {
        return std::async(std::launch::async, [tool, token] { return ToolVersionStore::version(tool(), token); });
    };
    auto ffmpeg = lookUp(&BundledTools::ffmpeg);
    auto ffprobe = lookUp(&BundledTools::ffprobe);
    auto deno = lookUp(&BundledTools::deno);
    YtdlpStatus status = YtdlpResolver::shared().status(token);
    const std::optional<std::string> ffmpegVersion = ffmpeg.get();
    const std::optional<std::string> ffprobeVersion = ffprobe.get();
    const std::optional<std::string> denoVersion = deno.get();

    if (m_json) {
        nlohmann::json out = {
            {"active",
             {{"version", orNull(status.active.version)},
              {"source", sourceName(status.active.source)},
              {"path", status.active.url.string()}}},
            {"bundledVersion", orNull(status.bundledVersion)},
            {"updatedVersion", orNull(status.updatedVersion)},
            {"ffmpeg", orNull(ffmpegVersion)},
            {"ffprobe", orNull(ffprobeVersion)},
            {"deno", orNull(denoVersion)},
        };
        return out.dump(2);
    }
    std::ostringstream text;
    text << "yt-dlp (active): " << status.active.version.value_or("?") << ", " << sourceName(status.active.source)
         << ", " << status.active.url.string() << '\n'
         << "yt-dlp bundled: " << status.bundledVersion.value_or("missing") << '\n'
         << "yt-dlp updated: " << status.updatedVersion.value_or("none") << '\n'
         << "ffmpeg: " << ffmpegVersion.value_or("missing") << '\n'
         << "ffprobe: " << ffprobeVersion.value_or("missing") << '\n'
         << "deno: " << denoVersion.value_or("missing");
    return text.str();
}
