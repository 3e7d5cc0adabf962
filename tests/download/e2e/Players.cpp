#include "Players.h"

#include "platform/OperationCancelled.h"
#include "support/Sandbox.h"
#include "tools/ToolProcess.h"

#include <chrono>
#include <fstream>
#include <functional>
#include <thread>

namespace fs = std::filesystem;

namespace {

// Runs the player until it exits, done() answers true, or 30 s pass. Missing: no verdict.
Players::Verdict play(
    const std::string& player,
    const fs::path& executable,
    const std::vector<std::string>& arguments,
    const std::function<bool(const ToolProcessResult&)>& played,
    const std::function<bool()>& done = [] { return false; }) {
    if (!fs::exists(executable))
        return {player, true, false, executable.string() + " is not installed"};
    std::stop_source stop;
    std::jthread watch([&stop, &done](std::stop_token ended) {
        for (int i = 0; i < 300 && !ended.stop_requested() && !done(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        stop.request_stop();
    });
    ToolProcessResult result;
    try {
        result = ToolProcess::run(executable, arguments, std::nullopt, stop.get_token());
    } catch (const OperationCancelled&) {
        result.status = -1;
    }
    watch.request_stop();
    return {player, false, played(result), result.standardOutput + result.standardError};
}

} // namespace

std::vector<Players::Verdict>
Players::playToEnd(const fs::path& file, const LocalHttpServer& server, const fs::path& root) {
    static int count = 0; // a plain name: nothing to escape in the URI or the page
    const std::string name = "played-" + std::to_string(++count) + file.extension().string();
    fs::copy_file(file, root / name, fs::copy_options::overwrite_existing);
    const std::string report = "/" + name + ".report";
    std::ofstream(root / (name + ".html"))
        << "<video id=v muted autoplay src='" << name << "'></video><script>const v = document.getElementById('v');\n"
        << "v.onended = () => fetch('" << report << "?' + (v.videoWidth > 0 ? 'ended' : 'no-picture'));\n"
        << "v.onerror = () => fetch('" << report << "?error-' + v.error.code);</script>\n";
    auto reported = [&server, &report](const std::string& what) {
        for (const auto& request : server.requests()) {
            if (request.path.starts_with(report + "?" + what))
                return true;
        }
        return false;
    };
    auto says = [](const ToolProcessResult& result, std::initializer_list<const char*> words) {
        for (const char* word : words) {
            if (result.standardOutput.find(word) == std::string::npos)
                return false;
        }
        return result.status == 0;
    };
    return {
        // "VO:" appears once the video decoder has delivered a picture.
        play("mpv",
             "/usr/bin/mpv",
             {"--no-config", "--vo=null", "--ao=null", "--term-status-msg=", (root / name).string()},
             [&](const ToolProcessResult& result) {
                 return says(result, {"VO: [null]", "(End of file)"});
             }),
        play("GStreamer",
             "/usr/bin/gst-launch-1.0",
             {"playbin", "uri=file://" + (root / name).string(), "video-sink=fakesink", "audio-sink=fakesink"},
             [&](const ToolProcessResult& result) { return says(result, {"Got EOS"}); }),
        play(
            "Chromium",
            "/usr/bin/chromium",
            {"--headless=new",
             "--no-sandbox",
             "--no-first-run",
             "--user-data-dir=" + Sandbox::makeTempFolder("chromium").string(),
             "--autoplay-policy=no-user-gesture-required",
             server.baseUrl() + "/" + name + ".html"},
            [&](const ToolProcessResult&) { return reported("ended"); },
            [&] { return reported(""); }),
    };
}
