#include "platform/ChildProcess.h"

#include "platform/ToolSupervisor.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <system_error>
#include <utility>

namespace {

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

long long steadyMilliseconds() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// After the group's SIGKILL, how long a pipe may stay open before reading gives up on it.
constexpr long long strayHolderAllowance = 1000;

// Collects one stream in mapped chunks of growing size, then hands it over as one string. Each
// chunk is unmapped as soon as it is copied out, so a large capture peaks near its own size
// instead of the two or three times that growing a string in place costs.
class ChunkedBuffer {
public:
    ChunkedBuffer() = default;
    ~ChunkedBuffer() {
        for (Chunk& chunk : m_chunks)
            ::munmap(chunk.data, chunk.capacity);
    }
    ChunkedBuffer(const ChunkedBuffer&) = delete;
    ChunkedBuffer& operator=(const ChunkedBuffer&) = delete;

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

// The four pipes of one run, closed on every path that does not hand them on.
struct RunPipes {
    int out[2] = {-1, -1};
    int err[2] = {-1, -1};
    int control[2] = {-1, -1};
    int reports[2] = {-1, -1};

    RunPipes() {
        for (int* pipe : {out, err, control, reports}) {
            if (::pipe2(pipe, O_CLOEXEC) != 0) {
                const int error = errno;
                closeAll();
                throw std::system_error(error, std::generic_category(), "pipe");
            }
        }
    }
    ~RunPipes() { closeAll(); }
    RunPipes(const RunPipes&) = delete;
    RunPipes& operator=(const RunPipes&) = delete;

    void closeAll() noexcept {
        for (int* pipe : {out, err, control, reports}) {
            closeQuietly(pipe[0]);
            closeQuietly(pipe[1]);
        }
    }
};

} // namespace

ChildProcess::ChildProcess(const std::filesystem::path& executable,
                           const std::vector<std::string>& arguments,
                           const std::vector<std::string>& environment,
                           const std::optional<std::filesystem::path>& currentDirectory,
                           std::chrono::milliseconds gracePeriod)
    : m_gracePeriod(gracePeriod) {
    RunPipes pipes;
    m_wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_wake < 0)
        throw std::system_error(errno, std::generic_category(), "eventfd");

    // Everything the supervisor reads is made now: after fork() it may not allocate.
    const std::string program = executable.string();
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    auto argvPointers = pointers(argv);
    auto envPointers = pointers(environment);
    const std::string directory = currentDirectory ? currentDirectory->string() : std::string();
    ToolSupervisor::Setup setup;
    setup.executable = program.c_str();
    setup.arguments = argvPointers.data();
    setup.environment = envPointers.data();
    setup.currentDirectory = currentDirectory ? directory.c_str() : nullptr;
    setup.standardOutput = pipes.out[1];
    setup.standardError = pipes.err[1];
    setup.control = pipes.control[0];
    setup.reports = pipes.reports[1];
    setup.frontEnd = ::getpid();
    setup.gracePeriodMilliseconds = static_cast<int>(gracePeriod.count());

    const pid_t supervisor = ::fork();
    if (supervisor < 0) {
        const int error = errno;
        closeQuietly(m_wake);
        throw std::system_error(error, std::generic_category(), "Could not launch " + program);
    }
    if (supervisor == 0)
        ToolSupervisor::supervise(setup);

    m_supervisor = supervisor;
    m_stdout = std::exchange(pipes.out[0], -1);
    m_stderr = std::exchange(pipes.err[0], -1);
    m_control = std::exchange(pipes.control[1], -1);
    m_reports = std::exchange(pipes.reports[0], -1);
    pipes.closeAll(); // our copies of the child's ends go, so the readers see end of file

    ToolSupervisor::Report report;
    ssize_t got;
    while ((got = ::read(m_reports, &report, sizeof report)) < 0 && errno == EINTR) {
    }
    if (got == static_cast<ssize_t>(sizeof report) && report.kind == ToolSupervisor::Report::launched)
        return;
    const int error = got == static_cast<ssize_t>(sizeof report) ? report.value : ECHILD;
    finish();
    throw std::system_error(error, std::generic_category(), "Could not launch " + program);
}

ChildProcess::~ChildProcess() {
    finish();
}

