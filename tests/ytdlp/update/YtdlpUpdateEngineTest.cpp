#include "ReleaseService.h"

#include "platform/NetworkError.h"
#include "platform/OperationCancelled.h"
#include "support/FakeTool.h"
#include "support/LogCapture.h"
#include "support/ReleaseSigner.h"
#include "support/Sandbox.h"
#include "support/ScopedEnv.h"
#include "tools/BundledTools.h"
#include "tools/Text.h"
#include "tools/ToolProcess.h"
#include "ytdlp/YtdlpResolver.h"
#include "ytdlp/YtdlpUpdateEngine.h"
#include "ytdlp/YtdlpUpdateError.h"
#include "ytdlp/YtdlpUpdateLock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

namespace fs = std::filesystem;

namespace {

using Kind = YtdlpUpdateError::Kind;

// A fake yt-dlp: a comment line that tells copies apart, then the version it reports.
std::string fakeYtdlp(const std::string& version, const std::string& mark = "downloaded") {
    return "#!/bin/sh\n# " + mark + "\necho " + version + "\n";
}

std::optional<std::string> markOf(const fs::path& file) {
    if (!fs::exists(file))
        return std::nullopt;
    const std::string text = readFile(file);
    const auto start = text.find("# ");
    return start == std::string::npos ? "?" : text.substr(start + 2, text.find('\n', start) - start - 2);
}

class UpdateEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::remove_all(support());
        setShipped("2025.01.15");
        m_service.answerTag(YtdlpChannel::stable(), "2025.02.01");
    }

    static const fs::path& support() { return BundledTools::supportDirectory(); }
    static const fs::path& target() { return BundledTools::updatedYtdlp(); }
    static fs::path backup() { return support() / "yt-dlp.previous"; }

    void setShipped(const std::optional<std::string>& version) {
        if (version)
            writeFakeTool(Sandbox::helpers() / "yt-dlp", "echo " + *version + "\n");
        else
            fs::remove(Sandbox::helpers() / "yt-dlp");
        YtdlpResolver::shared().clearCache();
    }

    static void placeCopy(const fs::path& path, const std::string& version, const std::string& mark) {
        fs::create_directories(path.parent_path());
        writeFile(path, fakeYtdlp(version, mark));
        fs::permissions(path, fs::perms(0755));
    }

    YtdlpUpdateOutcome runUpdate(std::stop_token stopToken = {},
                                 const std::function<void(const YtdlpUpdatePhase&)>& also = {},
                                 std::chrono::milliseconds silenceLimit = BundledTools::versionSilenceLimit) {
        return YtdlpUpdateEngine::update(
            [&](YtdlpUpdatePhase phase) {
                {
                    std::lock_guard lock(m_phasesMutex);
                    m_phases.push_back(phase);
                }
                if (also)
                    also(phase);
            },
            stopToken,
            silenceLimit,
            m_maximumAssetBytes);
    }

    YtdlpUpdateError expectUpdateError() {
        try {
            runUpdate();
        } catch (const YtdlpUpdateError& error) {
            return error;
        }
        ADD_FAILURE() << "no YtdlpUpdateError";
        return YtdlpUpdateError::badResponse(0);
    }

    static std::vector<fs::path> stagingFolders() {
        std::vector<fs::path> found;
        if (fs::exists(support()))
            for (const auto& entry : fs::directory_iterator(support()))
                if (entry.path().filename().string().rfind("staging-", 0) == 0)
                    found.push_back(entry.path());
        return found;
    }

    bool reported(YtdlpUpdatePhase::Kind kind) const {
        return std::any_of(m_phases.begin(), m_phases.end(), [&](const auto& phase) { return phase.kind == kind; });
    }

    ReleaseService m_service;
    LogCapture m_log;
    std::mutex m_phasesMutex;
    std::vector<YtdlpUpdatePhase> m_phases;
    std::uintmax_t m_maximumAssetBytes = YtdlpUpdateEngine::assetSizeLimit;
};

// --- Channel choice ---------------------------------------------------------------------------

struct ChannelCase {
    const char* name;
    std::optional<std::string> stableTag; // absent: the query answers 500
    std::optional<std::string> nightlyTag;
    bool nightlyChosen;
    const char* logLine;
};

void PrintTo(const ChannelCase& c, std::ostream* out) {
    *out << c.name;
}

class ChannelChoiceTest : public UpdateEngineTest, public ::testing::WithParamInterface<ChannelCase> {};

TEST_P(ChannelChoiceTest, PicksTheStrictlyNewerValidTag) {
    const ChannelCase& c = GetParam();
    HttpRoute failing;
    failing.status = 500;
    failing.body = "{\"message\":\"Server Error\"}";
    for (const auto& [channel, tag] :
         {std::pair{YtdlpChannel::stable(), c.stableTag}, std::pair{YtdlpChannel::nightly(), c.nightlyTag}}) {
        if (tag)
            m_service.answerTag(channel, *tag);
        else
            m_service.answerRelease(channel, failing);
    }

    const YtdlpChannel chosen = YtdlpUpdateEngine::newestChannel();

    EXPECT_EQ(chosen, c.nightlyChosen ? YtdlpChannel::nightly() : YtdlpChannel::stable());
    EXPECT_TRUE(m_log.contains(c.logLine)) << ::testing::PrintToString(m_log.texts());
}

