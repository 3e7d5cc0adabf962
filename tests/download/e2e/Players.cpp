#include "Players.h"

#include "platform/OperationCancelled.h"
#include "support/Sandbox.h"
#include "tools/ToolProcess.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

namespace {

std::optional<fs::path> onPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::stringstream folders(path ? path : "/usr/bin:/bin");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        std::error_code error;
        if (!folder.empty() && fs::is_regular_file(fs::path(folder) / name, error))
            return fs::path(folder) / name;
    }
    return std::nullopt;
}

// Runs the player until it exits, done() answers true, or 30 s pass; then its process group is ended.
ToolProcessResult runBounded(
    const fs::path& executable, const std::vector<std::string>& arguments, const std::function<bool()>& done = [] {
        return false;
    }) {
    std::stop_source stop;
    std::atomic<bool> ended = false;
    std::jthread watch([&] {
        for (int i = 0; i < 300 && !ended && !done(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        stop.request_stop();
    });
    ToolProcessResult result;
    try {
        result = ToolProcess::run(executable, arguments, std::nullopt, stop.get_token());
    } catch (const OperationCancelled&) {
        result.status = -1;
    }
    ended = true;
    return result;
}

Players::Verdict missing(const std::string& player) {
    return {player, true, false, player + " is not installed"};
}

Players::Verdict mpv(const fs::path& file) {
    const auto executable = onPath("mpv");
    if (!executable)
        return missing("mpv");
    const auto result =
        runBounded(*executable, {"--no-config", "--vo=null", "--ao=null", "--term-status-msg=", file.string()});
    const std::string& said = result.standardOutput;
    // "VO:" appears once the video decoder has delivered a picture.
    const bool played = result.status == 0 && said.find("VO: [null]") != std::string::npos &&
                        said.find("(End of file)") != std::string::npos;
    return {"mpv", false, played, said + result.standardError};
}

Players::Verdict gstreamer(const fs::path& file) {
    const auto executable = onPath("gst-launch-1.0");
    if (!executable)
        return missing("gst-launch-1.0");
    const auto result = runBounded(
        *executable, {"playbin", "uri=file://" + file.string(), "video-sink=fakesink", "audio-sink=fakesink"});
    const bool played = result.status == 0 && result.standardOutput.find("Got EOS") != std::string::npos;
    return {"GStreamer", false, played, result.standardOutput + result.standardError};
}

Players::Verdict chromium(const fs::path& served, const LocalHttpServer& server, const std::string& path) {
    const auto executable = onPath("chromium");
    if (!executable)
        return missing("chromium");
    const std::string name = served.filename().string();
    const std::string report = path + ".report";
    std::ofstream(served.string() + ".html")
        << "<!doctype html><video id=v muted autoplay src='" << name << "'></video><script>\n"
        << "const v = document.getElementById('v');\n"
        << "v.onended = () => fetch('" << report << "?' + (v.videoWidth > 0 ? 'ended' : 'no-picture'));\n"
        << "v.onerror = () => fetch('" << report << "?error-' + v.error.code);\n</script>\n";
    auto answer = [&server, &report]() -> std::string {
        for (const auto& request : server.requests()) {
            if (request.path.starts_with(report + "?"))
                return request.path.substr(report.size() + 1);
        }
        return {};
    };
    const auto result = runBounded(*executable,
                                   {"--headless=new",
                                    "--no-sandbox",
                                    "--no-first-run",
                                    "--user-data-dir=" + Sandbox::makeTempFolder("chromium").string(),
                                    "--autoplay-policy=no-user-gesture-required",
                                    server.baseUrl() + path + ".html"},
                                   [&answer] { return !answer().empty(); });
    const std::string said = answer();
    return {"Chromium", false, said == "ended", said.empty() ? "no report within 30 s" : said};
}

} // namespace

std::vector<Players::Verdict>
Players::playToEnd(const fs::path& file, const LocalHttpServer& server, const fs::path& root) {
    // A plain name in the served folder: no escaping in the URI or the page.
    static int count = 0;
    const std::string name = "played-" + std::to_string(++count) + file.extension().string();
    fs::copy_file(file, root / name, fs::copy_options::overwrite_existing);
    return {mpv(root / name), gstreamer(root / name), chromium(root / name, server, "/" + name)};
}
