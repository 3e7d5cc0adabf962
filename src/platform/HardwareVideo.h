#pragma once

#include <filesystem>
#include <functional>
#include <string_view>

// What the machine's video hardware can do, asked of VA-API on Linux.
namespace HardwareVideo {

// Whether the hardware decodes the codec, by ffprobe's name: "h264", "hevc", "vp9", "av1"; any
// other name is false. The first call opens the first DRM render node and asks the driver once
// (hardware does not change under a running program); no device, no driver or any failure
// answers false. Thread-safe; never throws.
bool decodes(std::string_view codecName);

// The render node the hardware encoder is given: the first /dev/dri/renderD128 and up that
// exists, else /dev/dri/renderD128 (ffmpeg then fails at once and the software encoder runs).
std::filesystem::path renderNode();

// Replaces where decodes() takes its answers from; an empty function restores VA-API. For tests.
using AnswerSource = std::function<bool(std::string_view codecName)>;
void setAnswerSource(AnswerSource source);

} // namespace HardwareVideo
