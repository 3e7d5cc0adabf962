#pragma once

#include "platform/OperationCancelled.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <stdexcept>
#include <stop_token>

// A stand-in for a blocking core operation, driven by the test: each call (on a model's worker
// thread) counts itself and waits until the test answers that call by its index, or, when stops
// are honoured, until its stop token fires (then onStop decides the ending, like the real core
// does). A call nobody answers gives up after 30 s so a broken test cannot hang.
template <typename Result> class ScriptedRuns {
public:
    Result wait(std::stop_token stopToken) {
        std::unique_lock lock(m_mutex);
        const int index = m_calls++;
        m_changed.notify_all();
        lock.unlock();
        std::stop_callback wake(stopToken, [this] {
            std::lock_guard guard(m_mutex);
            m_changed.notify_all();
        });
        lock.lock();
        const bool done = m_changed.wait_for(lock, std::chrono::seconds(30), [&] {
            return m_answers.count(index) || (m_honourStop && stopToken.stop_requested());
        });
        if (done && m_answers.count(index)) {
            std::function<Result()> answer = m_answers[index];
            lock.unlock();
            return answer();
        }
        ++m_stopsSeen;
        lock.unlock();
        if (done)
            return onStop();
        throw std::runtime_error("the test never answered");
    }

    void answer(int index, std::function<Result()> answer) {
        std::lock_guard guard(m_mutex);
        m_answers[index] = std::move(answer);
        m_changed.notify_all();
    }

    // false: a stop request is ignored, as by a run past its last cancellation point.
    void setHonourStop(bool honour) {
        std::lock_guard guard(m_mutex);
        m_honourStop = honour;
    }

    int calls() const {
        std::lock_guard guard(m_mutex);
        return m_calls;
    }

    int stopsSeen() const {
        std::lock_guard guard(m_mutex);
        return m_stopsSeen;
    }

    // How a call that saw its stop ends; by default with the cancellation error.
    std::function<Result()> onStop = []() -> Result { throw OperationCancelled(); };

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::map<int, std::function<Result()>> m_answers;
    int m_calls = 0;
    int m_stopsSeen = 0;
    bool m_honourStop = true;
};
