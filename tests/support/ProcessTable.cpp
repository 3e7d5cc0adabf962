#include "support/ProcessTable.h"

#include "support/FakeTool.h"
#include "support/Sandbox.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace fs = std::filesystem;

namespace ProcessTable {

std::vector<ProcessEntry> inSession(pid_t session) {
    std::vector<ProcessEntry> found;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::ifstream in(entry.path() / "stat");
        std::string stat;
        if (!std::getline(in, stat))
            continue; // gone meanwhile
        // "pid (comm) state ppid pgrp session ...": comm may hold spaces and parentheses.
        const auto open = stat.find('(');
        const auto close = stat.rfind(')');
        if (open == std::string::npos || close == std::string::npos)
            continue;
        ProcessEntry process;
        process.pid = std::stoi(stat.substr(0, open));
        process.command = stat.substr(open + 1, close - open - 1);
        std::istringstream rest(stat.substr(close + 2));
        pid_t processSession = 0;
        rest >> process.state >> process.parent >> process.group >> processSession;
        if (processSession == session && process.state != 'Z' && process.state != 'X')
            found.push_back(process);
    }
    return found;
}

std::vector<ProcessEntry> waitUntilEmpty(pid_t session, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        std::vector<ProcessEntry> left = inSession(session);
        if (left.empty() || std::chrono::steady_clock::now() >= deadline)
            return left;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

std::string describe(const std::vector<ProcessEntry>& entries) {
    std::string text;
    for (const ProcessEntry& process : entries) {
        text += (text.empty() ? "" : "; ") + std::to_string(process.pid) + " " + process.command + " (" +
                process.state + ", parent " + std::to_string(process.parent) + ", group " +
                std::to_string(process.group) + ")";
    }
    return text.empty() ? "none" : text;
}

} // namespace ProcessTable

SessionProgram::SessionProgram(const std::string& program, const std::vector<std::string>& arguments) {
    const fs::path folder = Sandbox::makeTempFolder("session");
    m_outPath = folder / "out";
    m_errPath = folder / "err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, m_outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, m_errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    std::vector<std::string> words{program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    const int error = posix_spawn(&m_pid, program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (error != 0)
        throw std::runtime_error("cannot start " + program);
}

SessionProgram::~SessionProgram() {
    // Whatever is left of the session goes, stopped processes too.
    for (const ProcessEntry& process : ProcessTable::inSession(m_pid))
        ::kill(process.pid, SIGKILL);
    if (!m_reaped) {
        ::kill(m_pid, SIGKILL);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
    }
}

void SessionProgram::signal(int number) const {
    ::kill(m_pid, number);
}

void SessionProgram::signalGroup(int number) const {
    ::kill(-m_pid, number);
}

int SessionProgram::waitFor(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_reaped = true;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

bool SessionProgram::waitForError(const std::string& text, std::chrono::milliseconds limit) const {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (err().find(text) == std::string::npos) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

std::string SessionProgram::out() const {
    return readFile(m_outPath);
}

std::string SessionProgram::err() const {
    return readFile(m_errPath);
}
