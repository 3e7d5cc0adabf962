#include "support/LogCapture.h"

#include "ytdlp/YtdlpLog.h"

#include <spdlog/logger.h>
#include <spdlog/sinks/base_sink.h>

#include <algorithm>
#include <mutex>

struct LogCapture::Sink : spdlog::sinks::base_sink<std::mutex> {
    std::vector<Line> captured;
    mutable std::mutex linesMutex;

    void sink_it_(const spdlog::details::log_msg& message) override {
        std::lock_guard lock(linesMutex);
        auto level = spdlog::level::to_string_view(message.level);
        captured.push_back(
            {std::string(level.data(), level.size()), std::string(message.payload.data(), message.payload.size())});
    }
    void flush_() override {}
};

LogCapture::LogCapture() : m_sink(std::make_shared<Sink>()) {
    ytdlpLog()->sinks().push_back(m_sink);
}

LogCapture::~LogCapture() {
    auto& sinks = ytdlpLog()->sinks();
    sinks.erase(std::remove(sinks.begin(), sinks.end(), m_sink), sinks.end());
}

std::vector<LogCapture::Line> LogCapture::lines() const {
    std::lock_guard lock(m_sink->linesMutex);
    return m_sink->captured;
}

std::vector<std::string> LogCapture::texts() const {
    std::vector<std::string> result;
    for (const Line& line : lines())
        result.push_back(line.text);
    return result;
}

bool LogCapture::contains(const std::string& text) const {
    auto all = texts();
    return std::find(all.begin(), all.end(), text) != all.end();
}
