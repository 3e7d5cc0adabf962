#include "ReleaseAsset.h"
#include "ReleaseService.h"
#include "support/CliRun.h"
#include "support/MediaRecipes.h"

#include "support/FakeTool.h"
#include "support/Sandbox.h"
#include "tools/BundledTools.h"
#include "tools/Text.h"
#include "tools/ToolProcess.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace fs = std::filesystem;

namespace {

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
    // The link itself travels in a batch file, out of the command line.
    EXPECT_NE(readFile(runLog).find("--batch-file"), std::string::npos)
        << "the download did not run the updated yt-dlp";
}

} // namespace
