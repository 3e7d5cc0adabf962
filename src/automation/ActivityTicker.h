#pragma once

#include "automation/ActivityLine.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

// Keeps a download's activity line current on a terminal, "Downloading… 0:07 elapsed" or
// "Converting to MP4… 42% · 0:07 elapsed", redrawn
// once a second and at each change of step or progress; the step text carries the progress once
// there is some. Off a terminal it shows nothing and starts no thread. Thread-safe.
class ActivityTicker {
public:
    explicit ActivityTicker(ActivityLine& line);
    ~ActivityTicker(); // stops the redraws and clears the line

    void setStep(std::string step);

private:
    void draw();

    ActivityLine& m_line;
    std::chrono::steady_clock::time_point m_start;
    std::mutex m_mutex;
    std::condition_variable_any m_wake;
    std::string m_step = "Downloading\u2026";
    std::jthread m_thread;
};
