#include "platform/FileCopy.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <stop_token>

TEST(FileCopy, AStoppedCopyLeavesNothing) {
    const std::filesystem::path folder = Sandbox::makeTempFolder("stop");
    std::ofstream(folder / "a.mp4") << std::string(1024, 'a');
    std::stop_source stop;
    stop.request_stop();
    EXPECT_EQ(FileCopy::copyWhole(folder / "a.mp4", folder / "b.mp4", false, stop.get_token()),
              FileCopy::Result::stopped);
    EXPECT_FALSE(std::filesystem::exists(folder / "b.mp4"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);
}
