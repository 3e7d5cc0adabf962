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

// One pipe of a run; each end is closed on every path that does not hand it on.
struct Pipe {
    UniqueFd read;
    UniqueFd write;
};

Pipe makePipe() {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        throw std::system_error(errno, std::generic_category(), "pipe");
    return {UniqueFd(ends[0]), UniqueFd(ends[1])};
}

} // namespace

ChildProcess::ChildProcess(const std::filesystem::path& executable,
                           const std::vector<std::string>& arguments,
                           const std::vector<std::string>& environment,
                           const std::optional<std::filesystem::path>& currentDirectory,
                           std::chrono::milliseconds gracePeriod)
    : m_gracePeriod(gracePeriod) {
    Pipe out = makePipe();
    Pipe err = makePipe();
    Pipe control = makePipe();
    Pipe reports = makePipe();
    m_wake.reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!m_wake)
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
    setup.standardOutput = out.write.get();
    setup.standardError = err.write.get();
    setup.control = control.read.get();
    setup.reports = reports.write.get();
    setup.frontEnd = ::getpid();
    setup.gracePeriodMilliseconds = static_cast<int>(gracePeriod.count());

    const pid_t supervisor = ::fork();
    if (supervisor < 0)
        throw std::system_error(errno, std::generic_category(), "Could not launch " + program);
    if (supervisor == 0)
        ToolSupervisor::supervise(setup);

    m_supervisor = supervisor;
    m_stdout = std::move(out.read);
    m_stderr = std::move(err.read);
    m_control = std::move(control.write);
    m_reports = std::move(reports.read);
    // Our copies of the child's ends go, so the readers see end of file.
    out.write.reset();
    err.write.reset();
    control.read.reset();
    reports.write.reset();

    ToolSupervisor::Report report;
    ssize_t got;
    while ((got = ::read(m_reports.get(), &report, sizeof report)) < 0 && errno == EINTR) {
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
        m_control.reset();
    }
    if (m_supervisor > 0) {
        while (::waitpid(m_supervisor, nullptr, 0) < 0 && errno == EINTR) {
        }
        m_supervisor = -1;
    }
    m_reports.reset();
    m_wake.reset();
}

void ChildProcess::closeReadEnds() noexcept {
    m_stdout.reset();
    m_stderr.reset();
}

void ChildProcess::readReport() {
    ToolSupervisor::Report report;
    ssize_t got;
    while ((got = ::read(m_reports.get(), &report, sizeof report)) < 0 && errno == EINTR) {
    }
    if (got != static_cast<ssize_t>(sizeof report)) {
        m_reports.reset(); // the supervisor is gone
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
    pollfd fds[4] = {{m_stdout.get(), POLLIN, 0},
                     {m_stderr.get(), POLLIN, 0},
                     {m_reports.get(), POLLIN, 0},
                     {m_wake.get(), POLLIN, 0}};
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
        fds[2].fd = m_reports.get();
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
            [[maybe_unused]] ssize_t ignored = ::read(m_wake.get(), &count, sizeof count);
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
    while (!m_status && m_reports)
        readReport();
    int supervisorStatus = 0;
    {
        std::lock_guard lock(m_mutex);
        m_control.reset();
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
        if (m_control) {
            const char request = ToolSupervisor::stopRequest;
            [[maybe_unused]] ssize_t ignored = ::write(m_control.get(), &request, 1);
        }
    }
    if (m_wake) {
        const std::uint64_t one = 1;
        [[maybe_unused]] ssize_t ignored = ::write(m_wake.get(), &one, sizeof one);
    }
}
