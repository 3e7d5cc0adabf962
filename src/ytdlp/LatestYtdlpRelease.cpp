#include "ytdlp/LatestYtdlpRelease.h"

#include "ytdlp/YtdlpVersion.h"

#include <mutex>

namespace {

std::mutex& guard() {
    static std::mutex mutex;
    return mutex;
}

std::optional<std::string>& newest() {
    static std::optional<std::string> tag;
    return tag;
}

} // namespace

namespace LatestYtdlpRelease {

void note(const std::string& tag) {
    std::lock_guard lock(guard());
    if (!newest() || YtdlpVersion::compare(tag, *newest()) > 0)
        newest() = tag;
}

std::optional<std::string> known() {
    std::lock_guard lock(guard());
    return newest();
}

void forget() {
    std::lock_guard lock(guard());
    newest().reset();
}

} // namespace LatestYtdlpRelease
