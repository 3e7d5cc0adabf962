#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <stop_token>
#include <thread>

// Watches the free space of the file system that holds a download's work folder while the
// download runs, so that a transfer without end (or a file larger than the disk) stops before the
// disk is full rather than after. Below the floor it requests a stop of the run's token.
class FreeSpaceWatch {
public:
    static constexpr std::chrono::milliseconds interval{500};

    // Looks once at once, then every interval on a thread of its own, until destruction or until
    // a stop of outer or of the run. Never throws for what it watches: a file system that cannot
    // be asked counts as roomy.
    FreeSpaceWatch(std::filesystem::path folder, std::stop_token outer);
    // Ends the watching thread (within a moment: its wait ends on the stop).
    ~FreeSpaceWatch() = default;
    FreeSpaceWatch(const FreeSpaceWatch&) = delete;
    FreeSpaceWatch& operator=(const FreeSpaceWatch&) = delete;

    // The run's token: stopped by outer's stop and by the watch.
    std::stop_token stopToken() const { return m_run.get_token(); }

    // Whether the space fell below the floor during the run, or is below it now. Thread-safe.
    bool ranLow() const;

    // 1 GiB or 2 % of the file system's size, whichever is smaller: enough to finish writing what
    // is in flight, and never most of a small disk. Pure.
    static std::uintmax_t floorFor(std::uintmax_t size);

private:
    // Forwards the caller's stop to the run's token.
    struct Forward {
        std::stop_source run;
        void operator()() { run.request_stop(); }
    };

    bool lowNow() const;
    void watch(std::stop_token own);

    std::filesystem::path m_folder;
    std::stop_source m_run;
    std::stop_callback<Forward> m_forward;
    std::atomic<bool> m_ranLow{false};
    std::mutex m_mutex;
    std::condition_variable_any m_wake;
    std::jthread m_thread; // last: starts when everything it uses exists, ends before it goes
};
