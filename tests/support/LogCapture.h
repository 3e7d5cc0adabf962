#pragma once

#include <memory>
#include <string>
#include <vector>

// Collects the lines written to ytdlpLog() while it lives, with their level
// ("info", "error", ...).
class LogCapture {
public:
    struct Line {
        std::string level;
        std::string text;
    };

    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<Line> lines() const;
    std::vector<std::string> texts() const;
    bool contains(const std::string& text) const; // an exact line

private:
    struct Sink;
    std::shared_ptr<Sink> m_sink;
};
