#include "appcore/QuitOnSignal.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <stdexcept>
#include <system_error>

namespace {

// The handler's only state; a lock-free atomic is safe to read in a handler.
std::atomic<int> writeEnd{-1};
static_assert(std::atomic<int>::is_always_lock_free);

void onSignal(int number) {
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(number);
    // Non-blocking: with the socket full, the signals already queued quit the window anyway.
    [[maybe_unused]] const ssize_t written = ::write(writeEnd.load(), &byte, 1);
    errno = savedErrno;
}

} // namespace

QuitOnSignal::QuitOnSignal(QObject* parent) : QObject(parent) {
    if (writeEnd.load() != -1)
        throw std::logic_error("QuitOnSignal exists already");
    int ends[2];
    // Close-on-exec, so the tools we start do not inherit them.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, ends) != 0)
        throw std::system_error(errno, std::generic_category(), "socketpair");
    m_readEnd = ends[0];
    m_writeEnd = ends[1];
    writeEnd.store(m_writeEnd);

    m_notifier = new QSocketNotifier(m_readEnd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &QuitOnSignal::readPending);

    struct sigaction action {};
    action.sa_handler = &onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART; // the GUI thread's and the workers' system calls carry on
    for (size_t i = 0; i < std::size(handledSignals); ++i)
        ::sigaction(handledSignals[i], &action, &m_previous[i]);
}

QuitOnSignal::~QuitOnSignal() {
    for (size_t i = 0; i < std::size(handledSignals); ++i)
        ::sigaction(handledSignals[i], &m_previous[i], nullptr);
    writeEnd.store(-1);
    delete m_notifier;
    ::close(m_readEnd);
    ::close(m_writeEnd);
}

void QuitOnSignal::readPending() {
    unsigned char numbers[16];
    for (;;) {
        const ssize_t count = ::read(m_readEnd, numbers, sizeof numbers);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return; // drained (EAGAIN)
        for (ssize_t i = 0; i < count; ++i)
            emit received(numbers[i]);
    }
}
