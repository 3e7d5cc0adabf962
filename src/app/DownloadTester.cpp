#include "app/DownloadTester.h"

#include "download/PageUrl.h"
#include "download/VideoDownloader.h"
#include "platform/OperationCancelled.h"

#include <QMetaObject>
#include <QPointer>

#include <exception>

DownloadTester::DownloadTester(DownloadFunction download, QObject* parent)
    : QObject(parent), m_download(std::move(download)) {
    if (!m_download)
        m_download = [](const std::string& url,
                        VideoQuality quality,
                        bool forceMP4,
                        bool compatibleMP4,
                        std::stop_token stopToken,
                        const DownloadProgressHandler& onProgress) {
            return VideoDownloader::download(url, quality, forceMP4, compatibleMP4, stopToken, {}, onProgress);
        };
}

DownloadTester::~DownloadTester() {
    // m_runs' destructor stops and joins; its threads may still post to this object until then,
    // which is safe because the QObject part outlives that join.
    m_runs.stopAll();
}

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
    if (m_state.kind == State::Kind::running)
        return;
    setState(State::running());

    const quint64 generation = ++m_generation;
    // The raw pointer is only the queued call's context: this object joins its threads before
    // its QObject part goes, and Qt drops calls posted to a destroyed context.
    DownloadTester* context = this;
    QPointer<DownloadTester> self(this);
    auto current = [self, generation] { return self && self->m_generation == generation; };
    auto deliver = [context, current](State state) {
        QMetaObject::invokeMethod(
            context,
            [context, current, state = std::move(state)]() mutable {
                if (current())
                    context->setState(std::move(state));
            },
            Qt::QueuedConnection);
    };
    // The core reports at most ten times a second, so each report is posted as it comes.
    auto report = [context, current](const DownloadProgress& progress) {
        QMetaObject::invokeMethod(
            context,
            [context, current, progress] {
                if (current() && context->m_state.kind == State::Kind::running) {
                    context->m_progress = progress;
                    emit context->progressChanged();
                }
            },
            Qt::QueuedConnection);
    };
    m_current = m_runs.start([download = m_download,
                              url = link->toStdString(),
                              quality = m_quality,
                              forceMP4 = m_forceMP4,
                              compatibleMP4 = m_compatibleMP4,
                              deliver,
                              report](std::stop_token stopToken) {
        try {
            deliver(State::finished(download(url, quality, forceMP4, compatibleMP4, stopToken, report)));
        } catch (const OperationCancelled&) {
            deliver(State::idle());
        } catch (const std::exception& error) { // DownloadError's what() is its user-facing text
            deliver(State::failed(QString::fromStdString(error.what())));
        } catch (...) {
            deliver(State::failed(QStringLiteral("Unknown error")));
        }
    });
}

void DownloadTester::cancel() {
    if (m_current) {
        m_current->request_stop();
        m_current.reset();
    }
    ++m_generation;
    setState(State::idle());
}

void DownloadTester::setState(State state) {
    m_state = std::move(state);
    // A new run starts without progress, and an ended one has none left to show.
    if (m_progress) {
        m_progress.reset();
        emit progressChanged();
    }
    emit stateChanged();
}
