#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <stop_token>
#include <thread>
#include <vector>

// The worker threads of one model. Each run gets its own std::jthread and stop token; a run
// that was cancelled may still be winding down while a newer one starts, so several can live
// at once. Finished threads are joined (already returned, so at once) when the next run starts.
// Not thread-safe: owned and used by one GUI-thread object.
class BackgroundRuns {
public:
    BackgroundRuns() = default;
    // Requests a stop on every run, then joins them all. Blocks until each run's work returns:
    // a tool run ends on SIGTERM at once, an update past its last cancellation point finishes
    // its install (or revert), which is what quitting must allow.
    ~BackgroundRuns();
    BackgroundRuns(const BackgroundRuns&) = delete;
    BackgroundRuns& operator=(const BackgroundRuns&) = delete;

    // Starts work on a new thread and returns its stop source (to cancel just this run).
    // work must not throw; whatever it needs must be captured by value.
    std::stop_source start(std::function<void(std::stop_token)> work);

    // Requests a stop on every run without waiting.
    void stopAll();

private:
    struct Run {
        std::jthread thread;
        std::shared_ptr<std::atomic_bool> done;
    };
    void pruneFinished();

    std::vector<Run> m_runs;
};
