#include "app/YtdlpUpdater.h"

#include "platform/OperationCancelled.h"
#include "ytdlp/YtdlpResolver.h"
#include "ytdlp/YtdlpUpdateEngine.h"

#include <QMetaObject>
#include <QPointer>

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
    m_runs.stopAll();
}

void YtdlpUpdater::setStatus(std::optional<YtdlpStatus> status) {
    if (status == m_status)
        return;
    m_status = std::move(status);
    emit statusChanged();
}

void YtdlpUpdater::start() {
    if (isRunning())
        return;
    setState(State::running(YtdlpUpdatePhase::downloading(0)));

    const quint64 generation = ++m_generation;
    // The context pointer stays valid for the worker: the destructor joins the threads first.
    YtdlpUpdater* context = this;
    QPointer<YtdlpUpdater> self(this);
    auto progress = [context, self, generation](YtdlpUpdatePhase phase) {
        QMetaObject::invokeMethod(
            context,
            [self, generation, phase] {
                // A report that arrives after the run ended, failed or was cancelled is dropped.
                if (self && self->m_generation == generation && self->isRunning())
                    self->setState(State::running(phase));
            },
            Qt::QueuedConnection);
    };
    auto finish = [context, self, generation](State state, std::optional<YtdlpStatus> status) {
        QMetaObject::invokeMethod(
            context,
            [self, generation, state = std::move(state), status = std::move(status)]() mutable {
                if (!self)
                    return;
                if (self->m_generation == generation)
                    self->setState(std::move(state));
                if (status)
                    self->setStatus(std::move(status));
            },
            Qt::QueuedConnection);
    };
    m_current = m_runs.start([update = m_update, lookup = m_statusLookup, lock = m_engineLock, progress, finish,
                              shutdown = m_shutdown.get_token()](std::stop_token stopToken) {
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
        finish(std::move(result), std::move(status));
    });
}

void YtdlpUpdater::cancel() {
    if (m_current) {
        m_current->request_stop();
        m_current.reset();
    }
    setState(State::idle());
}

void YtdlpUpdater::setState(State state) {
    if (state == m_state)
        return;
    m_state = std::move(state);
    emit stateChanged();
}
