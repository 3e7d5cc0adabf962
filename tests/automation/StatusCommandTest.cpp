#include "tools/BundledTools.h"

#include "support/CliRun.h"
#include "support/FakeTool.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace fs = std::filesystem;

namespace {

class StatusCommandTest : public testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"yt-dlp", "ffmpeg", "ffprobe", "deno"})
            fs::remove(Sandbox::helpers() / tool);
        fs::remove(BundledTools::updatedYtdlp());
    }
};

} // namespace

TEST_F(StatusCommandTest, PrintsEveryToolAndTheActiveCopy) {
    writeFakeTool(Sandbox::helpers() / "yt-dlp", "echo 2024.12.06\n");
    writeFakeTool(BundledTools::updatedYtdlp(), "echo 2025.02.01\n");
    writeFakeTool(Sandbox::helpers() / "ffmpeg", "echo 'ffmpeg version 5.1.6-0+deb12u1 Copyright'\n");
    writeFakeTool(Sandbox::helpers() / "deno", "echo 'deno 2.9.6 (stable)'\n");

    CliResult result = runCli({"status"});
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.out,
              "yt-dlp (active): 2025.02.01, updated, " + BundledTools::updatedYtdlp().string() + "\n" +
                  "yt-dlp bundled: 2024.12.06\n"
                  "yt-dlp updated: 2025.02.01\n"
                  "ffmpeg: 5.1.6\n"
                  "ffprobe: missing\n"
                  "deno: 2.9.6\n");
}

TEST_F(StatusCommandTest, JsonHasNullsForWhatIsMissingAndStillSucceeds) {
    CliResult result = runCli({"status", "--json"});
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    auto json = nlohmann::json::parse(result.out);
    EXPECT_EQ(json["active"]["version"], nullptr);
    EXPECT_EQ(json["active"]["source"], "bundled");
    EXPECT_EQ(json["active"]["path"], BundledTools::bundledYtdlp().string());
    for (const char* key : {"bundledVersion", "updatedVersion", "ffmpeg", "ffprobe", "deno"})
        EXPECT_EQ(json[key], nullptr) << key;
}
