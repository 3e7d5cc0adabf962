#include "MediaFixtures.h"

#include "support/MediaRecipes.h"

#include "support/Sandbox.h"
#include "tools/BundledTools.h"
#include "tools/ToolProcess.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <functional>
#include <mutex>

namespace fs = std::filesystem;

namespace MediaFixtures {

void makeWithFfmpeg(const std::vector<std::string>& arguments) {
    std::vector<std::string> all{"-hide_banner", "-loglevel", "error", "-y"};
    all.insert(all.end(), arguments.begin(), arguments.end());
    const auto result = ToolProcess::run(BundledTools::ffmpeg(), all);
    ASSERT_EQ(result.status, 0) << result.standardError;
}

namespace {

// Two seconds of test picture and tone, the given codecs, into the given file.
void makeClip(const fs::path& file, const std::vector<std::string>& codecs, const std::string& size = "320x180") {
    fs::create_directories(file.parent_path());
    std::vector<std::string> arguments{"-f",
                                       "lavfi",
                                       "-i",
                                       "testsrc2=rate=25:duration=2:size=" + size,
                                       "-f",
                                       "lavfi",
                                       "-i",
                                       "sine=frequency=440:duration=2"};
    arguments.insert(arguments.end(), codecs.begin(), codecs.end());
    arguments.push_back(file.string());
    makeWithFfmpeg(arguments);
}

const std::vector<std::string> h264{"-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p"};
const std::vector<std::string> vp9{"-c:v", "libvpx-vp9", "-deadline", "realtime", "-cpu-used", "8", "-b:v", "200k"};
const std::vector<std::string> av1{"-c:v", "libaom-av1", "-usage", "realtime", "-cpu-used", "8", "-b:v", "200k"};

std::vector<std::string> with(std::vector<std::string> video, const std::vector<std::string>& audio) {
    video.insert(video.end(), audio.begin(), audio.end());
    return video;
}

const std::vector<std::string> aac{"-c:a", "aac", "-b:a", "64k"};
const std::vector<std::string> opus{"-c:a", "libopus", "-b:a", "48k"};

// 10-bit BT.2020 with an HDR transfer (libvpx picks profile 2 for 10 bits).
std::vector<std::string> hdr(const std::string& transfer) {
    return {"-pix_fmt", "yuv420p10le", "-color_primaries", "bt2020", "-color_trc", transfer, "-colorspace", "bt2020nc"};
}

// Two seconds in Matroska with two chapters, "Hello" and "Questions".
void makeTalk(const fs::path& file, const std::vector<std::string>& codecs) {
    fs::create_directories(file.parent_path());
    const fs::path chapters = file.string() + ".chapters";
    std::ofstream(chapters) << ";FFMETADATA1\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=1000\ntitle=Hello\n"
                               "[CHAPTER]\nTIMEBASE=1/1000\nSTART=1000\nEND=2000\ntitle=Questions\n";
    // ffmpeg options stay beside their values.
    // clang-format off
    std::vector<std::string> arguments{"-f", "lavfi", "-i", "testsrc2=rate=25:duration=2:size=320x180",
                                       "-f", "lavfi", "-i", "sine=frequency=440:duration=2",
                                       "-i", chapters.string(), "-map", "0:v", "-map", "1:a", "-map_chapters", "2"};
    // clang-format on
    arguments.insert(arguments.end(), codecs.begin(), codecs.end());
    arguments.push_back(file.string());
    makeWithFfmpeg(arguments);
}

} // namespace

std::string pageFor(const std::string& videoUrl, const std::string& title) {
    return "<!doctype html><html><head><meta charset=\"utf-8\"><title>" + title +
           "</title><script type=\"application/ld+json\">{\"@context\": \"https://schema.org\", "
           "\"@type\": \"VideoObject\", \"name\": \"" +
           title + "\", \"contentUrl\": \"" + videoUrl + "\"}</script></head><body></body></html>\n";
}

namespace {

// One recipe per fixture: the table the fixtures' users (such as the probe comparison) walk.
struct Recipe {
    std::string name;
    std::function<void(const fs::path& file)> make;
};

const std::vector<Recipe>& recipes() {
    // ffmpeg options stay beside their values.
    // clang-format off
    static const std::vector<Recipe> table{
        {"clip.webm", [](const fs::path& file) { makeClip(file, with(vp9, opus)); }},
        {"clip.mkv", [](const fs::path& file) { makeClip(file, with(h264, aac)); }},
        {"clip.mp4", [](const fs::path& file) { makeClip(file, with(h264, aac)); }},
        {"vp9.mp4", [](const fs::path& file) { makeClip(file, with(vp9, aac)); }},
        {"hevc.mkv", [](const fs::path& file) {
             makeClip(file, with({"-c:v", "libx265", "-preset", "ultrafast", "-x265-params", "log-level=error"}, opus));
         }},
        // testsrc2 evens its size for 4:2:0; drawn in RGB, the picture stays 641x361.
        {"odd/vp9.webm", [](const fs::path& file) {
             makeClip(file, with(with(vp9, opus), {"-pix_fmt", "yuv420p"}), "641x361,format=rgb24");
         }},
        {"odd/av1.webm", [](const fs::path& file) {
             makeClip(file, with(with(av1, opus), {"-pix_fmt", "yuv420p"}), "641x361,format=rgb24");
         }},
        // h264/<pix_fmt>.mkv: libx264 takes the profile from the format.
        {"h264/yuv420p.mkv", [](const fs::path& file) { makeClip(file, with({"-c:v", "libx264", "-pix_fmt", "yuv420p"}, aac)); }},
        {"h264/yuv420p10le.mkv", [](const fs::path& file) { makeClip(file, with({"-c:v", "libx264", "-pix_fmt", "yuv420p10le"}, aac)); }},
        {"h264/yuv444p.mkv", [](const fs::path& file) { makeClip(file, with({"-c:v", "libx264", "-pix_fmt", "yuv444p"}, aac)); }},
        {"hev1.mp4", [](const fs::path& file) {
             makeClip(file, with({"-c:v", "libx265", "-preset", "ultrafast", "-x265-params", "log-level=error"}, aac));
         }},
        {"hdr/pq.webm", [](const fs::path& file) { makeClip(file, with(with(vp9, hdr("smpte2084")), opus)); }},
        {"hdr/hlg.webm", [](const fs::path& file) { makeClip(file, with(with(av1, hdr("arib-std-b67")), opus)); }},
        // Two renditions of one height: SDR and HDR, which yt-dlp tells apart by their codec strings.
        {"hdr/manifest.mpd", [](const fs::path& file) {
             fs::create_directories(file.parent_path());
             makeWithFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=320x180:rate=25:duration=3", "-f", "lavfi", "-i",
                             "sine=frequency=440:duration=3", "-map", "0:v", "-map", "0:v", "-map", "1:a",
                             "-c:v", "libvpx-vp9", "-deadline", "realtime", "-cpu-used", "8", "-b:v", "200k", "-g", "25",
                             "-pix_fmt:v:0", "yuv420p", "-pix_fmt:v:1", "yuv420p10le",
                             "-color_primaries:v:1", "bt2020", "-color_trc:v:1", "smpte2084", "-colorspace:v:1",
                             "bt2020nc", "-c:a", "aac", "-b:a", "64k", "-f", "dash", "-seg_duration", "1",
                             "-adaptation_sets", "id=0,streams=v id=1,streams=a", file.string()});
         }},
        {"talk/h264.mkv", [](const fs::path& file) { makeTalk(file, with(h264, aac)); }},
        {"talk/vp9.mkv", [](const fs::path& file) { makeTalk(file, with(vp9, opus)); }},
        {"audio.m4a", [](const fs::path& file) {
             makeWithFfmpeg({"-f", "lavfi", "-i", "sine=frequency=440:duration=2", "-c:a", "aac", file.string()});
         }},
        // One picture source, two video renditions at different heights and codecs, one audio.
        {"dash/manifest.mpd", [](const fs::path& file) {
             fs::create_directories(file.parent_path());
             makeWithFfmpeg(dashManifestArguments(file.string()));
         }},
        // One H.264/AAC rendition in one-second segments.
        {"hls/index.m3u8", [](const fs::path& file) {
             fs::create_directories(file.parent_path());
             makeWithFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=320x180:rate=25:duration=3", "-f", "lavfi", "-i",
                             "sine=frequency=440:duration=3", "-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt",
                             "yuv420p", "-g", "25", "-c:a", "aac", "-b:a", "64k", "-f", "hls", "-hls_time", "1",
                             "-hls_playlist_type", "vod", file.string()});
         }},
        // An elementary stream: no container, so ffprobe knows no duration.
        {"raw.h264", [](const fs::path& file) {
             makeWithFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=320x180:rate=25:duration=2", "-c:v", "libx264",
                             "-preset", "ultrafast", "-pix_fmt", "yuv420p", "-f", "h264", file.string()});
         }},
    };
    // clang-format on
    return table;
}

