#include "../ytdlp/update/ReleaseService.h"
#include "../ytdlp/update/e2e/ReleaseAsset.h"

#include "support/CliRun.h"
#include "support/FakeTool.h"
#include "support/ProcessTable.h"
#include "support/Sandbox.h"
#include "tools/BundledTools.h"
#include "tools/Text.h"
#include "tools/ToolProcess.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <csignal>
#include <thread>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

const std::string waitingLine = "Waiting for another update to finish\u2026\n";

// Real update-ytdlp runs of the real package against the local release service, overlapping or
// killed part-way. The assets are the shipped yt-dlp repacked with newer versions, and they
// travel slowly, so a run is still downloading when the test acts on it.
class UpdateFaultTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Sandbox::usesRealPackage());
        fs::remove_all(BundledTools::supportDirectory());
        const auto shipped = BundledTools::version(BundledTools::bundledYtdlp());
        ASSERT_TRUE(shipped) << "the shipped yt-dlp does not run";
        m_first = *shipped + ".100000";
        m_second = *shipped + ".235959";
        const fs::path work = Sandbox::makeTempFolder("update-fault");
        fs::create_directories(work / "first");
        fs::create_directories(work / "second");
        m_firstAsset = buildReleaseAsset(work / "first", m_first, work / "runs.log");
        m_secondAsset = buildReleaseAsset(work / "second", m_second, work / "runs.log");
        HttpRoute failing;
        failing.status = 500;
        m_service.answerRelease(YtdlpChannel::nightly(), failing);
        m_service.answerTag(YtdlpChannel::stable(), m_first);
    }

    // A transfer of the asset that lasts a few seconds.
    static HttpRoute slowly() {
        HttpRoute route;
        route.secondsPerChunk = 0.1;
        return route;
    }

    static std::string assetObjectPath(const YtdlpChannel& channel) {
        return "/release-assets/" + channel.name + "/" + YtdlpChannel::assetName();
    }

    static std::vector<fs::path> stagingFolders() {
        std::vector<fs::path> found;
        if (!fs::exists(BundledTools::supportDirectory()))
            return found;
        for (const auto& entry : fs::directory_iterator(BundledTools::supportDirectory()))
            if (entry.path().filename().string().rfind("staging-", 0) == 0)
                found.push_back(entry.path());
        return found;
    }

    static bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!condition()) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(20ms);
        }
        return true;
    }

    static nlohmann::json status() {
        const CliResult result = runCli({"status", "--json"});
        EXPECT_EQ(result.exitStatus, 0) << result.err;
        return nlohmann::json::parse(result.out, nullptr, false);
    }

    ReleaseService m_service;
    std::string m_first;
    std::string m_second;
    fs::path m_firstAsset;
    fs::path m_secondAsset;
};

TEST_F(UpdateFaultTest, TwoCommandsAtOnceTakeTurnsAndAgreeWithTheEndState) {
    m_service.publishAssetFile(YtdlpChannel::stable(), m_firstAsset, slowly());

    SessionProgram first(cliPath().string(), {"update-ytdlp"});
    ASSERT_TRUE(waitUntil([&] { return m_service.wasRequested(assetObjectPath(YtdlpChannel::stable())); }, 60s))
        << first.err();
    SessionProgram second(cliPath().string(), {"update-ytdlp"});
    ASSERT_TRUE(second.waitForError(waitingLine, 60s)) << "no wait: " << second.err() << " / " << first.err();
    // A newer release appears while the second waits; only a run that reads the state after
    // the first one's install gets it right.
    m_service.answerTag(YtdlpChannel::nightly(), m_second);
    m_service.publishAssetFile(YtdlpChannel::nightly(), m_secondAsset);

    EXPECT_EQ(first.waitFor(180s), 0) << first.err();
    EXPECT_EQ(second.waitFor(180s), 0) << second.err();

    EXPECT_EQ(first.out(), "Updated to yt-dlp " + m_first + ".\n");
    EXPECT_EQ(second.out(), "Updated to yt-dlp " + m_second + ".\n");
    EXPECT_EQ(second.err().rfind(waitingLine, 0), 0u) << second.err();
    const nlohmann::json report = status();
    EXPECT_EQ(report["active"]["source"], "updated");
    EXPECT_EQ(report["active"]["version"], m_second);
    EXPECT_EQ(report["updatedVersion"], m_second);
    const auto backup = ToolProcess::run(BundledTools::supportDirectory() / "yt-dlp.previous", {"--version"});
    EXPECT_EQ(Text::trim(backup.standardOutput), m_first) << backup.standardError;
    EXPECT_TRUE(stagingFolders().empty());
    EXPECT_TRUE(ProcessTable::waitUntilEmpty(first.pid(), 10s).empty());
    EXPECT_TRUE(ProcessTable::waitUntilEmpty(second.pid(), 10s).empty());
}

TEST_F(UpdateFaultTest, StagingFolderOfAKilledRunIsRemovedByTheNextRun) {
    m_service.publishAssetFile(YtdlpChannel::stable(), m_firstAsset, slowly());
    SessionProgram killed(cliPath().string(), {"update-ytdlp"});
    // Part of the file has arrived in the run's staging folder.
    ASSERT_TRUE(waitUntil(
        [&] {
            for (const fs::path& folder : stagingFolders()) {
                std::error_code ignored;
                if (fs::file_size(folder / "yt-dlp", ignored) > 64 * 1024)
                    return true;
            }
            return false;
        },
        60s))
        << killed.err();
    killed.signalGroup(SIGKILL);
    EXPECT_EQ(killed.waitFor(10s), 128 + SIGKILL);
    ASSERT_EQ(stagingFolders().size(), 1u) << "a killed run cannot clean up after itself";
    EXPECT_TRUE(ProcessTable::waitUntilEmpty(killed.pid(), 10s).empty());

    m_service.publishAssetFile(YtdlpChannel::stable(), m_firstAsset);
    const CliResult next = runCli({"update-ytdlp"});

    EXPECT_EQ(next.exitStatus, 0) << next.err;
    EXPECT_EQ(next.out, "Updated to yt-dlp " + m_first + ".\n");
    EXPECT_EQ(next.err.find(waitingLine), std::string::npos) << "the dead run's lock outlived it";
    EXPECT_TRUE(stagingFolders().empty());
    EXPECT_EQ(status()["active"]["version"], m_first);
}

} // namespace