void ChildProcess::finish() noexcept {
    closeReadEnds();
    {
        // End of file tells the supervisor the run is over: it stops what is left and exits.
        std::lock_guard lock(m_mutex);
        closeQuietly(m_control);
    }
    if (m_supervisor > 0) {
        while (::waitpid(m_supervisor, nullptr, 0) < 0 && errno == EINTR) {
        }
        m_supervisor = -1;
    }
    closeQuietly(m_reports);
    closeQuietly(m_wake);
}

void ChildProcess::closeReadEnds() noexcept {
    closeQuietly(m_stdout);
    closeQuietly(m_stderr);
}

void ChildProcess::readReport() {
    ToolSupervisor::Report report;
    ssize_t got;
    while ((got = ::read(m_reports, &report, sizeof report)) < 0 && errno == EINTR) {
    }
    if (got != static_cast<ssize_t>(sizeof report)) {
        closeQuietly(m_reports); // the supervisor is gone
        return;
    }
    if (report.kind == ToolSupervisor::Report::exited || report.kind == ToolSupervisor::Report::signalled)
        m_status = report.value;
}

void ChildProcess::readToEnd(std::string& standardOutput,
                             std::string& standardError,
                             std::optional<std::chrono::milliseconds> silenceLimit,
                             const std::function<void()>& onSilence,
                             const ChunkHandler& onChunk) {
    ChunkedBuffer buffers[2];
    pollfd fds[4] = {{m_stdout, POLLIN, 0}, {m_stderr, POLLIN, 0}, {m_reports, POLLIN, 0}, {m_wake, POLLIN, 0}};
    int open = 2;
    long long lastOutput = steadyMilliseconds();
    bool silenced = false;
    while (open > 0) {
        const long long now = steadyMilliseconds();
        long long timeout = -1;
        if (silenceLimit && !silenced)
            timeout = std::max(0LL, lastOutput + silenceLimit->count() - now);
        if (const long long stopAt = m_stopRequestedAt.load(); stopAt != 0) {
            const long long giveUp = stopAt + m_gracePeriod.count() + strayHolderAllowance;
            if (now >= giveUp)
                break;
            timeout = timeout < 0 ? giveUp - now : std::min(timeout, giveUp - now);
        }
        fds[2].fd = m_reports;
        const int ready = ::poll(fds, 4, static_cast<int>(std::min<long long>(timeout, 1 << 30)));
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            throw std::system_error(errno, std::generic_category(), "poll");
        }
        if (ready == 0) {
            if (silenceLimit && !silenced && steadyMilliseconds() - lastOutput >= silenceLimit->count()) {
                silenced = true;
                if (onSilence)
                    onSilence();
            }
            continue;
        }
        if (fds[3].revents != 0) {
            std::uint64_t count;
            [[maybe_unused]] ssize_t ignored = ::read(m_wake, &count, sizeof count);
        }
        if (fds[2].revents != 0)
            readReport();
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0)
                continue;
            auto [space, room] = buffers[i].space();
            ssize_t count = ::read(fds[i].fd, space, room);
            if (count > 0) {
                buffers[i].commit(static_cast<size_t>(count));
                if (onChunk)
                    onChunk(i, std::string_view(space, static_cast<size_t>(count)));
                lastOutput = steadyMilliseconds();
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
    while (!m_status && m_reports >= 0)
        readReport();
    int supervisorStatus = 0;
    {
        std::lock_guard lock(m_mutex);
        closeQuietly(m_control);
    }
    while (::waitpid(m_supervisor, &supervisorStatus, 0) < 0) {
        if (errno != EINTR)
            throw std::system_error(errno, std::generic_category(), "waitpid");
    }
    m_supervisor = -1;
    if (m_status)
        return *m_status;
    // The supervisor itself was ended before it could report: its own end stands in.
    if (WIFSIGNALED(supervisorStatus))
        return WTERMSIG(supervisorStatus);
    return WIFEXITED(supervisorStatus) ? WEXITSTATUS(supervisorStatus) : supervisorStatus;
}

void ChildProcess::terminate() noexcept {
    long long expected = 0;
    m_stopRequestedAt.compare_exchange_strong(expected, steadyMilliseconds());
    {
        std::lock_guard lock(m_mutex);
        if (m_control >= 0) {
            const char request = ToolSupervisor::stopRequest;
            [[maybe_unused]] ssize_t ignored = ::write(m_control, &request, 1);
        }
    }
    if (m_wake >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] ssize_t ignored = ::write(m_wake, &one, sizeof one);
    }
}
