#include "MediaFixtures.h"

#include "support/MediaRecipes.h"

#include "support/Sandbox.h"
#include "tools/BundledTools.h"
#include "tools/ToolProcess.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

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

void make(const fs::path& root, const std::string& name) {
    const std::vector<std::string> aac{"-c:a", "aac", "-b:a", "64k"};
    const std::vector<std::string> opus{"-c:a", "libopus", "-b:a", "48k"};
    if (name == "clip.webm")
        makeClip(root / name, with(vp9, opus));
    else if (name == "clip.mkv" || name == "clip.mp4")
        makeClip(root / name, with(h264, aac));
    else if (name == "vp9.mp4")
        makeClip(root / name, with(vp9, aac));
    else if (name == "hevc.mkv")
        makeClip(root / name,
                 with({"-c:v", "libx265", "-preset", "ultrafast", "-x265-params", "log-level=error"}, opus));
    else if (name == "odd/vp9.webm" || name == "odd/av1.webm")
        // testsrc2 evens its size for 4:2:0; drawn in RGB, the picture stays 641x361.
        makeClip(root / name,
                 with(with(name == "odd/vp9.webm" ? vp9 : av1, opus), {"-pix_fmt", "yuv420p"}),
                 "641x361,format=rgb24");
    else if (name.starts_with("h264/")) // h264/<pix_fmt>.mkv: libx264 takes the profile from the format
        makeClip(root / name, with({"-c:v", "libx264", "-pix_fmt", fs::path(name).stem().string()}, aac));
    else if (name == "audio.m4a")
        // ffmpeg options stay beside their values.
        // clang-format off
        makeWithFfmpeg({"-f", "lavfi", "-i", "sine=frequency=440:duration=2", "-c:a", "aac", (root / name).string()});
    // clang-format on
    else if (name == "dash/manifest.mpd") {
        // One picture source, two video renditions at different heights and codecs, one audio.
        fs::create_directories(root / "dash");
        makeWithFfmpeg(dashManifestArguments((root / name).string()));
    } else if (name == "hls/index.m3u8") {
        // One H.264/AAC rendition in one-second segments.
        fs::create_directories(root / "hls");
        // ffmpeg options stay beside their values.
        // clang-format off
        makeWithFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=320x180:rate=25:duration=3", "-f", "lavfi", "-i",
                        "sine=frequency=440:duration=3", "-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt",
                        "yuv420p", "-g", "25", "-c:a", "aac", "-b:a", "64k", "-f", "hls", "-hls_time", "1",
                        "-hls_playlist_type", "vod", (root / name).string()});
        // clang-format on
    } else if (name == "raw.h264") {
        // An elementary stream: no container, so ffprobe knows no duration.
        // ffmpeg options stay beside their values.
        // clang-format off
        makeWithFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=320x180:rate=25:duration=2", "-c:v", "libx264",
                        "-preset", "ultrafast", "-pix_fmt", "yuv420p", "-f", "h264", (root / name).string()});
        // clang-format on
    } else
        FAIL() << "no such fixture: " << name;
}

} // namespace

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
    const auto result = ToolProcess::run(BundledTools::ffprobe(),
                                         {"-v", "error", "-print_format", "json", "-show_streams", file.string()});
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
            }
        } else if (type == "audio" && !streams.audio) {
            streams.audio = name;
        }
    }
    return streams;
}

} // namespace MediaFixtures
