#include "download/DownloadProgressText.h"

#include <cmath>
#include <cstdio>

namespace {

// The value with that many decimals, then the unit.
std::string formatted(double value, int decimals, const char* unit = "") {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return std::string(text) + unit;
}

} // namespace

std::string DownloadProgressText::phaseText(DownloadProgress::Phase phase) {
    switch (phase) {
    case DownloadProgress::Phase::downloading:
        return "Downloading\u2026";
    case DownloadProgress::Phase::merging:
        return "Merging\u2026";
    case DownloadProgress::Phase::checking:
        return "Checking the file\u2026";
    case DownloadProgress::Phase::converting:
        return "Converting to MP4\u2026";
    }
    return {};
}

std::string DownloadProgressText::megabytes(std::int64_t bytes) {
    return formatted(static_cast<double>(bytes) / 1e6, 1);
}

std::string DownloadProgressText::speed(double bytesPerSecond) {
    // Rounded first, so 999,960 B/s reads "1.0 MB/s" and not "1000 kB/s".
    if (std::round(bytesPerSecond / 1e5) >= 10)
        return formatted(bytesPerSecond / 1e6, 1, " MB/s");
    return formatted(bytesPerSecond / 1e3, 0, " kB/s");
}

std::string DownloadProgressText::duration(std::int64_t seconds) {
    if (seconds < 0)
        seconds = 0;
    char text[48];
    if (seconds >= 3600)
        std::snprintf(text,
                      sizeof text,
                      "%lld:%02lld:%02lld",
                      static_cast<long long>(seconds / 3600),
                      static_cast<long long>(seconds / 60 % 60),
                      static_cast<long long>(seconds % 60));
    else
        std::snprintf(text,
                      sizeof text,
                      "%lld:%02lld",
                      static_cast<long long>(seconds / 60),
                      static_cast<long long>(seconds % 60));
    return text;
}

std::string DownloadProgressText::describe(const DownloadProgress& progress) {
    std::string text = phaseText(progress.phase);
    std::string details;
    auto add = [&details](const std::string& part) {
        if (!details.empty())
            details += " \u00b7 ";
        details += part;
    };
    if (progress.fraction)
        add(std::to_string(static_cast<int>(std::floor(*progress.fraction * 100 + 1e-9))) + "%");
    if (progress.phase == DownloadProgress::Phase::downloading) {
        if (progress.bytes && progress.totalBytes)
            add(megabytes(*progress.bytes) + " of " + megabytes(*progress.totalBytes) + " MB");
        else if (progress.bytes)
            add(megabytes(*progress.bytes) + " MB");
        if (progress.bytesPerSecond)
            add(speed(*progress.bytesPerSecond));
        if (progress.etaSeconds)
            add(duration(*progress.etaSeconds) + " left");
        if (progress.streamCount > 1 && progress.stream > 0)
            add("stream " + std::to_string(progress.stream) + " of " + std::to_string(progress.streamCount));
    }
    if (!details.empty())
        text += " " + details;
    return text;
}
