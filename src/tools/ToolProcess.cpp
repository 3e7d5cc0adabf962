#include "tools/ToolProcess.h"

#include "platform/ChildProcess.h"
#include "platform/Platform.h"
#include "tools/Text.h"

namespace ToolProcess {

namespace {

// Built afresh for every run: nothing else of our own environment reaches a tool.
std::vector<std::string> childEnvironment() {
    return {
        "HOME=" + Platform::homeDirectory().string(),
        "TMPDIR=" + Platform::temporaryDirectory(),
        "PATH=/usr/bin:/bin:/usr/sbin:/sbin",
        "LANG=en_US.UTF-8",
    };
}

} // namespace

ToolProcessResult run(const std::filesystem::path& executable,
                      const std::vector<std::string>& arguments,
                      const std::optional<std::filesystem::path>& currentDirectory,
                      std::stop_token stopToken,
                      std::optional<std::chrono::milliseconds> silenceLimit) {
    ChildProcess child(executable, arguments, childEnvironment(), currentDirectory, stopGracePeriod);

    // A stop that was requested before the launch ends this child at once too: a tool started
    // after the user cancelled must not go on working unseen.
    std::stop_callback onStop(stopToken, [&child] { child.terminate(); });

    std::string out;
    std::string err;
    bool timedOut = false;
    child.readToEnd(out, err, silenceLimit, [&] {
        timedOut = true;
        child.terminate();
    });
    int status = child.wait();
    Text::repairUtf8InPlace(out);
    Text::repairUtf8InPlace(err);
    return ToolProcessResult{status, std::move(out), std::move(err), timedOut};
}

} // namespace ToolProcess
