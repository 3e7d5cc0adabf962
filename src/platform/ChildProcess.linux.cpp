#include "platform/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <memory>
#include <system_error>

namespace {

class SpawnSetup {
public:
    SpawnSetup() {
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attributes);
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
};

void check(int error, const char* what) {
    if (error != 0)
        throw std::system_error(error, std::generic_category(), what);
}

void closeQuietly(int& fd) noexcept {
    if (fd >= 0)
        ::close(fd); // never retried: on Linux the descriptor is gone even after EINTR
    fd = -1;
}

std::vector<char*> pointers(const std::vector<std::string>& texts) {
    std::vector<char*> result;
    result.reserve(texts.size() + 1);
    for (const std::string& text : texts)
        result.push_back(const_cast<char*>(text.c_str()));
    result.push_back(nullptr);
    return result;
}

// Collects one stream in mapped chunks of growing size, then hands it over as one string. Each
// chunk is unmapped as soon as it is copied out, so a large capture peaks near its own size
// instead of the two or three times that growing a string in place costs.
class ChunkedBuffer {
public:
    ~ChunkedBuffer() {
        for (Chunk& chunk : m_chunks)
            ::munmap(chunk.data, chunk.capacity);
    }

    // Room for the next read; at least one byte.
    std::pair<char*, size_t> space() {
        if (m_chunks.empty() || m_chunks.back().size == m_chunks.back().capacity) {
            size_t capacity = m_chunks.empty() ? 64 * 1024 : std::min<size_t>(m_chunks.back().capacity * 2, 4 << 20);
            void* data = ::mmap(nullptr, capacity, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            if (data == MAP_FAILED)
                throw std::system_error(errno, std::generic_category(), "mmap");
            m_chunks.push_back({static_cast<char*>(data), 0, capacity});
        }
        Chunk& last = m_chunks.back();
        return {last.data + last.size, last.capacity - last.size};
    }

    void commit(size_t count) { m_chunks.back().size += count; }

    void moveInto(std::string& target) {
        size_t total = 0;
        for (const Chunk& chunk : m_chunks)
            total += chunk.size;
        target.reserve(target.size() + total);
        for (Chunk& chunk : m_chunks) {
            target.append(chunk.data, chunk.size);
            ::munmap(chunk.data, chunk.capacity);
        }
        m_chunks.clear();
    }

private:
    struct Chunk {
        char* data;
        size_t size;
        size_t capacity;
    };
    std::vector<Chunk> m_chunks;
};

} // namespace

ChildProcess::ChildProcess(const std::filesystem::path& executable,
                           const std::vector<std::string>& arguments,
                           const std::vector<std::string>& environment,
                           const std::optional<std::filesystem::path>& currentDirectory) {
    int out[2];
    int err[2];
    if (::pipe2(out, O_CLOEXEC) != 0)
        throw std::system_error(errno, std::generic_category(), "pipe");
    if (::pipe2(err, O_CLOEXEC) != 0) {
        int error = errno;
        ::close(out[0]);
        ::close(out[1]);
        throw std::system_error(error, std::generic_category(), "pipe");
    }
    m_stdout = out[0];
    m_stderr = err[0];
    int outWrite = out[1];
    int errWrite = err[1];

    try {
        SpawnSetup setup;
        check(posix_spawn_file_actions_addopen(&setup.actions, 0, "/dev/null", O_RDONLY, 0), "spawn setup");
        check(posix_spawn_file_actions_adddup2(&setup.actions, outWrite, 1), "spawn setup");
        check(posix_spawn_file_actions_adddup2(&setup.actions, errWrite, 2), "spawn setup");
        // Descriptors opened elsewhere without O_CLOEXEC must not leak into tools either.
        check(posix_spawn_file_actions_addclosefrom_np(&setup.actions, 3), "spawn setup");
        if (currentDirectory)
            check(posix_spawn_file_actions_addchdir_np(&setup.actions, currentDirectory->c_str()), "spawn setup");

        // A new process group, so that termination reaches the tools the child starts itself.
        check(posix_spawnattr_setpgroup(&setup.attributes, 0), "spawn setup");
        sigset_t none;
        sigemptyset(&none);
        check(posix_spawnattr_setsigmask(&setup.attributes, &none), "spawn setup");
        sigset_t all;
        sigfillset(&all);
        check(posix_spawnattr_setsigdefault(&setup.attributes, &all), "spawn setup");
        check(posix_spawnattr_setflags(&setup.attributes,
                                       POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF),
                "spawn setup");

        std::string program = executable.string();
        std::vector<std::string> argv{program};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        auto argvPointers = pointers(argv);
        auto envPointers = pointers(environment);
        pid_t pid = -1;
        int error = posix_spawn(&pid, program.c_str(), &setup.actions, &setup.attributes, argvPointers.data(),
                                envPointers.data());
        if (error != 0)
            throw std::system_error(error, std::generic_category(), "Could not launch " + program);
        m_pid = pid;
    } catch (...) {
        closeQuietly(outWrite);
        closeQuietly(errWrite);
        closeReadEnds();
        throw;
    }
    // Our copies of the write ends go, so the readers see end of file when the child's go.
    closeQuietly(outWrite);
    closeQuietly(errWrite);
}

ChildProcess::~ChildProcess() {
    closeReadEnds();
    if (m_pid > 0 && !m_reaped) {
        ::kill(-m_pid, SIGKILL);
        int status;
        while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
}

void ChildProcess::closeReadEnds() noexcept {
    closeQuietly(m_stdout);
    closeQuietly(m_stderr);
}

void ChildProcess::readToEnd(std::string& standardOutput,
                             std::string& standardError,
                             int silenceLimitMilliseconds,
                             const std::function<void()>& onSilence) {
    pollfd fds[2] = {{m_stdout, POLLIN, 0}, {m_stderr, POLLIN, 0}};
    ChunkedBuffer buffers[2];
    int open = 2;
    bool silenced = false;
    while (open > 0) {
        int ready = ::poll(fds, 2, silenced ? -1 : silenceLimitMilliseconds);
        if (ready == 0) {
            silenced = true;
            if (onSilence)
                onSilence();
            continue;
        }
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            throw std::system_error(errno, std::generic_category(), "poll");
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0)
                continue;
            auto [space, room] = buffers[i].space();
            ssize_t count = ::read(fds[i].fd, space, room);
            if (count > 0) {
                buffers[i].commit(static_cast<size_t>(count));
            } else if (count == 0 || (errno != EINTR && errno != EAGAIN)) {
                fds[i].fd = -1; // end of file (or a read error: what arrived is the result)
                --open;
            }
        }
    }
    closeReadEnds();
    buffers[0].moveInto(standardOutput);
    buffers[1].moveInto(standardError);
}

int ChildProcess::wait() {
    // Wait without reaping first, so that terminate() never signals a pid that was reused.
    siginfo_t info{};
    while (::waitid(P_PID, static_cast<id_t>(m_pid), &info, WEXITED | WNOWAIT) < 0) {
        if (errno != EINTR)
            throw std::system_error(errno, std::generic_category(), "waitid");
    }
    int status = 0;
    {
        std::lock_guard lock(m_mutex);
        while (::waitpid(m_pid, &status, 0) < 0) {
            if (errno != EINTR)
                throw std::system_error(errno, std::generic_category(), "waitpid");
        }
        m_reaped = true;
    }
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return WTERMSIG(status);
    return status;
}

void ChildProcess::terminate() noexcept {
    std::lock_guard lock(m_mutex);
    if (m_pid > 0 && !m_reaped)
        ::kill(-m_pid, SIGTERM);
}
