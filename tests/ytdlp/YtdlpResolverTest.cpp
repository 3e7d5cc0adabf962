#include "ytdlp/YtdlpResolver.h"

#include "tools/BundledTools.h"
#include "ytdlp/ResolvedVersionsFile.h"

#include "support/FakeTool.h"
#include "support/LogCapture.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

// A fake yt-dlp that reports `version` and counts its runs in a file beside the sandbox.
class ResolverTest : public testing::Test {
protected:
    void SetUp() override {
        fs::remove(BundledTools::bundledYtdlp());
        fs::remove(BundledTools::updatedYtdlp());
        fs::create_directories(BundledTools::supportDirectory());
        m_runs = Sandbox::makeTempFolder("runs") / "count";
        YtdlpResolver::shared().clearCache();
    }

    void install(const fs::path& path, const std::string& version) {
        writeFakeTool(path, "echo x >> '" + m_runs.string() + "'\necho '" + version + "'\n");
    }

    int runs() const {
        std::string text = readFile(m_runs);
        return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
    }

    fs::path m_runs;
};

using Source = YtdlpInstallation::Source;

} // namespace

TEST_F(ResolverTest, NoUpdatedCopyMeansTheShippedOne) {
    install(BundledTools::bundledYtdlp(), "2024.12.06");
    LogCapture log;
    YtdlpStatus status = YtdlpResolver::shared().status();
    EXPECT_EQ(status.bundledVersion, "2024.12.06");
    EXPECT_EQ(status.updatedVersion, std::nullopt);
    EXPECT_EQ(status.active, (YtdlpInstallation{BundledTools::bundledYtdlp(), "2024.12.06", Source::bundled}));
    EXPECT_TRUE(log.contains("Resolved bundled yt-dlp 2024.12.06 at " + BundledTools::bundledYtdlp().string() +
                             " (bundled 2024.12.06, updated none)"));
}

TEST_F(ResolverTest, TheUpdatedCopyIsActiveOnlyWhenStrictlyNewer) {
    struct Case {
        std::string updated;
        Source expected;
    };
    for (const Case& c : {Case{"2024.12.06", Source::bundled},
                          Case{"2025.02.01", Source::updated},
                          Case{"2024.11.30", Source::bundled},
                          Case{"2024.12.06.0", Source::bundled}}) {
        install(BundledTools::bundledYtdlp(), "2024.12.06");
        install(BundledTools::updatedYtdlp(), c.updated);
        YtdlpStatus status = YtdlpResolver::shared().status();
        EXPECT_EQ(status.active.source, c.expected) << c.updated;
        EXPECT_EQ(status.updatedVersion, c.updated);
        EXPECT_EQ(status.active.url,
                  c.expected == Source::updated ? BundledTools::updatedYtdlp() : BundledTools::bundledYtdlp());
    }
}

TEST_F(ResolverTest, MissingShippedCopyLeavesTheUpdatedOneWhateverItsVersion) {
    install(BundledTools::updatedYtdlp(), "1999.01.01");
    LogCapture log;
    YtdlpStatus status = YtdlpResolver::shared().status();
    EXPECT_EQ(status.active, (YtdlpInstallation{BundledTools::updatedYtdlp(), "1999.01.01", Source::updated}));
    EXPECT_EQ(status.bundledVersion, std::nullopt);
    EXPECT_TRUE(log.contains("Resolved updated yt-dlp 1999.01.01 at " + BundledTools::updatedYtdlp().string() +
                             " (bundled missing, updated 1999.01.01)"));
}

TEST_F(ResolverTest, BothMissingPointsAtTheShippedLocationWithoutVersion) {
    LogCapture log;
    YtdlpStatus status = YtdlpResolver::shared().status();
    EXPECT_EQ(status.active, (YtdlpInstallation{BundledTools::bundledYtdlp(), std::nullopt, Source::bundled}));
    EXPECT_TRUE(log.contains("Resolved bundled yt-dlp ? at " + BundledTools::bundledYtdlp().string() +
                             " (bundled missing, updated none)"));
}

