#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

struct CliResult {
    int exitStatus = -1; // 128 + signal for a child that a signal ended
    std::string out;
    std::string err;
};

// The built tallowin-cli of the configured package folder; TALLOWIN_TEST_CLI overrides it.
std::filesystem::path cliPath();

// Runs the built tallowin-cli with our whole environment (so it sees the sandbox's package, data
// and cache folders and any host overrides) and collects both outputs. interruptWhen, when
// given, is polled while the child runs; SIGINT is sent once it says true. The child is killed
// after timeout (the result then reports exit status 128 + 9).
CliResult runCli(const std::vector<std::string>& arguments,
                 const std::function<bool(const std::string& errSoFar)>& interruptWhen = {},
                 std::chrono::seconds timeout = std::chrono::seconds(180));

// The same for any program (for example script(1) around the command, to give it a terminal).
CliResult runProgram(const std::string& program,
                     const std::vector<std::string>& arguments,
                     const std::function<bool(const std::string& errSoFar)>& interruptWhen = {},
                     std::chrono::seconds timeout = std::chrono::seconds(180));
