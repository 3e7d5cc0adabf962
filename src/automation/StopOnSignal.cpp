#include "automation/StopOnSignal.h"

#include <csignal>
#include <ctime>

#include <pthread.h>

namespace {

sigset_t stopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
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
            if (sigtimedwait(&set, nullptr, &tick) > 0) {
                m_interrupted = true;
                m_source.request_stop();
            }
        }
    });
}

StopOnSignal::~StopOnSignal() {
    m_waiter.request_stop();
    m_waiter.join();
}
