#pragma once

#include "appcore/RunKind.h"
#include "appcore/WorkerRuns.h"
#include "ytdlp/YtdlpStatus.h"
#include "ytdlp/YtdlpUpdateOutcome.h"
#include "ytdlp/YtdlpUpdatePhase.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>

// The model behind everything the user sees of the yt-dlp update: one engine run at a time,
// its progress and result as one state, and the resolver's last status. One per process,
// shared by the window and the menu; lives on the GUI thread, the run on a worker thread.
class YtdlpUpdater : public QObject {
    Q_OBJECT
public:
    struct State {
        using Kind = RunKind;
        Kind kind = Kind::idle;
        YtdlpUpdatePhase phase;     // running
        YtdlpUpdateOutcome outcome; // finished
        QString message;            // failed

        static State idle() { return {}; }
        static State running(YtdlpUpdatePhase phase) { return {Kind::running, phase, {}, {}}; }
        static State finished(YtdlpUpdateOutcome outcome) { return {Kind::finished, {}, std::move(outcome), {}}; }
        static State failed(QString message) { return {Kind::failed, {}, {}, std::move(message)}; }
        // Same case and equal payload; the payloads of other cases are ignored.
        bool operator==(const State& other) const;
    };

    // The seams; by default YtdlpUpdateEngine::update and YtdlpResolver::shared().status(stopToken).
    // Both are called on worker threads. A status lookup whose token is stopped must return
    // promptly (its answer is then thrown away), so quitting never waits for a hung yt-dlp.
    using UpdateFunction = std::function<YtdlpUpdateOutcome(const std::function<void(YtdlpUpdatePhase)>& progress,
                                                            std::stop_token stopToken)>;
    using StatusFunction = std::function<YtdlpStatus(std::stop_token stopToken)>;

    explicit YtdlpUpdater(UpdateFunction update = {}, StatusFunction status = {}, QObject* parent = nullptr);
    // Requests a stop and waits for the run: before the install it gives up at once, past its
    // last cancellation point it finishes the install or its revert, so no half-installed copy.
    // The status refresh that follows a run is stopped too.
    ~YtdlpUpdater() override;

    const State& state() const { return m_state; }
    const std::optional<YtdlpStatus>& status() const { return m_status; }
    bool isRunning() const { return m_state.kind == State::Kind::running; }

    // Notifies only when the status differs.
    void setStatus(std::optional<YtdlpStatus> status);

    // Begins a run at downloading 0 unless one is running.
    void start();
    // Requests a stop of the current run and returns to idle at once.
    void cancel();

    // The status lookup, for the window's start-up lookups (same seam as the refresh after a run).
    const StatusFunction& statusFunction() const { return m_statusLookup; }

signals:
    void stateChanged();
    void statusChanged();

private:
    void setState(State state);

    UpdateFunction m_update;
    StatusFunction m_statusLookup;
    State m_state;
    std::optional<YtdlpStatus> m_status;
    // Held by a run for the engine call, so a new run waits (on its worker thread) for a
    // cancelled one that is still installing in the same support folder.
    std::shared_ptr<std::mutex> m_engineLock = std::make_shared<std::mutex>();
    // Stops the refresh after a run. Not the run's own token: a cancelled run still refreshes.
    std::stop_source m_shutdown;
    // A run's state is applied only while no newer run has started. cancel() does not drop it:
    // a run past its last cancellation point still installs, and then says so.
    WorkerRuns m_runs{this};
};
