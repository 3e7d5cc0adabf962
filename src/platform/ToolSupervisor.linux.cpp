#include "platform/ToolSupervisor.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

// Everything below runs in the child of fork() of a possibly multithreaded process: system calls
// only, no allocation, no locks, no exceptions.

namespace ToolSupervisor {

namespace {

void send(int fd, Report::Kind kind, int value) noexcept {
    const Report report{kind, value};
    while (::write(fd, &report, sizeof report) < 0 && errno == EINTR) {
    }
}

long long nowMilliseconds() noexcept {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
}

// Moves the descriptors we keep above the standard ones (so no dup2 below can clobber one of
// them), closes every other descriptor the front end had, and puts /dev/null at 0, 1 and 2, so
// that every descriptor opened later lies above them too.
void keepOnly(int* fds, int count) noexcept {
    for (int i = 0; i < count; ++i)
        fds[i] = ::fcntl(fds[i], F_DUPFD_CLOEXEC, 3);
    int sorted[8];
    std::copy(fds, fds + count, sorted);
    std::sort(sorted, sorted + count);
    unsigned first = 0;
    for (int i = 0; i < count; ++i) {
        const auto kept = static_cast<unsigned>(sorted[i]);
        if (kept > first)
            ::close_range(first, kept - 1, 0);
        first = kept + 1;
    }
    ::close_range(first, ~0U, 0);
    const int null = ::open("/dev/null", O_RDONLY); // 0, the lowest free descriptor
    ::dup2(null, 1);
    ::dup2(null, 2);
}

void setDisposition(int signal, void (*handler)(int)) noexcept {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
}

// The tool's side of the second fork: its own process group, default signal handling, standard
// input from /dev/null (already at 0), our pipes as its outputs, nothing else open.
[[noreturn]] void execTool(const Setup& setup, int out, int err, int execReport) noexcept {
    ::setpgid(0, 0);
    for (int signal = 1; signal < NSIG; ++signal)
        setDisposition(signal, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);

    ::dup2(out, 1);
    ::dup2(err, 2);
    // Everything above 2 goes but the exec report, which closes itself on a successful exec.
    if (execReport > 3)
        ::close_range(3, static_cast<unsigned>(execReport) - 1, 0);
    ::close_range(static_cast<unsigned>(execReport) + 1, ~0U, 0);

    if (setup.currentDirectory == nullptr || ::chdir(setup.currentDirectory) == 0)
        ::execve(setup.executable, setup.arguments, setup.environment);
    const int error = errno;
    while (::write(execReport, &error, sizeof error) < 0 && errno == EINTR) {
    }
    ::_exit(127);
}

} // namespace

void supervise(const Setup& setup) noexcept {
    // Direct system calls: a sanitizer's prctl wrapper renames its thread record under a lock that
    // another thread of the front end may have held at the fork, and would wait for it forever.
    ::syscall(SYS_prctl, PR_SET_NAME, "tallowin-superv", 0L, 0L, 0L);
    // The parent-death signal ends the group even if the control pipe were held open elsewhere.
    ::syscall(SYS_prctl, PR_SET_PDEATHSIG, static_cast<long>(SIGTERM), 0L, 0L, 0L);
    if (::getppid() != setup.frontEnd)
        ::_exit(0);

    int fds[4] = {setup.standardOutput, setup.standardError, setup.control, setup.reports};
    keepOnly(fds, 4);
    const int out = fds[0];
    const int err = fds[1];
    const int control = fds[2];
    const int reports = fds[3];

    // Terminal signals are the front end's to judge; it asks for a stop through the control pipe.
    for (int signal : {SIGINT, SIGQUIT, SIGHUP, SIGPIPE})
        setDisposition(signal, SIG_IGN);
    setDisposition(SIGCHLD, SIG_DFL); // a front end that ignores it would make waitid fail
    sigset_t watched;
    sigemptyset(&watched);
    for (int signal : {SIGCHLD, SIGTERM, SIGTSTP, SIGTTIN, SIGTTOU, SIGCONT})
        sigaddset(&watched, signal);
    ::sigprocmask(SIG_SETMASK, &watched, nullptr);
    const int signals = ::signalfd(-1, &watched, SFD_CLOEXEC | SFD_NONBLOCK);

    int execReport[2];
    if (::pipe2(execReport, O_CLOEXEC) != 0) {
        send(reports, Report::launchFailed, errno);
        ::_exit(0);
    }
    const pid_t tool = ::fork();
    if (tool == 0)
        execTool(setup, out, err, execReport[1]);
    if (tool < 0) {
        send(reports, Report::launchFailed, errno);
        ::_exit(0);
    }
    ::setpgid(tool, tool); // also here, so the group exists before we ever signal it
    ::close(execReport[1]);
    ::close(out);
    ::close(err);
    int launchError = 0;
    ssize_t got;
    while ((got = ::read(execReport[0], &launchError, sizeof launchError)) < 0 && errno == EINTR) {
    }
    ::close(execReport[0]);
    if (got == static_cast<ssize_t>(sizeof launchError)) {
        while (::waitpid(tool, nullptr, 0) < 0 && errno == EINTR) {
        }
        send(reports, Report::launchFailed, launchError);
        ::_exit(0);
    }
    send(reports, Report::launched, tool);

    // The tool is reaped only at the very end: until then its pid, and so the group's id, cannot
    // be reused, and signalling the group can never reach a stranger.
    bool toolEnded = false;
    bool controlOpen = true;
    bool stopping = false;
    bool killed = false;
    long long killAt = 0;

    const auto checkTool = [&] {
        siginfo_t ended{};
        if (!toolEnded && ::waitid(P_PID, static_cast<id_t>(tool), &ended, WEXITED | WNOHANG | WNOWAIT) == 0 &&
            ended.si_pid == tool) {
            toolEnded = true;
            send(reports, ended.si_code == CLD_EXITED ? Report::exited : Report::signalled, ended.si_status);
        }
    };

    const auto beginStop = [&] {
        if (stopping)
            return;
        stopping = true;
        ::kill(-tool, SIGTERM);
        ::kill(-tool, SIGCONT); // a stopped tool must be able to act on SIGTERM
        killAt = nowMilliseconds() + setup.gracePeriodMilliseconds;
    };

    for (;;) {
        if (toolEnded && !controlOpen) {
            // The run is over: whatever is left in the group is a stray.
            ::kill(-tool, SIGKILL);
            while (::waitpid(tool, nullptr, 0) < 0 && errno == EINTR) {
            }
            ::_exit(0);
        }

        int timeout = -1;
        if (stopping && !killed)
            timeout = static_cast<int>(std::max(0LL, killAt - nowMilliseconds()));
        if (signals < 0) {
            // Without a signalfd (out of descriptors) the tool's end is polled for instead.
            checkTool();
            timeout = timeout < 0 ? 100 : std::min(timeout, 100);
        }
        pollfd polled[2] = {{signals, POLLIN, 0}, {controlOpen ? control : -1, POLLIN, 0}};
        const int ready = ::poll(polled, 2, timeout);
        if (ready < 0 && errno != EINTR)
            ::_exit(1);

        if (stopping && !killed && nowMilliseconds() >= killAt) {
            ::kill(-tool, SIGKILL);
            killed = true;
        }

        if (ready > 0 && (polled[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            char request = 0;
            const ssize_t count = ::read(control, &request, 1);
            if (count == 0 || (count < 0 && errno != EINTR && errno != EAGAIN)) {
                controlOpen = false;
                ::close(control);
                if (!toolEnded)
                    beginStop(); // the front end is gone mid-run
            } else if (count == 1 && request == stopRequest) {
                beginStop();
            }
        }

        if (ready > 0 && (polled[0].revents & POLLIN) != 0) {
            signalfd_siginfo info{};
            while (::read(signals, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
                switch (info.ssi_signo) {
                case SIGCHLD:
                    checkTool();
                    break;
                case SIGTERM:
                    beginStop();
                    break;
                case SIGTSTP:
                case SIGTTIN:
                case SIGTTOU:
                    // The terminal stopped the front end's job: the tools stop with it.
                    if (!stopping)
                        ::kill(-tool, SIGSTOP);
                    ::raise(SIGSTOP);
                    break;
                case SIGCONT:
                    ::kill(-tool, SIGCONT);
                    break;
                default:
                    break;
                }
            }
        }
    }
}

} // namespace ToolSupervisor
