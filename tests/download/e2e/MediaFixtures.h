#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// Short media that the real ffmpeg makes once per test executable, in the sandbox: never
// committed, never fetched.
namespace MediaFixtures {

// The folder that holds the fixtures (the HTTP root of the end-to-end tests).
const std::filesystem::path& folder();

// The fixture's path, made on first use (blocks while ffmpeg runs): clip.webm (VP9/Opus),
// clip.mkv and clip.mp4 (H.264/AAC), vp9.mp4 (VP9/AAC), hevc.mkv (HEVC/Opus), audio.m4a (AAC, no
// video), all 320x180 and two seconds long, and dash/manifest.mpd with an H.264 320x180, a VP9
// 640x360 and an AAC rendition, hls/index.m3u8 (H.264/AAC, three one-second segments), and raw.h264
// (an elementary H.264 stream without a duration); odd/vp9.webm and odd/av1.webm (641x361, Opus),
// and h264/<pix_fmt>.mkv (H.264 of that pixel format with AAC, 320x180); hev1.mp4 (HEVC tagged
// hev1, AAC), hdr/pq.webm (VP9 profile 2, PQ) and hdr/hlg.webm (AV1 10-bit, HLG), both BT.2020 with
// Opus, and hdr/manifest.mpd (VP9 SDR and VP9 profile 2 PQ, both 320x180, and AAC); talk/h264.mkv
// (H.264/AAC) and talk/vp9.mkv (VP9/Opus), each with two chapters.
std::filesystem::path fixture(const std::string& name);

// A web page with this title that offers the video at videoUrl, as sites describe it to search
// engines (a schema.org VideoObject), which yt-dlp reads.
std::string pageFor(const std::string& videoUrl, const std::string& title);

// Every fixture's name, in the order of the recipe table.
std::vector<std::string> names();

// Runs the shipped ffmpeg with these arguments (after "-hide_banner -loglevel error -y") and
// fails the calling test when it does not succeed.
void makeWithFfmpeg(const std::vector<std::string>& arguments);

// What the real ffprobe says about a file.
struct Streams {
    std::optional<std::string> video;
    std::optional<std::string> audio;
    int height = 0;    // of the first video stream
    std::string shape; // of the first video stream: "<profile> <pix_fmt> <width>x<height>"
    int videoCount = 0;
    std::string tag;      // codec_tag_string of the first video stream
    std::string transfer; // color_transfer of the first video stream; empty when unset
    std::string title;    // the file's title tag
    std::string comment;  // the file's comment tag
    std::string description;
    int chapters = 0;
};
Streams streamsOf(const std::filesystem::path& file);

} // namespace MediaFixtures
