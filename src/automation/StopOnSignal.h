#pragma once

#include "platform/UniqueFd.h"

#include <atomic>
#include <stop_token>
#include <thread>

// Turns SIGHUP, SIGINT, SIGTERM and SIGQUIT into a stop request for the running command, so that
// closing the terminal, Ctrl-C, Ctrl-\ or a kill all end the command's tools instead of leaving
// them behind. Construct it before any other thread starts (it blocks the four signals, and
// threads inherit the mask); children get the default mask back from the process runner. One
// per process: main makes it for whichever command runs. Throws std::system_error when the
// descriptors it waits on cannot be made.
class StopOnSignal {
public:
    StopOnSignal();
    // Wakes the waiter thread and joins it, at once. The signals stay blocked: one that
    // arrives from here until exit is left pending and cannot kill us mid-way through cleanup.
    ~StopOnSignal();
    StopOnSignal(const StopOnSignal&) = delete;
    StopOnSignal& operator=(const StopOnSignal&) = delete;

    std::stop_token token() const { return m_source.get_token(); }
    bool interrupted() const { return m_signal.load() != 0; }

    // The shell's status for a command a signal ended: 128 + the signal's number (130 for SIGINT,
    // 129 HUP, 131 QUIT, 143 TERM). Only meaningful once interrupted().
    int exitStatus() const { return 128 + m_signal.load(); }

private:
    std::stop_source m_source;
    std::atomic<int> m_signal{0};
    UniqueFd m_signals; // signalfd of the four signals
    UniqueFd m_wake;    // eventfd the destructor writes to end the waiter
    // Last: it is joined before the descriptors it waits on close.
    std::jthread m_waiter;
};
