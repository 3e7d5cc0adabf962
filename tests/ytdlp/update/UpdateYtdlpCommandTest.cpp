#include "ReleaseService.h"
#include "support/CliRun.h"

#include "support/FakeTool.h"
#include "support/Sandbox.h"
#include "tools/BundledTools.h"

#include <gtest/gtest.h>

#include <regex>

namespace fs = std::filesystem;

namespace {

// The command runs in a child process with its own resolver; the sandbox's folders and the
// release hosts reach it through the environment.
class UpdateYtdlpCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::remove_all(BundledTools::supportDirectory());
        writeFakeTool(Sandbox::helpers() / "yt-dlp", "echo 2025.01.15\n");
        m_service.answerTag(YtdlpChannel::stable(), "2025.02.01");
    }

    static bool stagingLeft() {
        if (!fs::exists(BundledTools::supportDirectory()))
            return false;
        for (const auto& entry : fs::directory_iterator(BundledTools::supportDirectory()))
            if (entry.path().filename().string().rfind("staging-", 0) == 0)
                return true;
        return false;
    }

    ReleaseService m_service;
};

TEST_F(UpdateYtdlpCommandTest, PrintsOneLinePerPhaseOffATerminalAndTheOutcome) {
    m_service.publishAsset(YtdlpChannel::stable(), "#!/bin/sh\necho 2025.02.01\n");

    const CliResult result = runCli({"update-ytdlp"});

    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.out, "Updated to yt-dlp 2025.02.01.\n");
    EXPECT_EQ(result.err, "Downloading yt-dlp\u2026\nVerifying the download\u2026\nInstalling\u2026\n");
    EXPECT_EQ(readFile(BundledTools::updatedYtdlp()), "#!/bin/sh\necho 2025.02.01\n");
}

TEST_F(UpdateYtdlpCommandTest, OnATerminalRedrawsOneLineWithTheGrowingPercentage) {
    std::string asset = "#!/bin/sh\necho 2025.02.01\nexit 0\n";
    asset += std::string(2 * 1024 * 1024, '#');
    HttpRoute slow;
    slow.secondsPerChunk = 0.005;
    m_service.publishAsset(YtdlpChannel::stable(), asset, slow);

    // script(1) gives the command a terminal; what it drew comes back on script's output.
    const CliResult result = runProgram("/usr/bin/script", {"-qec", TALLOWIN_CLI_PATH " update-ytdlp", "/dev/null"});

    ASSERT_EQ(result.exitStatus, 0) << result.out;
    std::vector<int> percentages;
    const std::regex drawn("\r\x1b\\[KDownloading yt-dlp\u2026 ([0-9]+)%");
    for (auto it = std::sregex_iterator(result.out.begin(), result.out.end(), drawn); it != std::sregex_iterator();
         ++it)
        percentages.push_back(std::stoi((*it)[1]));
    ASSERT_GE(percentages.size(), 3u) << result.out;
    EXPECT_EQ(percentages.front(), 0);
    EXPECT_EQ(percentages.back(), 100);
    EXPECT_TRUE(std::adjacent_find(percentages.begin(), percentages.end(), std::greater_equal<int>()) ==
                percentages.end())
        << "each percentage is drawn once, growing";
    EXPECT_NE(result.out.find(
                  "\r\x1b[KVerifying the download\u2026\r\x1b[KInstalling\u2026\r\x1b[KUpdated to yt-dlp 2025.02.01."),
              std::string::npos)
        << result.out;
}

TEST_F(UpdateYtdlpCommandTest, ReportsADownloadThatIsNotNewer) {
    m_service.publishAsset(YtdlpChannel::stable(), "#!/bin/sh\necho 2025.01.15\n");

    const CliResult result = runCli({"update-ytdlp"});

    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.out, "yt-dlp 2025.01.15 is already the latest release.\n");
    EXPECT_EQ(result.err, "Downloading yt-dlp\u2026\nVerifying the download\u2026\n");
    EXPECT_FALSE(fs::exists(BundledTools::updatedYtdlp()));
}

TEST_F(UpdateYtdlpCommandTest, PrintsTheErrorVerbatimAndExitsWith1) {
    HttpRoute missing;
    missing.status = 404;
    m_service.answerAsset(YtdlpChannel::stable(), missing);

    const CliResult result = runCli({"update-ytdlp"});

    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "Downloading yt-dlp\u2026\nGitHub answered with HTTP 404.\n");
}

TEST_F(UpdateYtdlpCommandTest, InterruptDuringTheDownloadExitsWith130AndLeavesNothing) {
    HttpRoute stalls;
    stalls.stallAfterBytes = 16 * 1024;
    m_service.publishAsset(
        YtdlpChannel::stable(), "#!/bin/sh\necho 2025.02.01\n" + std::string(256 * 1024, '#'), stalls);
    const std::string objectPath = std::string("/release-assets/stable/") + YtdlpChannel::assetName();

    const CliResult result =
        runCli({"update-ytdlp"}, [&](const std::string&) { return m_service.wasRequested(objectPath); });

    EXPECT_EQ(result.exitStatus, 130) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_FALSE(fs::exists(BundledTools::updatedYtdlp()));
    EXPECT_FALSE(stagingLeft());
}

} // namespace
