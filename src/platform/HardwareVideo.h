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

// Whether the hardware encoder can run at all: the render node opens and its driver initialises
// (vaInitialize). Asked together with decodes(), once per process. Thread-safe; never throws.
bool usable();

// The render node the hardware encoder is given: the lowest-numbered /dev/dri/renderD128 and up
// that exists, else /dev/dri/renderD128. Found once per process.
std::filesystem::path renderNode();

// Replaces where decodes() and usable() take their answers from; an empty function restores
// VA-API. For tests.
using AnswerSource = std::function<bool(std::string_view codecName)>;
void setAnswerSource(AnswerSource source, bool usable = true);

} // namespace HardwareVideo
