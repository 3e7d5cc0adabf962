#include "appcore/YtdlpUpdater.h"

#include "appcore/WriteState.h"
#include "platform/OperationCancelled.h"
#include "ytdlp/YtdlpResolver.h"
#include "ytdlp/YtdlpUpdateEngine.h"

#include <exception>

bool YtdlpUpdater::State::operator==(const State& other) const {
    if (kind != other.kind)
        return false;
    switch (kind) {
    case Kind::idle:
        return true;
    case Kind::running:
        return phase == other.phase;
    case Kind::finished:
        return outcome == other.outcome;
    case Kind::failed:
        return message == other.message;
    }
    return false;
}

YtdlpUpdater::YtdlpUpdater(UpdateFunction update, StatusFunction status, QObject* parent)
    : QObject(parent),
      m_update(update ? std::move(update) : UpdateFunction([](const auto& progress, std::stop_token stopToken) {
          return YtdlpUpdateEngine::update(progress, std::move(stopToken));
      })),
      m_statusLookup(status ? std::move(status) : StatusFunction([](std::stop_token stopToken) {
          return YtdlpResolver::shared().status(stopToken);
      })) {}

YtdlpUpdater::~YtdlpUpdater() {
    m_shutdown.request_stop();
    // m_runs stops and joins.
}

void YtdlpUpdater::setStatus(std::optional<YtdlpStatus> status) {
    if (!writeState(m_status, std::move(status), StateNotify::onChange))
        return;
    emit statusChanged();
}

void YtdlpUpdater::start() {
    if (isRunning())
        return;
    setState(State::running(YtdlpUpdatePhase::downloading(0)));

    m_runs.start(
        [this, update = m_update, lookup = m_statusLookup, lock = m_engineLock, shutdown = m_shutdown.get_token()](
            std::stop_token stopToken, const WorkerRuns::Poster& back) {
            auto progress = [this, back](YtdlpUpdatePhase phase) {
                back.postIfCurrent([this, phase] {
                    // A report that arrives after the run ended, failed or was cancelled is dropped.
                    if (isRunning())
                        setState(State::running(phase));
                });
            };
            State result;
            {
                std::lock_guard guard(*lock);
                try {
                    result = State::finished(update(progress, stopToken));
                } catch (const OperationCancelled&) {
                    result = State::idle();
                } catch (const std::exception& error) {
                    result = State::failed(QString::fromStdString(error.what()));
                } catch (...) {
                    result = State::failed(QStringLiteral("Unknown error"));
                }
            }
            // Whatever the end, the status is refreshed (the resolver never throws; a seam might).
            std::optional<YtdlpStatus> status;
            try {
                status = lookup(shutdown);
            } catch (...) {
            }
            if (shutdown.stop_requested())
                return; // the model is going; a stopped lookup says nothing about the files anyway
            back.postIfCurrent([this, result = std::move(result)] { setState(result); });
            if (status)
                back.post([this, status = std::move(status)] { setStatus(status); });
        });
}

void YtdlpUpdater::cancel() {
    m_runs.stopCurrent();
    setState(State::idle());
}

void YtdlpUpdater::setState(State state) {
    if (!writeState(m_state, std::move(state), StateNotify::onChange))
        return;
    emit stateChanged();
}