void make(const fs::path& root, const std::string& name) {
    for (const Recipe& recipe : recipes()) {
        if (recipe.name == name)
            return recipe.make(root / name);
    }
    FAIL() << "no such fixture: " << name;
}

} // namespace

std::vector<std::string> names() {
    std::vector<std::string> all;
    for (const Recipe& recipe : recipes())
        all.push_back(recipe.name);
    return all;
}

const fs::path& folder() {
    static const fs::path root = Sandbox::makeTempFolder("media");
    return root;
}

fs::path fixture(const std::string& name) {
    // Made on first use only: ctest runs every test in a process of its own.
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    const fs::path path = folder() / name;
    if (!fs::exists(path))
        make(folder(), name);
    return path;
}

Streams streamsOf(const fs::path& file) {
    const auto result = ToolProcess::run(
        BundledTools::ffprobe(),
        {"-v", "error", "-print_format", "json", "-show_streams", "-show_format", "-show_chapters", file.string()});
    Streams streams;
    if (result.status != 0) {
        ADD_FAILURE() << "ffprobe failed on " << file << ": " << result.standardError;
        return streams;
    }
    const nlohmann::json report = nlohmann::json::parse(result.standardOutput);
    for (const auto& stream : report.at("streams")) {
        const std::string type = stream.value("codec_type", "");
        const std::string name = stream.value("codec_name", "");
        if (type == "video") {
            if (streams.videoCount++ == 0) {
                streams.video = name;
                streams.height = stream.value("height", 0);
                streams.shape = stream.value("profile", "") + " " + stream.value("pix_fmt", "") + " " +
                                std::to_string(stream.value("width", 0)) + "x" + std::to_string(streams.height);
                streams.tag = stream.value("codec_tag_string", "");
                streams.transfer = stream.value("color_transfer", "");
            }
        } else if (type == "audio" && !streams.audio) {
            streams.audio = name;
        }
    }
    const nlohmann::json tags =
        report.value("format", nlohmann::json::object()).value("tags", nlohmann::json::object());
    streams.title = tags.value("title", "");
    streams.comment = tags.value("comment", "");
    streams.description = tags.value("description", "");
    streams.chapters = static_cast<int>(report.value("chapters", nlohmann::json::array()).size());
    return streams;
}

} // namespace MediaFixtures
