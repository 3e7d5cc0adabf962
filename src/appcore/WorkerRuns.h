#pragma once

#include "appcore/BackgroundRuns.h"

#include <QtGlobal>

#include <functional>
#include <memory>
#include <optional>
#include <stop_token>

class QObject;

// The runs of one GUI-thread object (the owner) on worker threads, and their way back: a run posts
// what is to be applied on the owner's thread, and it is applied there, in posting order, only
// while this object exists and, for postIfCurrent, while the run is still the current one.
// Must be destroyed before the owner's QObject part (a member of the owner is), so the threads
// are joined while the owner can still receive posts. Not thread-safe except Poster.
class WorkerRuns {
public:
    // What this object and the calls it posts share; defined and used in WorkerRuns.cpp only.
    struct Shared;

    // A run's way back to the owner's thread. Copyable; usable from any thread until the run's
    // work returns. The apply functions run on the owner's thread and may touch the owner.
    class Poster {
    public:
        // Applies only while no newer run has started and the run was not dropped (dropCurrent).
        void postIfCurrent(std::function<void()> apply) const;
        // Applies even when the run was superseded.
        void post(std::function<void()> apply) const;

    private:
        friend class WorkerRuns;
        void send(std::optional<quint64> run, std::function<void()> apply) const;

        QObject* m_owner = nullptr;
        std::shared_ptr<Shared> m_shared;
        quint64 m_run = 0;
    };

    explicit WorkerRuns(QObject* owner);
    // Nothing posted is applied from here on. Requests a stop on every run and joins them
    // (blocks until each work returns; see ~BackgroundRuns).
    ~WorkerRuns();
    WorkerRuns(const WorkerRuns&) = delete;
    WorkerRuns& operator=(const WorkerRuns&) = delete;

    // Starts work on a new thread as the current run; what older runs post with postIfCurrent is
    // dropped from now on. work must not throw; whatever it needs must be captured by value.
    void start(std::function<void(std::stop_token, const Poster&)> work);
    // Requests a stop on the current run; what it posts is still applied.
    void stopCurrent();
    // Requests a stop on the current run and drops what it posts with postIfCurrent.
    void dropCurrent();
    // Requests a stop on every run without waiting.
    void stopAll();

private:
    QObject* m_owner;
    std::shared_ptr<Shared> m_shared;
    std::optional<std::stop_source> m_current;
    BackgroundRuns m_runs;
};
