#pragma once

#include "download/DownloadProgress.h"

#include <chrono>
#include <functional>
#include <optional>

// Passes progress on at most once per interval (ten a second by default); a change of phase or of
// stream always passes, so the display never shows the wrong step. Not thread-safe: one per download.
class ProgressThrottle {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    // An empty handler makes report() a no-op. The clock is replaceable for tests.
    explicit ProgressThrottle(
        DownloadProgressHandler handler,
        Clock clock = [] { return std::chrono::steady_clock::now(); },
        std::chrono::milliseconds interval = std::chrono::milliseconds(100));

    // Calls the handler now, or drops the report when the last one passed less than an interval ago
    // in the same phase and stream.
    void report(const DownloadProgress& progress);

private:
    DownloadProgressHandler m_handler;
    Clock m_clock;
    std::chrono::milliseconds m_interval;
    std::optional<DownloadProgress> m_last;
    std::chrono::steady_clock::time_point m_lastTime;
};
