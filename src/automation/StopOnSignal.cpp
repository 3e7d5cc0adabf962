#include "automation/StopOnSignal.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <system_error>

namespace {

sigset_t stopSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (int number : {SIGHUP, SIGINT, SIGTERM, SIGQUIT})
        sigaddset(&set, number);
    return set;
}

UniqueFd checked(int fd, const char* what) {
    if (fd < 0)
        throw std::system_error(errno, std::generic_category(), what);
    return UniqueFd(fd);
}

} // namespace

StopOnSignal::StopOnSignal() {
    const sigset_t set = stopSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    m_signals = checked(::signalfd(-1, &set, SFD_CLOEXEC), "signalfd");
    m_wake = checked(::eventfd(0, EFD_CLOEXEC), "eventfd");
    m_waiter = std::jthread([this] {
        // Sleeps until a signal arrives or the destructor writes the wake descriptor: nothing
        // polls, so the end of a command never waits for a tick.
        for (;;) {
            pollfd ready[2] = {{m_signals.get(), POLLIN, 0}, {m_wake.get(), POLLIN, 0}};
            if (::poll(ready, 2, -1) < 0) {
                if (errno == EINTR)
                    continue;
                return;
            }
            if (ready[1].revents != 0)
                return;
            signalfd_siginfo info{};
            if (::read(m_signals.get(), &info, sizeof info) != static_cast<ssize_t>(sizeof info))
                continue;
            // The first one names the exit status; later ones only repeat the request.
            int none = 0;
            m_signal.compare_exchange_strong(none, static_cast<int>(info.ssi_signo));
            m_source.request_stop();
        }
    });
}

StopOnSignal::~StopOnSignal() {
    const std::uint64_t one = 1;
    // An eventfd write of 1 cannot fail short of a counter at its maximum, which nothing reaches.
    [[maybe_unused]] const ssize_t written = ::write(m_wake.get(), &one, sizeof one);
    m_waiter.join();
}
