#include "support/CliRun.h"

#include "support/FakeTool.h"
#include "support/Sandbox.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <thread>

extern char** environ;

std::filesystem::path cliPath() {
    const char* override = std::getenv("TALLOWIN_TEST_CLI");
    return override && *override ? std::filesystem::path(override) : std::filesystem::path(TALLOWIN_CLI_PATH);
}

CliResult runCli(const std::vector<std::string>& arguments,
                 const std::function<bool(const std::string& errSoFar)>& interruptWhen,
                 std::chrono::seconds timeout) {
    return runProgram(cliPath().string(), arguments, interruptWhen, timeout);
}

CliResult runProgram(const std::string& program,
                     const std::vector<std::string>& arguments,
                     const std::function<bool(const std::string& errSoFar)>& interruptWhen,
                     std::chrono::seconds timeout) {
    // Outputs go to files rather than pipes, so nothing here has to drain them while waiting.
    const std::filesystem::path folder = Sandbox::makeTempFolder("cli");
    const std::string outPath = (folder / "out").string();
    const std::string errPath = (folder / "err").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<std::string> words{program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int error = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0)
        throw std::runtime_error("cannot start " + program);

    const auto deadline = std::chrono::steady_clock::now() + timeout;
    bool interrupted = false;
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            break;
        }
        if (interruptWhen && !interrupted && interruptWhen(readFile(errPath))) {
            kill(pid, SIGINT);
            interrupted = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    CliResult result;
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = readFile(outPath);
    result.err = readFile(errPath);
    return result;
}
