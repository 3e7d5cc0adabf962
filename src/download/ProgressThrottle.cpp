#include "download/ProgressThrottle.h"

ProgressThrottle::ProgressThrottle(DownloadProgressHandler handler, Clock clock, std::chrono::milliseconds interval)
    : m_handler(std::move(handler)), m_clock(std::move(clock)), m_interval(interval) {}

void ProgressThrottle::report(const DownloadProgress& progress) {
    if (!m_handler)
        return;
    const auto now = m_clock();
    const bool changed = !m_last || m_last->phase != progress.phase || m_last->stream != progress.stream;
    if (!changed && now - m_lastTime < m_interval)
        return;
    m_last = progress;
    m_lastTime = now;
    m_handler(progress);
}
