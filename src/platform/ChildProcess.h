#pragma once

#include "platform/UniqueFd.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One child process: started through a per-run supervisor (see ToolSupervisor.h) as the leader
// of a new process group, standard input from /dev/null, standard output and standard error to
// pipes whose read ends this object owns. Only descriptors 0, 1 and 2 reach the child; signal
// dispositions and mask are the defaults. Whatever happens to us, the child's group ends with
// us: the supervisor sees our end and stops it.
class ChildProcess {
public:
    // Blocks until the child has been started (or could not be). Throws std::system_error with
    // the launch's error (exec, chdir, fork) when the child cannot be started.
    ChildProcess(const std::filesystem::path& executable,
                 const std::vector<std::string>& arguments,
                 const std::vector<std::string>& environment,
                 const std::optional<std::filesystem::path>& currentDirectory,
                 std::chrono::milliseconds gracePeriod);
    // A child still running is stopped (SIGTERM, the grace period, SIGKILL) and everything is
    // reaped, so no zombie or stray group outlives us. Blocks for at most the grace period.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Reads both pipes until each reaches end of file (every holder of the write end, the
    // child and any grandchild, has closed it), draining them concurrently. Blocks. With a
    // silence limit, onSilence is called (once) when neither pipe has delivered a byte for that
    // long. After a stop, reading gives up once the group has had its SIGKILL and a little
    // more: only a process outside the group could still hold a pipe then.
    // onChunk, when given, sees every piece read as it arrives: stream 0 is standard output,
    // 1 standard error.
    using ChunkHandler = std::function<void(int stream, std::string_view bytes)>;
    void readToEnd(std::string& standardOutput,
                   std::string& standardError,
                   std::optional<std::chrono::milliseconds> silenceLimit = std::nullopt,
                   const std::function<void()>& onSilence = {},
                   const ChunkHandler& onChunk = {});

    // Waits for the child to end: its exit code, or the number of the signal that ended it.
    // Blocks.
    int wait();

    // Asks for the child's group to stop: SIGTERM, then SIGKILL after the grace period. Safe
    // from any thread, at any time, any number of times; returns at once.
    void terminate() noexcept;

private:
    void readReport();
    void finish() noexcept;
    void closeReadEnds() noexcept;

    std::chrono::milliseconds m_gracePeriod;
    int m_supervisor = -1;
    UniqueFd m_stdout;
    UniqueFd m_stderr;
    UniqueFd m_reports; // the supervisor's reports; end of file when it is gone
    UniqueFd m_wake;    // an eventfd that wakes readToEnd() when a stop is requested
    std::optional<int> m_status;
    std::mutex m_mutex;                          // guards m_control against terminate() on another thread
    UniqueFd m_control;                          // stop requests; closing it ends the supervisor's watch
    std::atomic<long long> m_stopRequestedAt{0}; // steady-clock milliseconds, 0 while none
};
