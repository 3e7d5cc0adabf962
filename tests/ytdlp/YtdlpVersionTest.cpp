#include "ytdlp/YtdlpVersion.h"

#include <gtest/gtest.h>

struct CompareCase {
    const char* a;
    const char* b;
    int expected;
};

class VersionCompare : public testing::TestWithParam<CompareCase> {};

TEST_P(VersionCompare, OrdersAndIsAntisymmetric) {
    const auto& c = GetParam();
    EXPECT_EQ(YtdlpVersion::compare(c.a, c.b), c.expected) << c.a << " vs " << c.b;
    EXPECT_EQ(YtdlpVersion::compare(c.b, c.a), -c.expected) << c.b << " vs " << c.a;
}

INSTANTIATE_TEST_SUITE_P(Rules,
                         VersionCompare,
                         testing::Values(CompareCase{"2024.03.10", "2024.3.10", 0},
                                         CompareCase{"2024.03.10", "2024.03.10.0", 0},
                                         CompareCase{"2024.03.10.123456", "2024.03.10", 1},
                                         CompareCase{"2024.12.01", "2025.01.01", -1},
                                         CompareCase{"2024.03.10-dev", "2024.03.00", 0},
                                         CompareCase{"", "0.0.0", 0},
                                         CompareCase{"", "0.0.1", -1},
                                         CompareCase{" 2025.01.15\n", "2025.01.15", 0},
                                         CompareCase{"2024.-1.0", "2024.0.0", -1},
                                         CompareCase{"2024..03.10.", "2024.3.10", 0},
                                         CompareCase{"9223372036854775807.0.0", "9223372036854775806.0.0", 1},
                                         CompareCase{"-9223372036854775808.0.0", "0.0.0", -1},
                                         // out of range reads as 0, never wraps into a huge number
                                         CompareCase{"99999999999999999999.0.0", "1.0.0", -1},
                                         CompareCase{"2025.01.16.232519", "2025.01.15", 1}),
                         [](const auto& test) { return std::to_string(test.index); });

struct ValidityCase {
    const char* text;
    bool valid;
};

class VersionShape : public testing::TestWithParam<ValidityCase> {};

TEST_P(VersionShape, NeedsThreeStrictIntegerPieces) {
    EXPECT_EQ(YtdlpVersion::looksValid(GetParam().text), GetParam().valid) << "'" << GetParam().text << "'";
}

INSTANTIATE_TEST_SUITE_P(Rules,
                         VersionShape,
                         testing::Values(ValidityCase{"2024.03.10", true},
                                         ValidityCase{"2024.03.10.232505", true},
                                         ValidityCase{"2024.03", false},
                                         ValidityCase{"2024..03", false},
                                         ValidityCase{".2024.03.10.", true},
                                         ValidityCase{"x2024.03.10", false},
                                         ValidityCase{"+1.-2.3", true},
                                         ValidityCase{"12345678901234567890.1.1", false},
                                         ValidityCase{"9223372036854775807.1.1", true},
                                         ValidityCase{"-9223372036854775808.1.1", true},
                                         ValidityCase{"9223372036854775808.1.1", false},
                                         ValidityCase{" \t2024.03.10\r\n", true},
                                         ValidityCase{"2024.0 3.10", false},
                                         ValidityCase{"2024.+-3.10", false},
                                         ValidityCase{"2024.-.10", false},
                                         ValidityCase{"2024.03.10-dev", false},
                                         ValidityCase{"<html>", false},
                                         ValidityCase{"", false},
                                         ValidityCase{"2024.\xD9\xA3.10", false}), // a non-ASCII digit
                         [](const auto& test) { return std::to_string(test.index); });
