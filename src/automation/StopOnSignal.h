#pragma once

#include <atomic>
#include <stop_token>
#include <thread>

// Turns SIGINT and SIGTERM into a stop request for the running command. Construct it before any
// other thread starts (it blocks both signals, and threads inherit the mask); children get the
// default mask back from the process runner.
class StopOnSignal {
public:
    StopOnSignal();
    ~StopOnSignal();
    StopOnSignal(const StopOnSignal&) = delete;
    StopOnSignal& operator=(const StopOnSignal&) = delete;

    std::stop_token token() const { return m_source.get_token(); }
    bool interrupted() const { return m_interrupted.load(); }

    static constexpr int exitStatus = 130; // the shell's status for an interrupted command

private:
    std::stop_source m_source;
    std::atomic<bool> m_interrupted{false};
    std::jthread m_waiter;
};
