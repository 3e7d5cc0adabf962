#include "download/FfmpegProgressParser.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace {

std::optional<double> decimal(std::string_view text) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace

FfmpegProgressParser::FfmpegProgressParser(std::optional<double> durationSeconds) {
    if (durationSeconds && std::isfinite(*durationSeconds) && *durationSeconds > 0)
        m_duration = durationSeconds;
}

std::optional<double> FfmpegProgressParser::parseTime(std::string_view text) {
    bool negative = false;
    if (text.starts_with('-')) {
        negative = true;
        text.remove_prefix(1);
    }
    double seconds = 0;
    int fields = 0;
    while (true) {
        const std::size_t colon = text.find(':');
        const std::string_view field = text.substr(0, colon);
        // Hours and minutes are whole numbers; only the last field has a fraction.
        if (field.empty() || field.front() == '+' || field.front() == '-' ||
            (colon != std::string_view::npos && field.find('.') != std::string_view::npos))
            return std::nullopt;
        const auto value = decimal(field);
        if (!value || ++fields > 3)
            return std::nullopt;
        seconds = seconds * 60 + *value;
        if (colon == std::string_view::npos)
            break;
        text.remove_prefix(colon + 1);
    }
    return negative ? -seconds : seconds;
}

std::optional<DownloadProgress> FfmpegProgressParser::read(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
        line.remove_suffix(1);
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos)
        return std::nullopt;
    const std::string_view key = line.substr(0, equals);
    const std::string_view value = line.substr(equals + 1);

    if (key == "out_time_us") {
        // "N/A" before the first frame is written.
        if (const auto micros = decimal(value))
            m_outSeconds = *micros / 1e6;
        return std::nullopt;
    }
    if (key == "out_time") {
        if (!m_outSeconds)
            m_outSeconds = parseTime(value);
        return std::nullopt;
    }
    if (key != "progress")
        return std::nullopt;

    DownloadProgress progress;
    progress.phase = DownloadProgress::Phase::converting;
    if (m_duration) {
        if (value == "end")
            progress.fraction = 1.0;
        else if (m_outSeconds)
            progress.fraction = std::clamp(*m_outSeconds / *m_duration, 0.0, 1.0);
    }
    m_outSeconds.reset();
    return progress;
}
