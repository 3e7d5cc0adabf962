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
// and h264/<pix_fmt>.mkv (H.264 of that pixel format with AAC, 320x180).
std::filesystem::path fixture(const std::string& name);

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
};
Streams streamsOf(const std::filesystem::path& file);

} // namespace MediaFixtures
