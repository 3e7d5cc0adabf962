#include "support/CliRun.h"
#include "support/MediaRecipes.h"
#include "../ReleaseService.h"

#include "support/FakeTool.h"
#include "support/Sandbox.h"
#include "tools/BundledTools.h"
#include "tools/Text.h"
#include "tools/ToolProcess.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <regex>

namespace fs = std::filesystem;

namespace {

// The shipped yt-dlp's own Python package, packed as the zip application that the release
// service publishes, with a version newer than the shipped one. Its entry records every run that
// is not a version query, so the test can see which copy a download used.
fs::path buildReleaseAsset(const fs::path& folder, const std::string& version, const fs::path& runLog) {
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

TEST(UpdateEndToEndTest, UpdatesFromTheLocalReleaseServiceAndTheNextDownloadUsesTheUpdate) {
    ASSERT_TRUE(Sandbox::usesRealPackage());
    const auto shipped = BundledTools::version(BundledTools::bundledYtdlp());
    ASSERT_TRUE(shipped) << "the shipped yt-dlp does not run";
    const std::string newer = *shipped + ".235959";
    const fs::path work = Sandbox::makeTempFolder("e2e");
    const fs::path runLog = work / "runs.log";
    const fs::path media = work / "media";
    fs::create_directories(media);
    const auto made = ToolProcess::run(BundledTools::ffmpeg(), h264ClipArguments((media / "clip.mp4").string()));
    ASSERT_EQ(made.status, 0) << made.standardError;
    ReleaseService service(media);
    service.answerTag(YtdlpChannel::stable(), newer);
    service.publishAssetFile(YtdlpChannel::stable(), buildReleaseAsset(work, newer, runLog));

    const CliResult update = runCli({"update-ytdlp"});

    ASSERT_EQ(update.exitStatus, 0) << update.err;
    EXPECT_EQ(update.out, "Updated to yt-dlp " + newer + ".\n");
    EXPECT_FALSE(fs::exists(runLog)) << "only version queries so far";

    const CliResult status = runCli({"status", "--json"});
    ASSERT_EQ(status.exitStatus, 0) << status.err;
    const auto report = nlohmann::json::parse(status.out);
    EXPECT_EQ(report["active"]["source"], "updated");
    EXPECT_EQ(report["active"]["version"], newer);
    EXPECT_EQ(report["bundledVersion"], *shipped);

    const std::string link = service.baseUrl() + "/clip.mp4";
    const CliResult download = runCli({"download", link});

    ASSERT_EQ(download.exitStatus, 0) << download.err;
    const fs::path file = Text::trim(download.out);
    EXPECT_TRUE(fs::is_regular_file(file)) << download.out;
    EXPECT_GT(fs::file_size(file), 0u);
    EXPECT_NE(readFile(runLog).find(link), std::string::npos) << "the download did not run the updated yt-dlp";
}

} // namespace