INSTANTIATE_TEST_SUITE_P(
    Tags,
    ChannelChoiceTest,
    ::testing::Values(
        ChannelCase{"nightlyNewer",
                    "2025.01.15",
                    "2025.01.16.232519",
                    true,
                    "Latest yt-dlp: stable 2025.01.15, nightly 2025.01.16.232519"},
        ChannelCase{
            "equalTags", "2025.01.15", "2025.01.15", false, "Latest yt-dlp: stable 2025.01.15, nightly 2025.01.15"},
        ChannelCase{
            "nightlyOlder", "2025.01.15", "2024.12.30", false, "Latest yt-dlp: stable 2025.01.15, nightly 2024.12.30"},
        ChannelCase{"stableFails", std::nullopt, "2025.01.16", true, "Latest yt-dlp: stable ?, nightly 2025.01.16"},
        ChannelCase{"bothFail", std::nullopt, std::nullopt, false, "Latest yt-dlp: stable ?, nightly ?"},
        ChannelCase{"stableTwoParts", "2025.01", "2024.12.01", true, "Latest yt-dlp: stable ?, nightly 2024.12.01"},
        ChannelCase{"nightlyWord", "2025.01.15", "nightly", false, "Latest yt-dlp: stable 2025.01.15, nightly ?"}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(UpdateEngineTest, BothQueriesFailingStillDownloadsFromStable) {
    HttpRoute failing;
    failing.status = 503;
    m_service.answerRelease(YtdlpChannel::stable(), failing);
    m_service.publishAsset(YtdlpChannel::stable(), fakeYtdlp("2025.02.01"));

    EXPECT_EQ(runUpdate(), YtdlpUpdateOutcome::updated("2025.02.01"));
    EXPECT_TRUE(m_log.contains("Downloading yt-dlp from the stable channel"));
}

// --- Release JSON ------------------------------------------------------------------------------

struct TagCase {
    const char* name;
    int status;
    std::string body;
    std::optional<std::string> expected;
};

void PrintTo(const TagCase& c, std::ostream* out) {
    *out << c.name;
}

class LatestTagTest : public UpdateEngineTest, public ::testing::WithParamInterface<TagCase> {};

TEST_P(LatestTagTest, AcceptsOnlyAVersionShapedStringTagAnsweredWith200) {
    HttpRoute route;
    route.status = GetParam().status;
    route.body = GetParam().body;
    m_service.answerRelease(YtdlpChannel::nightly(), route);

    EXPECT_EQ(YtdlpUpdateEngine::latestTag(YtdlpChannel::nightly()), GetParam().expected);
    const auto requests = m_service.server().requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.back().path, "/repos/yt-dlp/yt-dlp-nightly-builds/releases/latest");
    EXPECT_EQ(requests.back().headers.at("accept"), "application/vnd.github+json");
}

std::string longVersion() {
    std::string text = "2025";
    while (text.size() < 10 * 1024)
        text += ".1";
    return text;
}

INSTANTIATE_TEST_SUITE_P(
    Bodies,
    LatestTagTest,
    ::testing::Values(
        TagCase{"valid", 200, R"({"tag_name":"2025.01.15","name":"x"})", "2025.01.15"},
        TagCase{"untrimmedKeptAsReceived", 200, R"({"tag_name":" 2025.01.15\n"})", " 2025.01.15\n"},
        TagCase{"status201", 201, R"({"tag_name":"2025.01.15"})", std::nullopt},
        TagCase{"status404", 404, R"({"tag_name":"2025.01.15"})", std::nullopt},
        TagCase{"brokenJson", 200, R"({"tag_name":"2025.01)", std::nullopt},
        TagCase{"notAnObject", 200, R"(["2025.01.15"])", std::nullopt},
        TagCase{"noTagName", 200, R"({"name":"2025.01.15"})", std::nullopt},
        TagCase{"tagNotAString", 200, R"({"tag_name":20250115})", std::nullopt},
        TagCase{"tenKilobytesOfText", 200, "{\"tag_name\":\"" + std::string(10240, 'x') + "\"}", std::nullopt},
        TagCase{"tenKilobytesOfVersion", 200, "{\"tag_name\":\"" + longVersion() + "\"}", longVersion()},
        TagCase{"emptyBody", 200, "", std::nullopt}),
    [](const auto& test) { return std::string(test.param.name); });

// --- Download ----------------------------------------------------------------------------------

TEST_F(UpdateEngineTest, AssetAnswered404FailsWithTheStatusAndInstallsNothing) {
    HttpRoute missing;
    missing.status = 404;
    missing.body = "Not Found";
    m_service.answerAsset(YtdlpChannel::stable(), missing);

    const YtdlpUpdateError error = expectUpdateError();

    EXPECT_EQ(error.kind(), Kind::badResponse);
    EXPECT_STREQ(error.what(), "GitHub answered with HTTP 404.");
    EXPECT_FALSE(fs::exists(target()));
    EXPECT_TRUE(stagingFolders().empty());
    EXPECT_FALSE(reported(YtdlpUpdatePhase::Kind::verifying));
}

// The run's own cap is far above any release; this one is 1 MB, with and without a length.
TEST_F(UpdateEngineTest, AssetPastTheSizeCapIsStoppedAndInstallsNothing) {
    m_maximumAssetBytes = 1'000'000;
    for (const bool omitLength : {false, true}) {
        HttpRoute route;
        route.omitLength = omitLength;
        m_service.publishAsset(YtdlpChannel::stable(), fakeYtdlp("2025.02.01") + std::string(2'000'000, '#'), route);
        EXPECT_STREQ(expectUpdateError().what(),
                     "The downloaded yt-dlp is larger than 1 MB, far more than any yt-dlp release, so the download "
                     "was stopped.");
        EXPECT_FALSE(fs::exists(target()));
        EXPECT_TRUE(stagingFolders().empty());
    }
}

TEST_F(UpdateEngineTest, AssetWithoutLengthReportsNoFractionBeforeVerifying) {
    HttpRoute noLength;
    noLength.omitLength = true;
    m_service.publishAsset(YtdlpChannel::stable(), fakeYtdlp("2025.02.01"), noLength);

    EXPECT_EQ(runUpdate(), YtdlpUpdateOutcome::updated("2025.02.01"));

    EXPECT_EQ(
        m_phases,
        (std::vector{YtdlpUpdatePhase::downloading(0), YtdlpUpdatePhase::verifying(), YtdlpUpdatePhase::installing()}));
}

TEST_F(UpdateEngineTest, FractionsGrowToOneAndPhasesComeInOrder) {
    // A large script: everything after "exit" is never read by the shell.
    std::string asset = fakeYtdlp("2025.02.01") + "exit 0\n";
    while (asset.size() < 2 * 1024 * 1024)
        asset += "# padding padding padding padding padding padding padding padding padding\n";
    HttpRoute slow;
    slow.secondsPerChunk = 0.005;
    m_service.publishAsset(YtdlpChannel::stable(), asset, slow);

    runUpdate();

    ASSERT_GE(m_phases.size(), 5u);
    EXPECT_EQ(m_phases.front(), YtdlpUpdatePhase::downloading(0));
    EXPECT_EQ(m_phases[m_phases.size() - 2], YtdlpUpdatePhase::verifying());
    EXPECT_EQ(m_phases.back(), YtdlpUpdatePhase::installing());
    double last = 0;
    for (std::size_t i = 1; i + 2 < m_phases.size(); ++i) {
        EXPECT_EQ(m_phases[i].kind, YtdlpUpdatePhase::Kind::downloading);
        EXPECT_GE(m_phases[i].fraction, last);
        EXPECT_LE(m_phases[i].fraction, 1.0);
        last = m_phases[i].fraction;
    }
    EXPECT_EQ(last, 1.0);
}

TEST_F(UpdateEngineTest, RedirectToPlainHttpAwayFromLoopbackIsRefused) {
    HttpRoute away;
    away.redirectTo = "http://192.0.2.1/yt-dlp/yt-dlp/releases/latest/download/yt-dlp_linux";
    m_service.answerAsset(YtdlpChannel::stable(), away);

    EXPECT_THROW(runUpdate(), NetworkError);
    EXPECT_FALSE(fs::exists(target()));
    EXPECT_TRUE(stagingFolders().empty());
}

// --- Checksum ----------------------------------------------------------------------------------

struct ChecksumCase {
    const char* name;
    int status;
    std::string list; // "SUM" stands for the asset's true digest
    Kind expected;
    const char* text;               // nullptr: the download is proven, runs and is installed
    const char* signer = "release"; // the key that signs the list, "" for no signature
    const char* signedSuffix = "";  // signed was the list with this after it: it changed since
    bool seam = true;               // false: the trusted key is the package's own keyring, where only yt-dlp's counts
};

void PrintTo(const ChecksumCase& c, std::ostream* out) {
    *out << c.name;
}

class ChecksumTest : public UpdateEngineTest, public ::testing::WithParamInterface<ChecksumCase> {};

TEST_P(ChecksumTest, OnlyASignedListThatNamesTheDownloadLetsItRun) {
    const fs::path canary = Sandbox::makeTempFolder("canary") / "canary";
    writeFile(canary, "");
    const std::string asset = "#!/bin/sh\nrm '" + canary.string() + "'\necho 2025.02.01\n";
    m_service.publishAsset(YtdlpChannel::stable(), asset);
    std::string list = GetParam().list;
    if (const auto at = list.find("SUM"); at != std::string::npos)
        list.replace(at, 3, Sha256::ofText(asset));
    HttpRoute sums;
    sums.status = GetParam().status;
    sums.body = list;
    const ChecksumCase& c = GetParam();
    const std::string signature = *c.signer ? ReleaseSigner::shared().sign(list + c.signedSuffix, c.signer) : "";
    m_service.answerChecksums(YtdlpChannel::stable(), sums, HttpRoute::answer(*c.signer ? 200 : 404, signature));
    const fs::path packageKeyring = Sandbox::packageRoot() / "Contents/Resources/keys/yt-dlp-release-signing.gpg";
    fs::create_directories(packageKeyring.parent_path());
    fs::copy_file(ReleaseSigner::shared().keyring(), packageKeyring, fs::copy_options::overwrite_existing);
    const ScopedEnv seam("TALLOWIN_RELEASES_KEYRING", c.seam ? std::optional(packageKeyring.string()) : std::nullopt);
    placeCopy(target(), "2025.01.20", "installed-before");

    if (!c.text) {
        EXPECT_EQ(runUpdate(), YtdlpUpdateOutcome::updated("2025.02.01"));
        EXPECT_FALSE(fs::exists(canary));
        return;
    }
    const YtdlpUpdateError error = expectUpdateError();

    EXPECT_EQ(error.kind(), GetParam().expected);
    EXPECT_STREQ(error.what(), GetParam().text);
    EXPECT_TRUE(fs::exists(canary));
    EXPECT_EQ(markOf(target()), "installed-before");
    EXPECT_TRUE(stagingFolders().empty());
}

const std::string otherSum(64, 'c');
const std::string asset = YtdlpChannel::assetName();
const char* const notSigned = "The release's checksum list is not signed by yt-dlp's release key.";

INSTANTIATE_TEST_SUITE_P(
    Lists,
    ChecksumTest,
    ::testing::Values(
        ChecksumCase{"differentSum",
                     200,
                     otherSum + "  " + asset + "\nSUM  yt-dlp_linux_armv7l\n",
                     Kind::checksumMismatch,
                     "The downloaded yt-dlp does not match the checksum that the release publishes."},
        ChecksumCase{
            "noList", 404, "Not Found", Kind::checksumMissing, "The release publishes no checksum for yt-dlp."},
        ChecksumCase{"noLineForOurAsset",
                     200,
                     "SUM  yt-dlp_linux_armv7l\nSUM  " + asset + ".zip\n",
                     Kind::checksumMissing,
                     "The release publishes no checksum for yt-dlp."},
        // clang-format off
        ChecksumCase{"ourAssetTwiceWithDifferentSums", 200, "SUM  " + asset + "\n" + otherSum + " *" + asset + "\n",
                     Kind::checksumAmbiguous, "The release publishes two different checksums for the downloaded yt-dlp."},
        ChecksumCase{"signedByTheTrustedKey", 200, "SUM  " + asset + "\n", {}, nullptr},
        ChecksumCase{"unsigned", 200, "SUM  " + asset + "\n", Kind::notSigned, notSigned, ""},
        ChecksumCase{"signedByAnotherKey", 200, "SUM  " + asset + "\n", Kind::notSigned, notSigned, "other"},
        ChecksumCase{"changedAfterSigning", 200, "SUM  " + asset + "\n", Kind::notSigned, notSigned, "release", "x"},
        ChecksumCase{"anyKeyButYtdlpsInThePackage", 200, "SUM  " + asset + "\n", Kind::notSigned, notSigned, "release", "", false}),
    // clang-format on
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(UpdateEngineTest, ChecksumLineMayUseBinaryMarkAndUpperCase) {
    const std::string script = fakeYtdlp("2025.02.01");
    m_service.publishAsset(YtdlpChannel::stable(), script);
    std::string sum = Sha256::ofText(script);
    for (char& c : sum)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    HttpRoute sums;
    sums.body = sum + " *" + YtdlpChannel::assetName() + "\r\n";
    m_service.answerChecksums(YtdlpChannel::stable(), sums);

    EXPECT_EQ(runUpdate(), YtdlpUpdateOutcome::updated("2025.02.01"));
}

// --- The downloaded file's own check -----------------------------------------------------------

struct RunCase {
    const char* name;
    std::string asset;
    Kind expected;
    std::optional<std::string> payload; // absent: any non-empty reason
};

void PrintTo(const RunCase& c, std::ostream* out) {
    *out << c.name;
}

class DownloadedFileTest : public UpdateEngineTest, public ::testing::WithParamInterface<RunCase> {};

TEST_P(DownloadedFileTest, IsRejectedBeforeAnythingIsInstalled) {
    m_service.publishAsset(YtdlpChannel::stable(), GetParam().asset);
    placeCopy(target(), "2025.01.20", "installed-before");

    const YtdlpUpdateError error = expectUpdateError();

    EXPECT_EQ(error.kind(), GetParam().expected);
    if (GetParam().payload) {
        EXPECT_EQ(error.payload(), *GetParam().payload);
    } else {
        EXPECT_FALSE(error.payload().empty());
    }
    const std::string prefix = GetParam().expected == Kind::wontRun
                                   ? "The downloaded yt-dlp would not run: "
                                   : "The downloaded yt-dlp did not report a version (got \u201C";
    EXPECT_EQ(std::string(error.what()).rfind(prefix + error.payload(), 0), 0u) << error.what();
    EXPECT_EQ(markOf(target()), "installed-before");
    EXPECT_FALSE(fs::exists(backup()));
    EXPECT_FALSE(reported(YtdlpUpdatePhase::Kind::installing));
    EXPECT_TRUE(stagingFolders().empty());
}

std::string htmlPage() {
    std::string page = "<!DOCTYPE html>\n<html lang=\"en\"><head><title>Rate limit exceeded</title></head>\n<body>";
    for (int i = 0; i < 40; ++i)
        page += "<p>Too many requests.</p>";
    return page + "</body></html>";
}

std::string accented(int count) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += "e\u0301"; // two code points, three bytes
    return text;
}

INSTANTIATE_TEST_SUITE_P(
    Files,
    DownloadedFileTest,
    ::testing::Values(RunCase{"exitsWithTwoLinesSecondBlank",
                              "#!/bin/sh\necho 'no Python here' >&2\necho '   ' >&2\nexit 1\n",
                              Kind::wontRun,
                              "no Python here"},
                      RunCase{"exitsWithNothingOnStderr", "#!/bin/sh\nexit 1\n", Kind::wontRun, "exit status 1"},
                      RunCase{"printsAnHtmlPage",
                              "#!/bin/sh\ncat <<'PAGE'\n" + htmlPage() + "\nPAGE\n",
                              Kind::unexpectedOutput,
                              htmlPage().substr(0, 80)},
                      RunCase{"cutsByCodePointsNotBytes",
                              "#!/bin/sh\necho '" + accented(100) + "'\n",
                              Kind::unexpectedOutput,
                              accented(40)},
                      RunCase{"printsNothing", "#!/bin/sh\nexit 0\n", Kind::unexpectedOutput, ""},
                      RunCase{"emptyFile", "", Kind::wontRun, std::nullopt},
                      RunCase{"directoryListing",
                              "<html><body><h1>Index of /</h1><a href=\"yt-dlp\">yt-dlp</a></body></html>\n",
                              Kind::wontRun,
                              std::nullopt}),
    [](const auto& test) { return std::string(test.param.name); });

// --- Discard or install ------------------------------------------------------------------------

struct InstallCase {
    const char* name;
    std::optional<std::string> shipped;
    std::optional<std::string> updatedBefore; // the updated copy before the run, marked "installed-before"
    bool backupBefore;                        // a "yt-dlp.previous" marked "backup-before"
    std::string download;
    YtdlpUpdateOutcome outcome;
    std::optional<std::string> targetAfter; // mark of "yt-dlp" afterwards
    std::optional<std::string> backupAfter;
};

void PrintTo(const InstallCase& c, std::ostream* out) {
    *out << c.name;
}

class InstallTest : public UpdateEngineTest, public ::testing::WithParamInterface<InstallCase> {};

TEST_P(InstallTest, ComparesWithTheShippedCopyOnlyAndKeepsABackup) {
    const InstallCase& c = GetParam();
    setShipped(c.shipped);
    if (c.updatedBefore)
        placeCopy(target(), *c.updatedBefore, "installed-before");
    if (c.backupBefore)
        placeCopy(backup(), "2024.06.01", "backup-before");
    m_service.answerTag(YtdlpChannel::stable(), c.download);
    m_service.publishAsset(YtdlpChannel::stable(), fakeYtdlp(c.download));

    EXPECT_EQ(runUpdate(), c.outcome);

    EXPECT_EQ(markOf(target()), c.targetAfter);
    EXPECT_EQ(markOf(backup()), c.backupAfter);
    EXPECT_TRUE(stagingFolders().empty());
    const YtdlpStatus status = YtdlpResolver::shared().status();
    if (c.targetAfter) {
        EXPECT_EQ(fs::status(target()).permissions() & fs::perms::all, fs::perms(0755));
        EXPECT_EQ(status.updatedVersion, c.download);
        EXPECT_TRUE(m_log.contains("Installed yt-dlp " + c.download + " at " + target().string()));
    } else {
        EXPECT_EQ(status.updatedVersion, std::nullopt);
        EXPECT_EQ(status.active.source, YtdlpInstallation::Source::bundled);
        EXPECT_TRUE(m_log.contains("Downloaded yt-dlp " + c.download + " is not newer than bundled " + *c.shipped +
                                   "; keeping the bundled copy"));
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Copies,
    InstallTest,
    ::testing::Values(
        // name, shipped, updated before, backup before, download, outcome, "yt-dlp" after, backup after
        InstallCase{"sameAsShippedDiscardsEverything", "2025.01.15", "2025.02.01", true, "2025.01.15",
                    YtdlpUpdateOutcome::alreadyCurrent("2025.01.15"), std::nullopt, std::nullopt},
        InstallCase{"olderThanShippedDiscards", "2025.01.15", std::nullopt, false, "2025.01.10",
                    YtdlpUpdateOutcome::alreadyCurrent("2025.01.10"), std::nullopt, std::nullopt},
        InstallCase{"shippedMissingInstallsAnyVersion", std::nullopt, std::nullopt, false, "2024.01.01",
                    YtdlpUpdateOutcome::updated("2024.01.01"), "downloaded", std::nullopt},
        InstallCase{"firstInstall", "2025.01.15", std::nullopt, false, "2025.02.01",
                    YtdlpUpdateOutcome::updated("2025.02.01"), "downloaded", std::nullopt},
        InstallCase{"reinstallOfTheActiveVersion", "2025.01.15", "2025.02.01", true, "2025.02.01",
                    YtdlpUpdateOutcome::alreadyCurrent("2025.02.01"), "downloaded", "installed-before"},
        InstallCase{"olderStableOverNewerUpdatedCopy", "2025.01.15", "2025.02.01", false, "2025.01.20",
                    YtdlpUpdateOutcome::updated("2025.01.20"), "downloaded", "installed-before"}),
    [](const auto& test) { return std::string(test.param.name); });
// clang-format on

TEST_F(UpdateEngineTest, InstalledFileReportingAnotherVersionIsReverted) {
    placeCopy(target(), "2025.02.01", "installed-before");
    // Reports one version from the staging folder and another once installed.
    m_service.publishAsset(YtdlpChannel::stable(),
                           "#!/bin/sh\ncase \"$0\" in */staging-*) echo 2025.03.01 ;; *) echo 2025.03.02 ;; esac\n");

    const YtdlpUpdateError error = expectUpdateError();

    EXPECT_EQ(error.kind(), Kind::unexpectedOutput);
    EXPECT_STREQ(error.what(), "The downloaded yt-dlp did not report a version (got \u201C2025.03.02\u201D).");
    EXPECT_EQ(markOf(target()), "installed-before");
    EXPECT_FALSE(fs::exists(backup()));
    EXPECT_EQ(m_phases.back(), YtdlpUpdatePhase::installing());
    bool loggedAtErrorLevel = false;
    for (const auto& line : m_log.lines())
        loggedAtErrorLevel |=
            line.level == "error" &&
            line.text == std::string("Installed yt-dlp failed verification, reverting: ") + error.what();
    EXPECT_TRUE(loggedAtErrorLevel);
    EXPECT_EQ(YtdlpResolver::shared().status().updatedVersion, "2025.02.01");
    EXPECT_TRUE(stagingFolders().empty());
}

TEST_F(UpdateEngineTest, FailedCheckOfAFirstInstallLeavesNoUpdatedCopy) {
    m_service.publishAsset(
        YtdlpChannel::stable(),
        "#!/bin/sh\ncase \"$0\" in */staging-*) echo 2025.03.01 ;; *) echo 'Traceback' >&2; exit 2 ;; esac\n");

    const YtdlpUpdateError error = expectUpdateError();

    EXPECT_EQ(error.kind(), Kind::wontRun);
    EXPECT_EQ(error.payload(), "Traceback");
    EXPECT_FALSE(fs::exists(target()));
    EXPECT_EQ(YtdlpResolver::shared().status().active.source, YtdlpInstallation::Source::bundled);
}

// --- Cancellation ------------------------------------------------------------------------------

TEST_F(UpdateEngineTest, StopDuringTheDownloadCancelsTheTransferAndCleansUp) {
    placeCopy(target(), "2025.01.20", "installed-before");
    HttpRoute stalls;
    stalls.stallAfterBytes = 64 * 1024;
    m_service.publishAsset(YtdlpChannel::stable(), fakeYtdlp("2025.02.01") + std::string(512 * 1024, '#'), stalls);
    std::stop_source stop;

    EXPECT_THROW(runUpdate(stop.get_token(),
                           [&](const YtdlpUpdatePhase& phase) {
                               if (phase.kind == YtdlpUpdatePhase::Kind::downloading && phase.fraction > 0)
                                   stop.request_stop();
                           }),
                 OperationCancelled);

    EXPECT_TRUE(stagingFolders().empty());
    EXPECT_EQ(markOf(target()), "installed-before");
    EXPECT_FALSE(reported(YtdlpUpdatePhase::Kind::verifying));
}

TEST_F(UpdateEngineTest, StopBeforeTheDownloadNeverFetchesTheAsset) {
    m_service.publishAsset(YtdlpChannel::stable(), fakeYtdlp("2025.02.01"));
    std::stop_source stop;
    stop.request_stop();

    EXPECT_THROW(runUpdate(stop.get_token()), OperationCancelled);

    EXPECT_FALSE(m_service.wasRequested(ReleaseService::assetPath(YtdlpChannel::stable())));
    EXPECT_TRUE(stagingFolders().empty());
}

// --- Checks that do not end -------------------------------------------------------------------

// An asset that answers --version one way from its staging folder and another once installed.
std::string stagedAndInstalled(const std::string& staged, const std::string& installed) {
    return "#!/bin/sh\ncase \"$0\" in */staging-*) " + staged + " ;; *) " + installed + " ;; esac\n";
}

// Polls (at most `limit`) until the condition holds.
bool waitUntil(const std::function<bool()>& condition, std::chrono::seconds limit = std::chrono::seconds(60)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

struct SilentCase {
    const char* name;
    std::string asset;
    std::chrono::milliseconds limit;
    const char* payload;
    bool installingReported;
};

void PrintTo(const SilentCase& c, std::ostream* out) {
    *out << c.name;
}

class SilentCheckTest : public UpdateEngineTest, public ::testing::WithParamInterface<SilentCase> {};

// "sleep" ends on the runner's SIGTERM, so these runs end once the limit has passed.
TEST_P(SilentCheckTest, FileThatPrintsNothingWontRunAndLeavesTheInstalledCopy) {
    const SilentCase& c = GetParam();
    m_service.publishAsset(YtdlpChannel::stable(), c.asset);
    placeCopy(target(), "2025.01.20", "installed-before");

    try {
        runUpdate({}, {}, c.limit);
        FAIL() << "the update succeeded";
    } catch (const YtdlpUpdateError& error) {
        EXPECT_EQ(error.kind(), Kind::wontRun);
        EXPECT_EQ(error.payload(), c.payload);
        EXPECT_EQ(std::string(error.what()), std::string("The downloaded yt-dlp would not run: ") + c.payload);
    }

    EXPECT_EQ(markOf(target()), "installed-before");
    EXPECT_EQ(reported(YtdlpUpdatePhase::Kind::installing), c.installingReported);
    EXPECT_TRUE(stagingFolders().empty());
    EXPECT_EQ(YtdlpResolver::shared().status().updatedVersion, "2025.01.20");
}

INSTANTIATE_TEST_SUITE_P(Checks,
                         SilentCheckTest,
                         ::testing::Values(SilentCase{"stagedFile",
                                                      "#!/bin/sh\nexec sleep 60\n",
                                                      std::chrono::milliseconds(1500),
                                                      "it printed nothing for 1.5 seconds",
                                                      false},
                                           SilentCase{"installedFile",
                                                      stagedAndInstalled("echo 2025.03.01", "exec sleep 60"),
                                                      std::chrono::milliseconds(3000),
                                                      "it printed nothing for 3 seconds",
                                                      true}),
                         [](const auto& test) { return std::string(test.param.name); });

// A stop is honoured up to the staged file's check; the check of the installed copy comes after
// the last cancellation point, so the install it proves is finished, not abandoned.
TEST_F(UpdateEngineTest, AStopDuringTheStagedCheckCancelsAndOneDuringTheInstalledCheckDoesNot) {
    for (const bool duringStagedCheck : {true, false}) {
        const fs::path started = Sandbox::makeTempFolder("check") / "started";
        const std::string slow = "touch '" + started.string() + "'; sleep 1; echo 2025.03.01";
        m_service.publishAsset(YtdlpChannel::stable(),
                               duringStagedCheck ? stagedAndInstalled(slow, "echo 2025.03.01")
                                                 : stagedAndInstalled("echo 2025.03.01", slow));
        placeCopy(target(), "2025.01.20", "installed-before");
        std::stop_source stop;
        std::jthread stopper([&](std::stop_token quit) {
            if (waitUntil([&] { return quit.stop_requested() || fs::exists(started); }))
                stop.request_stop();
        });

        if (duringStagedCheck) {
            EXPECT_THROW(runUpdate(stop.get_token()), OperationCancelled);
            EXPECT_EQ(markOf(target()), "installed-before");
            EXPECT_FALSE(reported(YtdlpUpdatePhase::Kind::installing));
        } else {
            EXPECT_EQ(runUpdate(stop.get_token()), YtdlpUpdateOutcome::updated("2025.03.01"));
            EXPECT_EQ(YtdlpResolver::shared().status().updatedVersion, "2025.03.01");
        }
        EXPECT_TRUE(fs::exists(started)) << "the check never ran";
        EXPECT_TRUE(stagingFolders().empty());
    }
}

// --- Runs that overlap ---------------------------------------------------------------------------

TEST_F(UpdateEngineTest, FoldersOfDeadRunsAreSweptButNotTheRunsOwn) {
    for (const char* name : {"staging-11111111-2222-3333-4444-555555555555", "staging-"}) {
        fs::create_directories(support() / name / "inner");
        writeFile(support() / name / "yt-dlp", "partial");
    }
    writeFile(support() / "notes-staging-kept", "not ours to remove");
    m_service.publishAsset(YtdlpChannel::stable(), fakeYtdlp("2025.02.01"));
    std::vector<fs::path> duringVerifying;

    EXPECT_EQ(runUpdate({},
                        [&](const YtdlpUpdatePhase& phase) {
                            if (phase.kind == YtdlpUpdatePhase::Kind::verifying)
                                duringVerifying = stagingFolders();
                        }),
              YtdlpUpdateOutcome::updated("2025.02.01"));

    ASSERT_EQ(duringVerifying.size(), 1u);
    EXPECT_EQ(duringVerifying[0].filename().string().size(), std::string("staging-").size() + 36);
    EXPECT_TRUE(stagingFolders().empty());
    EXPECT_EQ(readFile(support() / "notes-staging-kept"), "not ours to remove");
    EXPECT_EQ(markOf(target()), "downloaded");
}

TEST_F(UpdateEngineTest, RunWaitsForTheLockCancellablyAndTouchesNothingMeanwhile) {
    fs::create_directories(support());
    m_service.publishAsset(YtdlpChannel::stable(), fakeYtdlp("2025.02.01"));
    const fs::path leftover = support() / "staging-held-by-the-lock-holder";
    fs::create_directories(leftover);
    std::optional<YtdlpUpdateLock> held;
    held.emplace(support() / YtdlpUpdateEngine::lockFileName, nullptr, std::stop_token{});
    std::stop_source stop;

    std::jthread waiter([&] { EXPECT_THROW(runUpdate(stop.get_token()), OperationCancelled); });
    ASSERT_TRUE(waitUntil([&] {
        std::lock_guard lock(m_phasesMutex);
        return !m_phases.empty();
    }));
    stop.request_stop();
    waiter.join();

    EXPECT_EQ(m_phases, std::vector{YtdlpUpdatePhase::waiting()});
    EXPECT_TRUE(fs::exists(leftover)) << "swept while another run held the lock";
    EXPECT_FALSE(m_service.wasRequested(ReleaseService::apiPath(YtdlpChannel::stable())));

    // Once the holder lets go, a run goes ahead at once, and sweeps.
    held.reset();
    m_phases.clear();
    EXPECT_EQ(runUpdate(), YtdlpUpdateOutcome::updated("2025.02.01"));
    EXPECT_EQ(m_phases.front(), YtdlpUpdatePhase::downloading(0));
    EXPECT_FALSE(fs::exists(leftover));
}

// Two runs on two threads, the second started while the first holds the lock, and a newer
// release published on the other channel while the second waits.
TEST_F(UpdateEngineTest, OverlappingRunsTakeTurnsAndTheLaterOneWins) {
    placeCopy(target(), "2025.01.20", "installed-before");
    HttpRoute failing;
    failing.status = 500;
    m_service.answerRelease(YtdlpChannel::nightly(), failing);
    m_service.publishAsset(YtdlpChannel::stable(), fakeYtdlp("2025.02.01", "first"));

    std::mutex mutex;
    std::condition_variable changed;
    std::vector<YtdlpUpdatePhase> secondPhases;
    std::optional<YtdlpUpdateOutcome> secondOutcome;
    std::vector<fs::path> firstStagingWhileSecondWaits;
    std::jthread second;
    const auto firstOutcome = runUpdate({}, [&](const YtdlpUpdatePhase& phase) {
        if (phase.kind != YtdlpUpdatePhase::Kind::installing)
            return;
        second = std::jthread([&] {
            const YtdlpUpdateOutcome outcome = YtdlpUpdateEngine::update([&](YtdlpUpdatePhase reported) {
                std::lock_guard lock(mutex);
                secondPhases.push_back(reported);
                changed.notify_all();
            });
            std::lock_guard lock(mutex);
            secondOutcome = outcome;
        });
        std::unique_lock lock(mutex);
        ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(60), [&] { return !secondPhases.empty(); }));
        firstStagingWhileSecondWaits = stagingFolders();
        m_service.answerTag(YtdlpChannel::nightly(), "2025.03.01.120000");
        m_service.publishAsset(YtdlpChannel::nightly(), fakeYtdlp("2025.03.01.120000", "second"));
    });
    second.join();

    EXPECT_EQ(firstOutcome, YtdlpUpdateOutcome::updated("2025.02.01"));
    EXPECT_FALSE(reported(YtdlpUpdatePhase::Kind::waiting));
    EXPECT_EQ(firstStagingWhileSecondWaits.size(), 1u) << "the waiting run swept the live run's folder";
    EXPECT_EQ(secondOutcome, YtdlpUpdateOutcome::updated("2025.03.01.120000"));
    ASSERT_GE(secondPhases.size(), 2u);
    EXPECT_EQ(secondPhases[0], YtdlpUpdatePhase::waiting());
    EXPECT_EQ(secondPhases[1], YtdlpUpdatePhase::downloading(0));

    EXPECT_EQ(markOf(target()), "second");
    EXPECT_EQ(markOf(backup()), "first");
    EXPECT_EQ(Text::trim(ToolProcess::run(target(), {"--version"}).standardOutput), "2025.03.01.120000");
    EXPECT_EQ(Text::trim(ToolProcess::run(backup(), {"--version"}).standardOutput), "2025.02.01");
    const YtdlpStatus status = YtdlpResolver::shared().status();
    EXPECT_EQ(status.active.source, YtdlpInstallation::Source::updated);
    EXPECT_EQ(status.active.version, "2025.03.01.120000");
    EXPECT_TRUE(stagingFolders().empty());
}

// --- The support folder ------------------------------------------------------------------------

TEST_F(UpdateEngineTest, UpdatedCopyThatIsADirectoryFailsClearlyAndStaysAsItWas) {
    fs::create_directories(target() / "inside");
    m_service.publishAsset(YtdlpChannel::stable(), fakeYtdlp("2025.02.01"));

    try {
        runUpdate();
        FAIL() << "installed over a directory";
    } catch (const fs::filesystem_error& error) {
        EXPECT_EQ(error.code(), std::errc::is_a_directory);
        EXPECT_EQ(error.path1(), target());
    }
    EXPECT_TRUE(fs::is_directory(target() / "inside"));
    EXPECT_TRUE(stagingFolders().empty());
    EXPECT_EQ(YtdlpResolver::shared().status().active.source, YtdlpInstallation::Source::bundled);
}

TEST_F(UpdateEngineTest, SupportFolderThatCannotBeCreatedFailsWithTheFileSystemError) {
    fs::create_directories(support().parent_path());
    writeFile(support(), "not a folder");
    m_service.publishAsset(YtdlpChannel::stable(), fakeYtdlp("2025.02.01"));

    EXPECT_THROW(runUpdate(), fs::filesystem_error);
    EXPECT_EQ(readFile(support()), "not a folder");
    fs::remove(support());
}

} // namespace
