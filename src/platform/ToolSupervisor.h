#pragma once

#include <sys/types.h>

#include <cstdint>

// The per-run supervisor: a forked copy of the front end that starts one tool as the leader of
// a new process group and owns that group for the whole run. It exists so that a tool ends with
// its front end however the front end ends: the supervisor notices the front end's death (its
// control pipe reaches end of file, and a parent-death signal) and ends the group with SIGTERM,
// a grace period, then SIGKILL. It also stops and continues the group when a terminal stops and
// continues the front end's job (Ctrl-Z, fg), since the tools' group is not the terminal's.
namespace ToolSupervisor {

// One message from the supervisor to the runner, written whole (far below PIPE_BUF).
struct Report {
    enum Kind : std::int32_t { launched = 'L', launchFailed = 'F', exited = 'X', signalled = 'S' };
    std::int32_t kind = 0;
    std::int32_t value = 0; // the tool's pid, errno, exit code or signal number
};

// The byte the runner writes to ask for a stop; end of file on the control pipe means the run
// (or the whole front end) is over.
inline constexpr char stopRequest = 'T';

// Everything the supervisor needs, prepared before fork(): after it only async-signal-safe
// calls are allowed, so nothing here may allocate.
struct Setup {
    const char* executable = nullptr;
    char* const* arguments = nullptr;       // argv, program name first, null-terminated
    char* const* environment = nullptr;     // null-terminated
    const char* currentDirectory = nullptr; // null: inherit
    int standardOutput = -1;                // write ends of the runner's pipes
    int standardError = -1;
    int control = -1;   // read end: stop requests and end of file
    int reports = -1;   // write end: Report records
    pid_t frontEnd = 0; // the process that forked us; if it is gone already, nothing starts
    int gracePeriodMilliseconds = 1000;
};

// The supervisor's whole life, in the child of fork(). Never returns.
[[noreturn]] void supervise(const Setup& setup) noexcept;

} // namespace ToolSupervisor
