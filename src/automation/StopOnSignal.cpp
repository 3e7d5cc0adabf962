#include "automation/StopOnSignal.h"

#include <csignal>
#include <ctime>

#include <pthread.h>

namespace {

sigset_t stopSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (int number : {SIGHUP, SIGINT, SIGTERM, SIGQUIT})
        sigaddset(&set, number);
    return set;
}

} // namespace

StopOnSignal::StopOnSignal() {
    sigset_t set = stopSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    m_waiter = std::jthread([this, set](std::stop_token ending) {
        // Polls so that the waiter ends with us even when no signal ever comes.
        timespec tick{0, 100'000'000};
        while (!ending.stop_requested()) {
            const int number = sigtimedwait(&set, nullptr, &tick);
            if (number > 0) {
                // The first one names the exit status; later ones only repeat the request.
                int none = 0;
                m_signal.compare_exchange_strong(none, number);
                m_source.request_stop();
            }
        }
    });
}

StopOnSignal::~StopOnSignal() {
    m_waiter.request_stop();
    m_waiter.join();
}
