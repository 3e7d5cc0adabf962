#pragma once

#include <string>
#include <vector>

// ffmpeg arguments for a small DASH presentation: one picture source in two video renditions at
// different heights and codecs (H.264 at 180 lines, VP9 at 360) and one AAC audio rendition, three
// seconds long, written as manifest plus segments beside it.
inline std::vector<std::string> dashManifestArguments(const std::string& manifestPath) {
    return {"-f", "lavfi", "-i", "testsrc2=size=640x360:rate=25:duration=3",
            "-f", "lavfi", "-i", "sine=frequency=440:duration=3",
            "-map", "0:v", "-map", "0:v", "-map", "1:a",
            "-c:v:0", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p", "-s:v:0", "320x180",
            "-c:v:1", "libvpx-vp9", "-deadline", "realtime", "-cpu-used", "8", "-b:v:1", "300k", "-g", "25",
            "-c:a", "aac", "-b:a", "64k",
            "-f", "dash", "-seg_duration", "1", "-adaptation_sets", "id=0,streams=v id=1,streams=a",
            manifestPath};
}
