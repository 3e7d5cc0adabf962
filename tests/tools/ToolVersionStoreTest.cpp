#include "tools/ToolVersionStore.h"

#include "support/FakeTool.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

// How often the fake tool ran: one character per run in its count file.
std::size_t runsOf(const fs::path& count) {
    std::ifstream in(count);
    return std::string(std::istreambuf_iterator<char>(in), {}).size();
}

} // namespace

TEST(ToolVersionStore, AsksAToolOnceUntilItChangesAndNeverKeepsASilentAnswer) {
    const fs::path folder = Sandbox::makeTempFolder("store");
    const fs::path store = folder / "cache/tool-versions";
    const fs::path tool = folder / "ffmpeg";
    const fs::path count = folder / "runs";
    auto ask = [&] { return ToolVersionStore::version(store, tool, {}, std::chrono::seconds(30)); };
    writeFakeTool(tool, "printf x >> '" + count.string() + "'; echo 'ffmpeg version 5.1.9-0 Copyright'\n");
    EXPECT_EQ(ask(), "5.1.9");
    EXPECT_EQ(ask(), "5.1.9");
    EXPECT_EQ(runsOf(count), 1U) << "a second start with the same tool ran it again";
    writeFakeTool(tool, "printf x >> '" + count.string() + "'; echo 'ffmpeg version 6.0 Copyright'\n");
    EXPECT_EQ(ask(), "6.0");
    EXPECT_EQ(runsOf(count), 2U);
    writeFakeTool(tool, "printf x >> '" + count.string() + "'\n");
    EXPECT_EQ(ask(), std::nullopt);
    EXPECT_EQ(ask(), std::nullopt);
    EXPECT_EQ(runsOf(count), 4U) << "a tool that gave no version was not asked again";
}
