#pragma once

#include <string>
#include <vector>

// ffmpeg arguments for a small DASH presentation: one picture source in two video renditions at
// different heights and codecs (H.264 at 180 lines, VP9 at 360) and one AAC audio rendition, three
// seconds long, written as manifest plus segments beside it.
inline std::vector<std::string> dashManifestArguments(const std::string& manifestPath) {
    // ffmpeg options stay beside their values.
    // clang-format off
    return {"-f", "lavfi", "-i", "testsrc2=size=640x360:rate=25:duration=3",
            "-f", "lavfi", "-i", "sine=frequency=440:duration=3",
            "-map", "0:v", "-map", "0:v", "-map", "1:a",
            "-c:v:0", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p", "-s:v:0", "320x180",
            "-c:v:1", "libvpx-vp9", "-deadline", "realtime", "-cpu-used", "8", "-b:v:1", "300k", "-g", "25",
            "-c:a", "aac", "-b:a", "64k",
            "-f", "dash", "-seg_duration", "1", "-adaptation_sets", "id=0,streams=v id=1,streams=a",
            manifestPath};
    // clang-format on
}

// ffmpeg arguments for a short MP4 clip with H.264 video (a test picture) and AAC audio (a tone).
inline std::vector<std::string>
h264ClipArguments(const std::string& outputPath, int seconds = 1, const std::string& size = "160x120") {
    const std::string duration = std::to_string(seconds);
    // ffmpeg options stay beside their values.
    // clang-format off
    return {"-v", "error", "-f", "lavfi", "-i", "testsrc=duration=" + duration + ":size=" + size + ":rate=10",
            "-f", "lavfi", "-i", "sine=duration=" + duration,
            "-c:v", "libx264", "-pix_fmt", "yuv420p", "-c:a", "aac", "-shortest", outputPath};
    // clang-format on
}
