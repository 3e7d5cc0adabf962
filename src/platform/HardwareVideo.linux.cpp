#include "platform/HardwareVideo.h"

#include "platform/UniqueFd.h"

#include <va/va.h>
#include <va/va_drm.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <system_error>
#include <vector>

namespace {

constexpr int firstRenderNode = 128;
constexpr int lastRenderNode = 191;

std::filesystem::path renderNodePath(int number) {
    return "/dev/dri/renderD" + std::to_string(number);
}

std::optional<std::filesystem::path> firstExistingRenderNode() {
    for (int number = firstRenderNode; number <= lastRenderNode; ++number) {
        std::error_code error;
        if (std::filesystem::exists(renderNodePath(number), error))
            return renderNodePath(number);
    }
    return std::nullopt;
}

void silence(void*, const char*) {}

// Ends a display that vaGetDisplayDRM made, whether or not vaInitialize succeeded on it.
struct DisplayTerminator {
    void operator()(VADisplay display) const noexcept { vaTerminate(display); }
};

// The codecs the driver decodes (VAEntrypointVLD), asked once.
std::set<std::string> askVaapi() {
    std::set<std::string> decoded;
    const auto node = firstExistingRenderNode();
    if (!node)
        return decoded;
    const UniqueFd fd(::open(node->c_str(), O_RDWR | O_CLOEXEC));
    if (!fd)
        return decoded;
    // Declared after fd, so the display is terminated before its descriptor closes.
    const std::unique_ptr<void, DisplayTerminator> owner(vaGetDisplayDRM(fd.get()));
    const VADisplay display = owner.get();
    if (!display)
        return decoded;
    // libva prints its driver search on standard error otherwise.
    vaSetErrorCallback(display, silence, nullptr);
    vaSetInfoCallback(display, silence, nullptr);
    int major = 0;
    int minor = 0;
    if (vaInitialize(display, &major, &minor) != VA_STATUS_SUCCESS)
        return decoded;
    std::vector<VAProfile> profiles(static_cast<std::size_t>(std::max(vaMaxNumProfiles(display), 0)));
    int profileCount = 0;
    if (profiles.empty() || vaQueryConfigProfiles(display, profiles.data(), &profileCount) != VA_STATUS_SUCCESS)
        return decoded;
    std::vector<VAEntrypoint> entrypoints(static_cast<std::size_t>(std::max(vaMaxNumEntrypoints(display), 0)));
    auto hasDecode = [&](VAProfile profile) {
        bool offered = false;
        for (int i = 0; i < profileCount; ++i)
            offered = offered || profiles[static_cast<std::size_t>(i)] == profile;
        int count = 0;
        if (!offered || entrypoints.empty() ||
            vaQueryConfigEntrypoints(display, profile, entrypoints.data(), &count) != VA_STATUS_SUCCESS)
            return false;
        for (int i = 0; i < count; ++i) {
            if (entrypoints[static_cast<std::size_t>(i)] == VAEntrypointVLD)
                return true;
        }
        return false;
    };
    if (hasDecode(VAProfileH264High) || hasDecode(VAProfileH264Main))
        decoded.insert("h264");
    if (hasDecode(VAProfileHEVCMain))
        decoded.insert("hevc");
    if (hasDecode(VAProfileVP9Profile0))
        decoded.insert("vp9");
    if (hasDecode(VAProfileAV1Profile0))
        decoded.insert("av1");
    return decoded;
}

std::mutex& sourceMutex() {
    static std::mutex mutex;
    return mutex;
}

HardwareVideo::AnswerSource& replacedSource() {
    static HardwareVideo::AnswerSource source;
    return source;
}

} // namespace

bool HardwareVideo::decodes(std::string_view codecName) {
    AnswerSource source;
    {
        std::lock_guard lock(sourceMutex());
        source = replacedSource();
    }
    if (source)
        return source(codecName);
    static const std::set<std::string> decoded = askVaapi();
    return decoded.count(std::string(codecName)) > 0;
}

std::filesystem::path HardwareVideo::renderNode() {
    return firstExistingRenderNode().value_or(renderNodePath(firstRenderNode));
}

void HardwareVideo::setAnswerSource(AnswerSource source) {
    std::lock_guard lock(sourceMutex());
    replacedSource() = std::move(source);
}
