#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

// What the process table says about a front end's tools: every process of a session (by
// session id, not by name), read from /proc. A fault test starts the front end in a session of
// its own, so whatever it left behind is found there even after the front end is gone.
struct ProcessEntry {
    pid_t pid = 0;
    pid_t parent = 0;
    pid_t group = 0;
    char state = '?';    // R, S, D, T (stopped), Z (zombie), ...
    std::string command; // the comm name
};

namespace ProcessTable {

// Live processes of the session (zombies excluded: they hold nothing and vanish when reaped).
std::vector<ProcessEntry> inSession(pid_t session);

// Waits (polling, at most `limit`) until no live process of the session is left; returns what
// is still there at the end (empty on success).
std::vector<ProcessEntry> waitUntilEmpty(pid_t session, std::chrono::milliseconds limit);

// A one-line description of the entries, for a failure message.
std::string describe(const std::vector<ProcessEntry>& entries);

} // namespace ProcessTable

// A program started as the leader of a new session and process group, its outputs in files.
// The destructor kills whatever is left of the session, so a failing test leaves no orphans.
class SessionProgram {
public:
    SessionProgram(const std::string& program, const std::vector<std::string>& arguments);
    ~SessionProgram();
    SessionProgram(const SessionProgram&) = delete;
    SessionProgram& operator=(const SessionProgram&) = delete;

    pid_t pid() const { return m_pid; } // also the session and group id

    // Sends the signal to the program alone, or to its whole process group (as a terminal does).
    void signal(int number) const;
    void signalGroup(int number) const;

    // Waits at most `limit` for the program to end; the exit status (128 + signal for one a
    // signal ended), or -1 when it is still running.
    int waitFor(std::chrono::milliseconds limit);

    // Polls (at most `limit`) until standard error contains the text.
    bool waitForError(const std::string& text, std::chrono::milliseconds limit) const;

    std::string out() const;
    std::string err() const;

private:
    pid_t m_pid = -1;
    bool m_reaped = false;
    std::filesystem::path m_outPath;
    std::filesystem::path m_errPath;
};