TEST_F(ResolverTest, UnchangedFilesAreAnsweredFromTheCache) {
    install(BundledTools::bundledYtdlp(), "2024.12.06");
    install(BundledTools::updatedYtdlp(), "2025.02.01");
    YtdlpStatus first = YtdlpResolver::shared().status();
    EXPECT_EQ(runs(), 2);

    LogCapture log;
    EXPECT_EQ(YtdlpResolver::shared().status(), first);
    EXPECT_EQ(runs(), 2) << "a cache hit started a process";
    EXPECT_TRUE(log.lines().empty());

    install(BundledTools::updatedYtdlp(), "2025.03.01"); // a changed file is run again
    EXPECT_EQ(YtdlpResolver::shared().status().active.version, "2025.03.01");
    EXPECT_EQ(runs(), 4);

    YtdlpResolver::shared().clearCache();
    YtdlpResolver::shared().status();
    EXPECT_EQ(runs(), 6);

    fs::remove(BundledTools::updatedYtdlp()); // a vanished file too
    EXPECT_EQ(YtdlpResolver::shared().status().active.source, Source::bundled);
    EXPECT_EQ(runs(), 7);
}

// What a fresh process sees: the in-memory answer is gone, the stored one may be there.
class StoredAnswerTest : public ResolverTest {
protected:
    void forgetInMemory() {
        // clearCache() also removes the stored file, so keep a copy of it across the call.
        const std::string stored = readFile(ResolvedVersionsFile::location());
        YtdlpResolver::shared().clearCache();
        if (!stored.empty())
            writeFile(ResolvedVersionsFile::location(), stored);
    }
};

TEST_F(StoredAnswerTest, AFreshProcessTrustsTheStoredAnswerOnlyForTheSameFiles) {
    install(BundledTools::bundledYtdlp(), "2024.12.06");
    install(BundledTools::updatedYtdlp(), "2025.02.01");
    const YtdlpStatus first = YtdlpResolver::shared().status();
    ASSERT_EQ(runs(), 2);

    forgetInMemory();
    LogCapture log;
    EXPECT_EQ(YtdlpResolver::shared().status(), first);
    EXPECT_EQ(runs(), 2) << "a stored answer for unchanged files started a process";
    EXPECT_TRUE(log.lines().empty());

    // Either copy replaced, even by a file of the same size and modification time, is asked again.
    for (const fs::path& copy : {BundledTools::updatedYtdlp(), BundledTools::bundledYtdlp()}) {
        const int before = runs();
        const auto time = fs::last_write_time(copy);
        const fs::path replacement = copy.string() + ".new";
        fs::copy_file(copy, replacement);
        fs::last_write_time(replacement, time);
        fs::rename(replacement, copy);
        forgetInMemory();
        EXPECT_EQ(YtdlpResolver::shared().status(), first);
        EXPECT_EQ(runs(), before + 2) << copy;
    }
}

TEST_F(StoredAnswerTest, ABadStoredFileIsIgnoredAndReplaced) {
    install(BundledTools::bundledYtdlp(), "2024.12.06");
    const YtdlpStatus expected = YtdlpResolver::shared().status();
    const std::string good = readFile(ResolvedVersionsFile::location());
    ASSERT_FALSE(good.empty());
    for (const std::string& bad : {std::string("{not json"),
                                   std::string("[]"),
                                   std::string(""),
                                   std::string(R"({"format":1,"key":["x","y"],"bundled":"9999.01.01","updated":null})"),
                                   std::string(R"({"format":1,"key":)") + "[]}"}) {
        YtdlpResolver::shared().clearCache();
        writeFile(ResolvedVersionsFile::location(), bad);
        const int before = runs();
        EXPECT_EQ(YtdlpResolver::shared().status(), expected) << bad;
        EXPECT_EQ(runs(), before + 1) << bad;
        EXPECT_EQ(readFile(ResolvedVersionsFile::location()), good) << "not rewritten after " << bad;
    }
}

TEST_F(StoredAnswerTest, AnUnwritableCacheFolderOnlyCostsTheLookup) {
    install(BundledTools::bundledYtdlp(), "2024.12.06");
    const fs::path folder = ResolvedVersionsFile::location().parent_path();
    fs::remove_all(folder);
    writeFile(folder, "a file where the folder should be");
    const YtdlpStatus status = YtdlpResolver::shared().status();
    EXPECT_EQ(status.bundledVersion, "2024.12.06");
    fs::remove(folder);
}
