#include "platform/Sha256.h"
#include "support/FakeTool.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>

namespace {

TEST(Sha256Test, MatchesThePublishedTestVectors) {
    EXPECT_EQ(Sha256::ofText(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Sha256::ofText("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST(Sha256Test, FileDigestEqualsTheDigestOfItsBytesAcrossReadPieces) {
    std::string bytes;
    for (int i = 0; i < 3 * 1024 * 1024 + 5; ++i)
        bytes += static_cast<char>(i * 31);
    const auto file = Sandbox::makeTempFolder("sha") / "data";
    writeFile(file, bytes);

    EXPECT_EQ(Sha256::ofFile(file), Sha256::ofText(bytes));
    EXPECT_THROW(Sha256::ofFile(file.parent_path() / "missing"), std::filesystem::filesystem_error);
}

} // namespace
