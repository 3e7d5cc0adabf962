#include "tools/BundledTools.h"

#include "platform/Platform.h"
#include "tools/Text.h"
#include "tools/ToolProcess.h"

#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace BundledTools {

const fs::path& helpersDirectory() {
    static const fs::path path = Platform::packageRoot() / "Contents" / "Helpers";
    return path;
}

const fs::path& bundledYtdlp() {
    static const fs::path path = helpersDirectory() / "yt-dlp";
    return path;
}

const fs::path& ffmpeg() {
    static const fs::path path = helpersDirectory() / "ffmpeg";
    return path;
}

const fs::path& ffprobe() {
    static const fs::path path = helpersDirectory() / "ffprobe";
    return path;
}

const fs::path& deno() {
    static const fs::path path = helpersDirectory() / "deno";
    return path;
}

const fs::path& supportDirectory() {
    static const fs::path path = Platform::dataHome() / Platform::bundleIdentifier();
    return path;
}

const fs::path& updatedYtdlp() {
    static const fs::path path = supportDirectory() / "yt-dlp";
    return path;
}

bool isExecutableFile(const fs::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

std::optional<std::string>
version(const fs::path& tool, std::stop_token stopToken, std::chrono::milliseconds silenceLimit) {
    if (!isExecutableFile(tool))
        return std::nullopt;
    std::string name = tool.filename().string();
    std::string option = name.starts_with("ff") ? "-version" : "--version";

    ToolProcessResult result;
    try {
        result = ToolProcess::run(tool, {option}, std::nullopt, stopToken, silenceLimit);
    } catch (const std::exception&) {
        return std::nullopt; // a launch failure, or OperationCancelled: a stopped lookup knows nothing
    }
    if (result.timedOut)
        return std::nullopt;

    std::vector<std::string> lines = Text::splitLines(result.standardOutput);
    if (lines.empty())
        return std::nullopt;
    const std::string& line = lines.front();
    if (name == "yt-dlp")
        return Text::trimSpaces(line);

    std::vector<std::string> words = Text::splitWords(line);
    if (name == "deno")
        return words.size() >= 2 ? words[1] : line;

    // ffmpeg and ffprobe, and any name we do not know: "ffmpeg version 7.1.1-static ..." -> "7.1.1".
    if (words.size() < 3)
        return line;
    std::vector<std::string> pieces = Text::splitWords(words[2], '-');
    return pieces.empty() ? words[2] : pieces.front();
}

} // namespace BundledTools
