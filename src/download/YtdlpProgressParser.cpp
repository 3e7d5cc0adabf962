#include "download/YtdlpProgressParser.h"

#include "download/SavedName.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>

namespace {

std::vector<std::string_view> words(std::string_view text) {
    std::vector<std::string_view> result;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find(' ', start), text.size());
        if (end > start)
            result.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return result;
}

// yt-dlp prints a missing field as "NA" and numbers as Python does ("3228.0", "1e+20").
std::optional<double> number(std::string_view word) {
    double value = 0;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (error != std::errc() || end != word.data() + word.size() || !std::isfinite(value) || value < 0)
        return std::nullopt;
    return value;
}

std::optional<std::int64_t> whole(std::string_view word) {
    const auto value = number(word);
    if (!value || *value > 9.0e18)
        return std::nullopt;
    return static_cast<std::int64_t>(std::llround(*value));
}

std::string_view trimmed(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\n'))
        line.remove_suffix(1);
    while (!line.empty() && line.front() == ' ')
        line.remove_prefix(1);
    return line;
}

} // namespace

const std::string& YtdlpProgressParser::formatsTemplate() {
    static const std::string text = std::string(linePrefix) + "formats %(format_id)s %(filename)s";
    return text;
}

const std::string& YtdlpProgressParser::downloadTemplate() {
    static const std::string text =
        std::string(linePrefix) +
        "download %(progress.status)s %(progress.downloaded_bytes)s %(progress.total_bytes)s "
        "%(progress.total_bytes_estimate)s %(progress.speed)s %(progress.eta)s %(info.format_id)s";
    return text;
}

const std::string& YtdlpProgressParser::postprocessTemplate() {
    static const std::string text =
        std::string(linePrefix) + "postprocess %(progress.status)s %(progress.postprocessor)s";
    return text;
}

bool YtdlpProgressParser::isProgressLine(std::string_view line) {
    return trimmed(line).starts_with(linePrefix);
}

std::optional<DownloadProgress> YtdlpProgressParser::read(std::string_view line) {
    line = trimmed(line);
    if (!line.starts_with(linePrefix))
        return std::nullopt;
    line.remove_prefix(linePrefix.size());
    const std::vector<std::string_view> parts = words(line);
    if (parts.empty())
        return std::nullopt;

    if (parts[0] == "formats" && parts.size() >= 2) {
        m_formats.clear();
        std::string_view ids = parts[1];
        // The path is the rest of the line, whatever spaces it holds.
        const std::size_t pathStart = static_cast<std::size_t>(ids.data() + ids.size() - line.data()) + 1;
        if (pathStart < line.size())
            m_fileName = SavedName::honest(std::filesystem::path(line.substr(pathStart)).filename().string());
        while (!ids.empty()) {
            const std::size_t plus = std::min(ids.find('+'), ids.size());
            m_formats.emplace_back(ids.substr(0, plus));
            ids.remove_prefix(std::min(plus + 1, ids.size()));
        }
        return std::nullopt;
    }

    if (parts[0] == "postprocess" && parts.size() == 3) {
        // Moving the finished file into place is a rename, not work worth a phase.
        if (parts[1] != "started" || parts[2] == "MoveFiles")
            return std::nullopt;
        DownloadProgress progress;
        progress.phase = DownloadProgress::Phase::merging;
        progress.fileName = m_fileName;
        return progress;
    }

    if (parts[0] != "download" || parts.size() != 8)
        return std::nullopt;
    const std::string_view status = parts[1];
    if (status != "downloading" && status != "finished")
        return std::nullopt;

    const std::string format(parts[7]);
    if (m_counted == 0 || format != m_currentFormat) {
        m_currentFormat = format;
        ++m_counted;
        m_lowestEstimate.reset();
        m_mostBytes.reset();
    }
    DownloadProgress progress;
    progress.phase = DownloadProgress::Phase::downloading;
    progress.fileName = m_fileName;
    const auto known = std::find(m_formats.begin(), m_formats.end(), format);
    if (known != m_formats.end()) {
        progress.stream = static_cast<int>(known - m_formats.begin()) + 1;
        progress.streamCount = static_cast<int>(m_formats.size());
    } else {
        progress.stream = m_counted;
    }
    progress.bytes = whole(parts[2]);
    // With several fragments in flight yt-dlp's threads report in a race, and a count made earlier
    // can come after a later one; what has arrived never shrinks until the finished file's size.
    if (status == "downloading" && progress.bytes && m_mostBytes && *progress.bytes < *m_mostBytes)
        progress.bytes = m_mostBytes;
    if (progress.bytes)
        m_mostBytes = progress.bytes;
    progress.totalBytes = whole(parts[3]);
    if (!progress.totalBytes) {
        // yt-dlp estimates a stream of fragments as the bytes so far over the fragments finished,
        // times their count; the bytes of those still in flight make it too high, up to four
        // times with four at once, until they finish. The lowest estimate is the one made with
        // least in flight, and keeps the size and the percentage from jumping back and forth.
        progress.totalBytes = whole(parts[4]);
        if (progress.totalBytes) {
            if (!m_lowestEstimate || *progress.totalBytes < *m_lowestEstimate)
                m_lowestEstimate = progress.totalBytes;
            progress.totalBytes = m_lowestEstimate;
        }
    }
    progress.bytesPerSecond = number(parts[5]);
    progress.etaSeconds = whole(parts[6]);
    if (status == "finished") {
        progress.fraction = 1.0;
        progress.etaSeconds = 0;
    } else if (progress.bytes && progress.totalBytes && *progress.totalBytes > 0) {
        progress.fraction =
            std::clamp(static_cast<double>(*progress.bytes) / static_cast<double>(*progress.totalBytes), 0.0, 1.0);
    }
    return progress;
}
