#include "tools/ToolProcess.h"

#include "platform/ChildProcess.h"
#include "platform/OperationCancelled.h"
#include "platform/Platform.h"
#include "tools/Text.h"

#include <cstdlib>

namespace ToolProcess {

namespace {

// Built afresh for every run: nothing else of our own environment reaches a tool, except the
// proxy settings, which on Linux live only in the environment (yt-dlp and ffmpeg read them).
std::vector<std::string> childEnvironment() {
    std::vector<std::string> environment{
        "HOME=" + Platform::homeDirectory().string(),
        "TMPDIR=" + Platform::temporaryDirectory(),
        "PATH=/usr/bin:/bin:/usr/sbin:/sbin",
        "LANG=en_US.UTF-8",
    };
    for (const char* name :
         {"http_proxy", "https_proxy", "all_proxy", "no_proxy", "HTTP_PROXY", "HTTPS_PROXY", "ALL_PROXY", "NO_PROXY"}) {
        if (const char* value = std::getenv(name))
            environment.push_back(std::string(name) + "=" + value);
    }
    return environment;
}

} // namespace

ToolProcessResult run(const std::filesystem::path& executable,
                      const std::vector<std::string>& arguments,
                      const std::optional<std::filesystem::path>& currentDirectory,
                      std::stop_token stopToken,
                      std::optional<std::chrono::milliseconds> silenceLimit,
                      const LineHandler& onLine,
                      const std::vector<std::string>& extraEnvironment) {
    std::vector<std::string> environment = childEnvironment();
    environment.insert(environment.end(), extraEnvironment.begin(), extraEnvironment.end());
    ChildProcess child(executable, arguments, environment, currentDirectory, stopGracePeriod);

    // A stop that was requested before the launch ends this child at once too: a tool started
    // after the user cancelled must not go on working unseen.
    std::stop_callback onStop(stopToken, [&child] { child.terminate(); });

    std::string out;
    std::string err;
    bool timedOut = false;
    ChildProcess::ChunkHandler onChunk;
    std::string partial[2];
    if (onLine) {
        // Lines are cut from the chunks as they arrive; only an unfinished line is held back.
        onChunk = [&](int stream, std::string_view bytes) {
            std::string& held = partial[stream];
            const auto which = stream == 0 ? Stream::standardOutput : Stream::standardError;
            for (std::size_t newline; (newline = bytes.find('\n')) != std::string_view::npos;) {
                std::string_view line = bytes.substr(0, newline);
                if (!held.empty()) {
                    held.append(line);
                    line = held;
                }
                if (line.ends_with('\r'))
                    line.remove_suffix(1);
                onLine(which, line);
                held.clear();
                bytes.remove_prefix(newline + 1);
            }
            held.append(bytes);
        };
    }
    child.readToEnd(
        out,
        err,
        silenceLimit,
        [&] {
            timedOut = true;
            child.terminate();
        },
        onChunk);
    if (onLine) {
        for (int stream = 0; stream < 2; ++stream) {
            if (!partial[stream].empty())
                onLine(stream == 0 ? Stream::standardOutput : Stream::standardError, partial[stream]);
        }
    }
    int status = child.wait();
    if (stopToken.stop_requested() && (status != 0 || timedOut))
        throw OperationCancelled();
    Text::repairUtf8InPlace(out);
    Text::repairUtf8InPlace(err);
    return ToolProcessResult{status, std::move(out), std::move(err), timedOut};
}

} // namespace ToolProcess
