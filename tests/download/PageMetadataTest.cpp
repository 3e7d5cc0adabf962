#include "download/PageMetadata.h"

#include <gtest/gtest.h>

#include <ostream>

namespace {

struct ParseRow {
    const char* name;
    std::string text;
    std::optional<PageMetadata> expected;
};

inline void PrintTo(const ParseRow& row, std::ostream* out) {
    *out << row.name;
}

class PageParse : public testing::TestWithParam<ParseRow> {};

} // namespace

TEST_P(PageParse, TakesTheLastObjectLine) {
    EXPECT_EQ(PageMetadata::parse(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lines,
    PageParse,
    testing::Values(
        ParseRow{"everyField",
                 R"({"title": "Caf\u00e9 talk", "uploader": "Ann", "upload_date": "20240501", "description": "a\nb",)"
                 R"( "webpage_url": "https://me:pw@a.test/w?v=1", "chapters": [{"start_time": 0, "end_time": 1.5,)"
                 R"( "title": "Hello"}, {"start_time": 2, "end_time": 2}, {"start_time": 2, "end_time": 3}]})",
                 PageMetadata{"Caf\u00e9 talk",
                              "Ann",
                              "2024-05-01",
                              "a\nb",
                              "https://a.test/w?v=1",
                              {{0, 1.5, "Hello"}, {2, 3, ""}}}},
        ParseRow{"oddTypesAndDatesStayEmpty",
                 R"({"title": 7, "upload_date": "2024", "chapters": "none", "webpage_url": "http://a@b.test/x@y"})",
                 PageMetadata{"", "", "", "", "http://b.test/x@y", {}}},
        ParseRow{"theLastObjectWins",
                 "{\"title\": \"old\"}\nnot json\n{\"title\": \"new\"}\n[1]\n",
                 PageMetadata{"new", "", "", "", "", {}}},
        ParseRow{"nothing", "", std::nullopt},
        ParseRow{"noObject", "null\n\"text\"\n", std::nullopt}),
    [](const testing::TestParamInfo<ParseRow>& test) { return std::string(test.param.name); });

TEST(PageMetadata, FfmetadataEscapesWhatFfmpegReadsAsSyntax) {
    const PageMetadata page{
        "a=b;c#d\\e", "", "", std::string("two\nlines\0end", 13), "https://a.test/", {{0, 1.2345, "x=y"}}};
    EXPECT_EQ(page.ffmetadata(),
              ";FFMETADATA1\ntitle=a\\=b\\;c\\#d\\\\e\ndescription=two\\\nlinesend\ncomment=https://a.test/\n"
              "[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=1235\ntitle=x\\=y\n");
}
