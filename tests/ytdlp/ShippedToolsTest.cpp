#include "tools/BundledTools.h"
#include "ytdlp/YtdlpVersion.h"

#include <gtest/gtest.h>

#include <regex>

// The package's own tools, as shipped: each must start and report a real version.
TEST(ShippedTools, ReportRealVersions) {
    auto ytdlp = BundledTools::version(BundledTools::bundledYtdlp());
    ASSERT_TRUE(ytdlp);
    EXPECT_TRUE(YtdlpVersion::looksValid(*ytdlp)) << *ytdlp;

    for (const auto& tool : {BundledTools::ffmpeg(), BundledTools::ffprobe(), BundledTools::deno()}) {
        auto version = BundledTools::version(tool);
        ASSERT_TRUE(version) << tool;
        EXPECT_TRUE(std::regex_search(*version, std::regex("^[0-9]+\\.[0-9]+"))) << tool << ": " << *version;
    }
}
