#include "download/DownloadProgressText.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

// Marks a text for the window's translators; lupdate reads this file. The value is the English text.
#define QT_TRANSLATE_NOOP(context, text) text

namespace {

std::string translated(const DownloadProgressText::Translate& translate, const char* english) {
    return translate ? translate(english) : std::string(english);
}

// The template with %1 and %2 replaced (each once, in either order).
std::string filled(std::string text, const std::string& first, const std::string& second = {}) {
    const std::size_t at = text.find("%1");
    if (at != std::string::npos)
        text.replace(at, 2, first);
    const std::size_t next = text.find("%2", at == std::string::npos ? 0 : at + first.size());
    if (next != std::string::npos)
        text.replace(next, 2, second);
    return text;
}

// The value with that many decimals, then the unit.
std::string formatted(double value, int decimals, const char* unit = "") {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return std::string(text) + unit;
}

} // namespace

std::string DownloadProgressText::phaseText(DownloadProgress::Phase phase, const Translate& translate) {
    switch (phase) {
    case DownloadProgress::Phase::downloading:
        return translated(translate, QT_TRANSLATE_NOOP("DownloadProgressText", "Downloading\u2026"));
    case DownloadProgress::Phase::retrying:
        return translated(translate,
                          QT_TRANSLATE_NOOP("DownloadProgressText", "Retrying one fragment at a time\u2026"));
    case DownloadProgress::Phase::merging:
        return translated(translate, QT_TRANSLATE_NOOP("DownloadProgressText", "Merging\u2026"));
    case DownloadProgress::Phase::checking:
        return translated(translate, QT_TRANSLATE_NOOP("DownloadProgressText", "Checking the file\u2026"));
    case DownloadProgress::Phase::repackaging:
        return translated(translate, QT_TRANSLATE_NOOP("DownloadProgressText", "Repackaging as MP4\u2026"));
    case DownloadProgress::Phase::converting:
        return translated(translate, QT_TRANSLATE_NOOP("DownloadProgressText", "Converting to MP4\u2026"));
    }
    return {};
}

int DownloadProgressText::percent(double fraction) {
    if (!std::isfinite(fraction))
        return 0;
    fraction = std::clamp(fraction, 0.0, 1.0);
    // The small allowance keeps 0.29 (28.999… in binary) from reading 28.
    return static_cast<int>(std::floor(fraction * 100 + 1e-9));
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

std::string DownloadProgressText::details(const DownloadProgress& progress, const Translate& translate) {
    std::string text;
    auto add = [&text](const std::string& part) {
        if (!text.empty())
            text += " \u00b7 ";
        text += part;
    };
    auto say = [&translate](const char* english) { return translated(translate, english); };
    if (progress.fraction)
        add(filled(say(QT_TRANSLATE_NOOP("DownloadProgressText", "%1%")), std::to_string(percent(*progress.fraction))));
    if (progress.phase == DownloadProgress::Phase::downloading || progress.phase == DownloadProgress::Phase::retrying) {
        if (progress.bytes && progress.totalBytes)
            add(filled(say(QT_TRANSLATE_NOOP("DownloadProgressText", "%1 of %2 MB")),
                       megabytes(*progress.bytes),
                       megabytes(*progress.totalBytes)));
        else if (progress.bytes)
            add(filled(say(QT_TRANSLATE_NOOP("DownloadProgressText", "%1 MB")), megabytes(*progress.bytes)));
        if (progress.bytesPerSecond)
            add(speed(*progress.bytesPerSecond));
        if (progress.etaSeconds)
            add(filled(say(QT_TRANSLATE_NOOP("DownloadProgressText", "%1 left")), duration(*progress.etaSeconds)));
        if (progress.streamCount > 1 && progress.stream > 0)
            add(filled(say(QT_TRANSLATE_NOOP("DownloadProgressText", "stream %1 of %2")),
                       std::to_string(progress.stream),
                       std::to_string(progress.streamCount)));
    }
    return text;
}

std::string DownloadProgressText::describe(const DownloadProgress& progress, const Translate& translate) {
    std::string text = phaseText(progress.phase, translate);
    const std::string known = details(progress, translate);
    if (!known.empty())
        text += " " + known;
    return text;
}
