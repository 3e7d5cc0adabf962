#include "automation/ActivityTicker.h"

#include "download/DownloadProgressText.h"

namespace {

// A step with only its name ends in "…", which sets the time off well enough; progress needs " · ".
std::string lineText(const std::string& step, std::chrono::steady_clock::duration elapsed) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(elapsed).count();
    const bool nameOnly = step.ends_with("\u2026");
    return step + (nameOnly ? " " : " \u00b7 ") + DownloadProgressText::duration(seconds) + " elapsed";
}

} // namespace

ActivityTicker::ActivityTicker(ActivityLine& line) : m_line(line), m_start(std::chrono::steady_clock::now()) {
    if (!m_line.isTerminal())
        return;
    m_thread = std::jthread([this](std::stop_token stop) {
        std::unique_lock lock(m_mutex);
        while (!stop.stop_requested()) {
            draw();
            m_wake.wait_for(lock, stop, std::chrono::seconds(1), [] { return false; });
        }
    });
}

ActivityTicker::~ActivityTicker() {
    if (m_thread.joinable()) {
        m_thread.request_stop();
        m_thread.join();
    }
    m_line.clear();
}

void ActivityTicker::setStep(std::string step) {
    if (!m_line.isTerminal())
        return;
    std::lock_guard lock(m_mutex);
    m_step = std::move(step);
    draw();
}

void ActivityTicker::draw() {
    m_line.show(lineText(m_step, std::chrono::steady_clock::now() - m_start));
}
