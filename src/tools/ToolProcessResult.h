#pragma once

#include <cstdint>
#include <string>

// One tool run's result. The texts are whole and decoded as UTF-8, every ill-formed
// sequence replaced by U+FFFD. (The fields cannot be named stdout/stderr: those are
// macros of <cstdio>.)
struct ToolProcessResult {
    std::int32_t status = 0;    // exit code, or the signal number for a child a signal ended
    std::string standardOutput; // the whole standard output
    std::string standardError;  // the whole standard error
    bool timedOut = false;      // stopped because it printed nothing for the run's silence limit
};
