#pragma once

#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// One child process: started as the leader of a new process group, standard input from
// /dev/null, standard output and standard error to pipes whose read ends this object owns.
// Only descriptors 0, 1 and 2 reach the child; signal dispositions and mask are the defaults.
class ChildProcess {
public:
    // Throws std::system_error with posix_spawn's error when the child cannot be started.
    ChildProcess(const std::filesystem::path& executable,
                 const std::vector<std::string>& arguments,
                 const std::vector<std::string>& environment,
                 const std::optional<std::filesystem::path>& currentDirectory);
    // Kills and reaps a child that is still there, so no zombie or stray group outlives us.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Reads both pipes until each reaches end of file (every holder of the write end, the
    // child and any grandchild, has closed it), draining them concurrently. Blocks.
    // With a silence limit, onSilence is called (once) when neither pipe has delivered a byte
    // for that long.
    void readToEnd(std::string& standardOutput,
                   std::string& standardError,
                   int silenceLimitMilliseconds = -1,
                   const std::function<void()>& onSilence = {});

    // Waits for the child to end and reaps it: the exit code, or the number of the signal
    // that ended it. Blocks.
    int wait();

    // Sends SIGTERM to the child's process group unless the child has been reaped already.
    // Safe from any thread, at any time.
    void terminate() noexcept;

private:
    void closeReadEnds() noexcept;

    int m_pid = -1;
    int m_stdout = -1;
    int m_stderr = -1;
    std::mutex m_mutex; // guards m_reaped against terminate() on another thread
    bool m_reaped = false;
};
