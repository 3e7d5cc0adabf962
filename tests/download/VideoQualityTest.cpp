#include "download/VideoQuality.h"

#include "download/DownloadError.h"
#include "download/MediaType.h"

#include <gtest/gtest.h>

TEST(VideoQuality, RawValuesLabelsAndCapsInOrder) {
    std::vector<std::string> raws;
    std::vector<std::string> labels;
    std::vector<std::optional<int>> caps;
    for (VideoQuality quality : allVideoQualities) {
        raws.emplace_back(rawValue(quality));
        labels.emplace_back(label(quality));
        caps.push_back(maxHeight(quality));
        EXPECT_EQ(videoQualityFromRawValue(rawValue(quality)), quality);
    }
    EXPECT_EQ(raws, (std::vector<std::string>{"highest", "p2160", "p1080", "p720", "p480", "audioOnly"}));
    EXPECT_EQ(labels, (std::vector<std::string>{"Highest quality", "4K", "1080p", "720p", "480p", "Audio only"}));
    EXPECT_EQ(caps, (std::vector<std::optional<int>>{std::nullopt, 2160, 1080, 720, 480, std::nullopt}));
    for (const char* text : {"Highest", "P1080", "audioonly", "1080p", "4K", "", " highest", "highest "})
        EXPECT_FALSE(videoQualityFromRawValue(text).has_value()) << text;
}

TEST(DownloadError, TextsAndPayloads) {
    EXPECT_STREQ(DownloadError::toolMissing("deno").what(), "Tallowin is missing its bundled deno. Reinstall the app.");
    EXPECT_EQ(DownloadError::toolMissing("deno").payload(), "deno");
    EXPECT_STREQ(DownloadError::downloadFailed("").what(), "Download failed: ");
    EXPECT_STREQ(DownloadError::conversionFailed("x y").what(), "Converting to MP4 failed: x y");
    EXPECT_STREQ(DownloadError::noOutputFile().what(), "yt-dlp finished but did not produce a file.");
    EXPECT_EQ(DownloadError::noOutputFile().kind(), DownloadError::Kind::noOutputFile);
}

TEST(MediaType, FromTheExtension) {
    const std::pair<const char*, const char*> rows[] = {
        {"/w/a.mp4", "video/mp4"},
        {"/w/a.M4V", "video/x-m4v"},
        {"/w/a.m4a", "audio/mp4"},
        {"/w/a.webm", "video/webm"},
        {"/w/a.b.mkv", "video/x-matroska"},
        {"/w/a.mov", "video/quicktime"},
        {"/w/a.mp3", "audio/mpeg"},
        {"/w/a.opus", "audio/ogg"},
        {"/w/a.ogg", "audio/ogg"},
        {"/w/a.flac", "audio/flac"},
        {"/w/a.wav", "audio/wav"},
        {"/w/a.aac", "audio/aac"},
        {"/w/a.3gp", "video/*"},
        {"/w/clip", "video/*"},
        {"/w/.mp4", "video/*"},
        {"/w/a.mp4.part", "video/*"},
    };
    for (const auto& [file, type] : rows)
        EXPECT_EQ(MediaType::forPath(file), type) << file;
}
