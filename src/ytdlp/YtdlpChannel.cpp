#include "ytdlp/YtdlpChannel.h"

#include <cstdlib>

namespace {

std::string host(const char* variable, const char* fallback) {
    const char* value = std::getenv(variable);
    return value && *value ? value : fallback;
}

std::string webHost() {
    return host("TALLOWIN_RELEASES_WEB_URL", "https://github.com");
}
std::string apiHost() {
    return host("TALLOWIN_RELEASES_API_URL", "https://api.github.com");
}

} // namespace

YtdlpChannel YtdlpChannel::stable() {
    return {"stable", "yt-dlp/yt-dlp"};
}

YtdlpChannel YtdlpChannel::nightly() {
    return {"nightly", "yt-dlp/yt-dlp-nightly-builds"};
}

const char* YtdlpChannel::assetName() {
#if defined(__aarch64__)
    return "yt-dlp_linux_aarch64";
#else
    return "yt-dlp_linux";
#endif
}

std::string YtdlpChannel::downloadURL() const {
    return webHost() + "/" + repository + "/releases/latest/download/" + assetName();
}

std::string YtdlpChannel::checksumsURL() const {
    return webHost() + "/" + repository + "/releases/latest/download/" + checksumsName;
}

std::string YtdlpChannel::signatureURL() const {
    return webHost() + "/" + repository + "/releases/latest/download/" + signatureName;
}

std::string YtdlpChannel::latestReleaseAPI() const {
    return apiHost() + "/repos/" + repository + "/releases/latest";
}
