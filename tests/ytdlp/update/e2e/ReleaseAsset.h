#pragma once

// A real release asset for tests against the real package: the shipped yt-dlp packed the way the
// release service publishes it, with another version.

#include "support/FakeTool.h"
#include "support/Sandbox.h"
#include "tools/ToolProcess.h"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <regex>
#include <stdexcept>
#include <string>

// The shipped yt-dlp's own Python package, packed as the zip application that the release
// service publishes, with a version newer than the shipped one. Its entry records every run that
// is not a version query, so the test can see which copy a download used.
inline std::filesystem::path buildReleaseAsset(const std::filesystem::path& folder,
                                               const std::string& version,
                                               const std::filesystem::path& runLog) {
    namespace fs = std::filesystem;
    const fs::path source = Sandbox::packageRoot() / "Contents" / "Resources" / "yt-dlp" / "yt_dlp";
    const fs::path app = folder / "app";
    fs::create_directories(app);
    fs::copy(source, app / "yt_dlp", fs::copy_options::recursive);
    for (auto it = fs::recursive_directory_iterator(app); it != fs::recursive_directory_iterator(); ++it) {
        if (it->path().filename() == "__pycache__") {
            fs::remove_all(it->path());
            it.disable_recursion_pending();
        }
    }
    const fs::path versionFile = app / "yt_dlp" / "version.py";
    writeFile(versionFile,
              std::regex_replace(
                  readFile(versionFile), std::regex("__version__ = '[^']*'"), "__version__ = '" + version + "'"));
    writeFile(app / "__main__.py",
              "import sys\n"
              "if sys.argv[1:] != ['--version']:\n"
              "    with open(" +
                  nlohmann::json(runLog.string()).dump() +
                  ", 'a') as log:\n"
                  "        log.write(' '.join(sys.argv[1:]) + '\\n')\n"
                  "import yt_dlp\n"
                  "yt_dlp.main()\n");
    const fs::path asset = folder / "yt-dlp_linux";
    const auto packed = ToolProcess::run(
        "/usr/bin/python3", {"-m", "zipapp", app.string(), "-p", "/usr/bin/python3", "-c", "-o", asset.string()});
    if (packed.status != 0)
        throw std::runtime_error("zipapp failed: " + packed.standardError);
    return asset;
}
