#include "download/PageMetadata.h"

#include <gtest/gtest.h>

// What yt-dlp's line becomes; the escapes for ffmpeg go through the real ffmpeg in
// Mp4ConversionReal.ThePagesTagsAndChaptersGoIntoTheMp4.
TEST(PageMetadata, TakesTheLastObjectLine) {
    const std::pair<std::string, std::optional<PageMetadata>> rows[] = {
        {R"({"title": "Caf\u00e9 talk", "uploader": "Ann", "upload_date": "20240501", "description": "a\nb",)"
         R"( "webpage_url": "https://me:pw@a.test/w?v=1", "chapters": [{"start_time": 0, "end_time": 1.5,)"
         R"( "title": "Hello"}, {"start_time": 2, "end_time": 2}, {"start_time": 2, "end_time": 3}]})",
         PageMetadata{
             "Caf\u00e9 talk", "Ann", "2024-05-01", "a\nb", "https://a.test/w?v=1", {{0, 1.5, "Hello"}, {2, 3, ""}}}},
        {R"({"title": 7, "upload_date": "2024", "chapters": "none", "webpage_url": "http://a@b.test/x@y"})",
         PageMetadata{"", "", "", "", "http://b.test/x@y", {}}},
        {"{\"title\": \"old\"}\nnot json\n{\"title\": \"new\"}\n[1]\n", PageMetadata{"new", "", "", "", "", {}}},
        {"", std::nullopt},
        {"null\n\"text\"\n", std::nullopt},
    };
    for (const auto& [text, expected] : rows)
        EXPECT_EQ(PageMetadata::parse(text), expected) << text;
}
