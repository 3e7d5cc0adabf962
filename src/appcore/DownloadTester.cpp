#include "appcore/DownloadTester.h"

#include "appcore/WriteState.h"
#include "download/DownloadError.h"
#include "download/PageUrl.h"
#include "download/UpdateAdvice.h"
#include "download/VideoDownloader.h"
#include "platform/OperationCancelled.h"
#include "tools/SafeText.h"

#include <exception>

DownloadTester::DownloadTester(DownloadFunction download, QObject* parent)
    : QObject(parent), m_download(std::move(download)) {
    if (!m_download)
        m_download = [](const std::string& url,
                        VideoQuality quality,
                        bool forceMP4,
                        bool compatibleMP4,
                        std::stop_token stopToken,
                        const DownloadProgressHandler& onProgress,
                        const std::optional<BrowserSignIn>& signIn) {
            return VideoDownloader::download(url, quality, forceMP4, compatibleMP4, stopToken, {}, onProgress, signIn);
        };
}

DownloadTester::~DownloadTester() = default; // m_runs stops and joins

std::optional<QString> DownloadTester::url() const {
    const std::optional<std::string> parsed = PageUrl::parse(m_urlText.toStdString());
    if (!parsed)
        return std::nullopt;
    return QString::fromStdString(*parsed);
}

void DownloadTester::setUrlText(const QString& text) {
    if (text == m_urlText)
        return;
    m_urlText = text;
    emit urlTextChanged(m_urlText);
}

void DownloadTester::setQuality(VideoQuality quality) {
    if (quality == m_quality)
        return;
    m_quality = quality;
    emit qualityChanged(m_quality);
}

void DownloadTester::setForceMP4(bool on) {
    if (on == m_forceMP4)
        return;
    m_forceMP4 = on;
    emit forceMP4Changed(m_forceMP4);
}

void DownloadTester::setCompatibleMP4(bool on) {
    if (on == m_compatibleMP4)
        return;
    m_compatibleMP4 = on;
    emit compatibleMP4Changed(m_compatibleMP4);
}

void DownloadTester::start() {
    const std::optional<QString> link = url();
    if (!link)
        return;
    run({link->toStdString(), m_quality, m_forceMP4, m_compatibleMP4, m_signIn, m_signInLabel});
}

void DownloadTester::useSignIn(const BrowserSignIn& signIn, const QString& label) {
    m_signIn = signIn;
    m_signInLabel = label;
}

void DownloadTester::retrySignedIn(const BrowserSignIn& signIn, const QString& label) {
    if (m_state.kind != State::Kind::failed || !m_lastRequest)
        return;
    useSignIn(signIn, label);
    Request again = *m_lastRequest;
    again.signIn = signIn;
    again.signInLabel = label;
    runWhenRoom(again);
}

void DownloadTester::runWhenRoom(const Request& request) {
    if (!m_hasRoom || m_hasRoom()) {
        run(request);
        return;
    }
    // start() takes the row's own settings and the sign-in chosen: the same request.
    m_lastRequest = request;
    setState(State::idle());
}

void DownloadTester::updateAndRetry(YtdlpUpdater& updater) {
    if (m_state.kind != State::Kind::failed || !m_state.updateAdvised || !m_lastRequest)
        return;
    disconnect(m_retryWatch);
    updater.start(); // ignored while a run is under way: its outcome counts all the same
    m_retryWatch = connect(&updater, &YtdlpUpdater::stateChanged, this, [this, &updater] {
        const YtdlpUpdater::State& update = updater.state();
        if (update.kind == YtdlpUpdater::State::Kind::running)
            return;
        disconnect(m_retryWatch);
        // The same copy again would fail the same way.
        if (update.kind == YtdlpUpdater::State::Kind::finished &&
            update.outcome.kind == YtdlpUpdateOutcome::Kind::updated && m_lastRequest)
            runWhenRoom(*m_lastRequest);
    });
}

void DownloadTester::run(const Request& request) {
    if (m_state.kind == State::Kind::running)
        return;
    m_lastRequest = request;
    m_fileName.clear();
    State running = State::running();
    running.signedInWith = request.signInLabel;
    setState(std::move(running));

    m_runs.start([this, download = m_download, request](std::stop_token stopToken, const WorkerRuns::Poster& back) {
        auto deliver = [this, &back, &request](State state) {
            if (state.kind != State::Kind::idle)
                state.signedInWith = request.signInLabel;
            back.postIfCurrent([this, state = std::move(state)]() mutable { setState(std::move(state)); });
        };
        // The core reports at most ten times a second, so each report is posted as it comes.
        auto report = [this, back](const DownloadProgress& progress) {
            back.postIfCurrent([this, progress] {
                if (m_state.kind == State::Kind::running) {
                    if (!progress.fileName.empty())
                        m_fileName = QString::fromStdString(SafeText::clean(progress.fileName, SafeText::Where::shown));
                    m_progress = progress;
                    emit progressChanged();
                }
            });
        };
        // Shown in the window and in a notification that stays on the lock screen and in the
        // history: no password, no query string, no control character from the site.
        auto message = [](const std::exception& error) {
            return QString::fromStdString(SafeText::clean(error.what(), SafeText::Where::kept));
        };
        try {
            deliver(State::finished(download(request.url,
                                             request.quality,
                                             request.forceMP4,
                                             request.compatibleMP4,
                                             stopToken,
                                             report,
                                             request.signIn)));
        } catch (const OperationCancelled&) {
            deliver(State::idle());
        } catch (const DownloadError& error) {
            // Advised here, on the worker, with the clock of the moment it failed.
            State failed = State::failed(message(error), error.failure(), UpdateAdvice::forFailure(error).has_value());
            failed.signInAdvised = error.failure().signInMayHelp();
            deliver(std::move(failed));
        } catch (const std::exception& error) { // DownloadError's what() is its user-facing text
            deliver(State::failed(message(error)));
        } catch (...) {
            deliver(State::failed(QStringLiteral("Unknown error")));
        }
    });
}

void DownloadTester::showFinished(DownloadedVideo video) {
    if (m_state.kind != State::Kind::running)
        setState(State::finished(std::move(video)));
}

void DownloadTester::cancel() {
    m_runs.dropCurrent();
    setState(State::idle());
}

void DownloadTester::setState(State state) {
    if (!writeState(m_state, std::move(state), StateNotify::everyWrite))
        return;
    // A new run starts without progress, and an ended one has none left to show.
    if (m_progress) {
        m_progress.reset();
        emit progressChanged();
    }
    emit stateChanged();
}
