#include "tools/ToolVersionStore.h"

#include "support/FakeTool.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

TEST(ToolVersionStore, AsksAToolOnceUntilItChangesAndNeverKeepsASilentAnswer) {
    const fs::path folder = Sandbox::makeTempFolder("store");
    const fs::path tool = folder / "ffmpeg";
    auto ask = [&] { return ToolVersionStore::version(folder / "cache/versions", tool, {}, std::chrono::seconds(30)); };
    // Each run leaves one more byte in the count file.
    auto install = [&](const std::string& printed) {
        writeFakeTool(tool, "printf x >> '" + (folder / "runs").string() + "'; " + printed + "\n");
    };
    auto runs = [&] { return fs::file_size(folder / "runs"); };
    install("echo 'ffmpeg version 5.1.9-0 Copyright'");
    EXPECT_EQ(ask(), "5.1.9");
    EXPECT_EQ(ask(), "5.1.9");
    EXPECT_EQ(runs(), 1U) << "a second start with the same tool ran it again";
    install("echo 'ffmpeg version 6.0 Copyright'");
    EXPECT_EQ(ask(), "6.0");
    EXPECT_EQ(runs(), 2U);
    install(":");
    EXPECT_EQ(ask(), std::nullopt);
    EXPECT_EQ(ask(), std::nullopt);
    EXPECT_EQ(runs(), 4U) << "a tool that gave no version was not asked again";
}
