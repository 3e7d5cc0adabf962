#include "platform/HardwareVideo.h"

#include "platform/SharedLibrary.h"
#include "platform/UniqueFd.h"

#include <va/va.h>
#include <va/va_drm.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace {

constexpr int firstRenderNode = 128;
constexpr int lastRenderNode = 191;

std::filesystem::path renderNodePath(int number) {
    return "/dev/dri/renderD" + std::to_string(number);
}

// The lowest-numbered render node, from one read of /dev/dri rather than a probe of every number.
std::optional<std::filesystem::path> firstExistingRenderNode() {
    std::error_code error;
    std::filesystem::directory_iterator entries("/dev/dri", error);
    std::optional<int> lowest;
    for (; !error && entries != std::filesystem::directory_iterator(); entries.increment(error)) {
        const std::string name = entries->path().filename().string();
        constexpr std::string_view prefix = "renderD";
        if (!name.starts_with(prefix))
            continue;
        int number = 0;
        const char* end = name.data() + name.size();
        if (std::from_chars(name.data() + prefix.size(), end, number).ptr != end)
            continue;
        if (number >= firstRenderNode && number <= lastRenderNode && (!lowest || number < *lowest))
            lowest = number;
    }
    if (!lowest)
        return std::nullopt;
    return renderNodePath(*lowest);
}

void silence(void*, const char*) {}

// libva, loaded only on a machine with a render node: everywhere else it would be mapped into
// every process for nothing.
struct VaLibrary {
    decltype(vaGetDisplayDRM)* getDisplayDrm;
    decltype(vaTerminate)* terminate;
    decltype(vaSetErrorCallback)* setErrorCallback;
    decltype(vaSetInfoCallback)* setInfoCallback;
    decltype(vaInitialize)* initialize;
    decltype(vaMaxNumProfiles)* maxNumProfiles;
    decltype(vaQueryConfigProfiles)* queryConfigProfiles;
    decltype(vaMaxNumEntrypoints)* maxNumEntrypoints;
    decltype(vaQueryConfigEntrypoints)* queryConfigEntrypoints;
};

// Nothing when libva is not installed: the hardware then counts as absent.
std::optional<VaLibrary> loadVa() {
    try {
        static const SharedLibrary va("libva.so.2");
        static const SharedLibrary drm("libva-drm.so.2");
        return VaLibrary{
            .getDisplayDrm = drm.function<decltype(vaGetDisplayDRM)>("vaGetDisplayDRM"),
            .terminate = va.function<decltype(vaTerminate)>("vaTerminate"),
            .setErrorCallback = va.function<decltype(vaSetErrorCallback)>("vaSetErrorCallback"),
            .setInfoCallback = va.function<decltype(vaSetInfoCallback)>("vaSetInfoCallback"),
            .initialize = va.function<decltype(vaInitialize)>("vaInitialize"),
            .maxNumProfiles = va.function<decltype(vaMaxNumProfiles)>("vaMaxNumProfiles"),
            .queryConfigProfiles = va.function<decltype(vaQueryConfigProfiles)>("vaQueryConfigProfiles"),
            .maxNumEntrypoints = va.function<decltype(vaMaxNumEntrypoints)>("vaMaxNumEntrypoints"),
            .queryConfigEntrypoints = va.function<decltype(vaQueryConfigEntrypoints)>("vaQueryConfigEntrypoints"),
        };
    } catch (const SharedLibrary::Unavailable&) {
        return std::nullopt;
    }
}

// Ends a display that vaGetDisplayDRM made, whether or not vaInitialize succeeded on it.
struct DisplayTerminator {
    decltype(vaTerminate)* terminate;
    void operator()(VADisplay display) const noexcept { terminate(display); }
};

// What the machine has: the render node, whether its driver initialises, what it decodes.
struct Device {
    std::optional<std::filesystem::path> node;
    bool usable = false;
    std::set<std::string> decoded;
};

// The codecs the driver decodes (VAEntrypointVLD), asked once.
Device askVaapi() {
    Device device;
    device.node = firstExistingRenderNode();
    std::set<std::string>& decoded = device.decoded;
    if (!device.node)
        return device;
    const UniqueFd fd(::open(device.node->c_str(), O_RDWR | O_CLOEXEC));
    if (!fd)
        return device;
    const std::optional<VaLibrary> loaded = loadVa();
    if (!loaded)
        return device;
    const VaLibrary& va = *loaded;
    // Declared after fd, so the display is terminated before its descriptor closes.
    const std::unique_ptr<void, DisplayTerminator> owner(va.getDisplayDrm(fd.get()), DisplayTerminator{va.terminate});
    const VADisplay display = owner.get();
    if (!display)
        return device;
    // libva prints its driver search on standard error otherwise.
    va.setErrorCallback(display, silence, nullptr);
    va.setInfoCallback(display, silence, nullptr);
    int major = 0;
    int minor = 0;
    if (va.initialize(display, &major, &minor) != VA_STATUS_SUCCESS)
        return device;
    device.usable = true;
    std::vector<VAProfile> profiles(static_cast<std::size_t>(std::max(va.maxNumProfiles(display), 0)));
    int profileCount = 0;
    if (profiles.empty() || va.queryConfigProfiles(display, profiles.data(), &profileCount) != VA_STATUS_SUCCESS)
        return device;
    std::vector<VAEntrypoint> entrypoints(static_cast<std::size_t>(std::max(va.maxNumEntrypoints(display), 0)));
    auto hasDecode = [&](VAProfile profile) {
        bool offered = false;
        for (int i = 0; i < profileCount; ++i)
            offered = offered || profiles[static_cast<std::size_t>(i)] == profile;
        int count = 0;
        if (!offered || entrypoints.empty() ||
            va.queryConfigEntrypoints(display, profile, entrypoints.data(), &count) != VA_STATUS_SUCCESS)
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
    return device;
}

// Asked on first use; the hardware does not change under a running program.
const Device& device() {
    static const Device asked = askVaapi();
    return asked;
}

std::mutex& sourceMutex() {
    static std::mutex mutex;
    return mutex;
}

HardwareVideo::AnswerSource& replacedSource() {
    static HardwareVideo::AnswerSource source;
    return source;
}

bool& replacedUsable() {
    static bool usable = true;
    return usable;
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
    return device().decoded.count(std::string(codecName)) > 0;
}

bool HardwareVideo::usable() {
    {
        std::lock_guard lock(sourceMutex());
        if (replacedSource())
            return replacedUsable();
    }
    return device().usable;
}

std::filesystem::path HardwareVideo::renderNode() {
    static const std::filesystem::path node = firstExistingRenderNode().value_or(renderNodePath(firstRenderNode));
    return node;
}

void HardwareVideo::setAnswerSource(AnswerSource source, bool usable) {
    std::lock_guard lock(sourceMutex());
    replacedSource() = std::move(source);
    replacedUsable() = usable;
}
