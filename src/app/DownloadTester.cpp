#include "app/DownloadTester.h"

#include "download/PageUrl.h"
#include "download/VideoDownloader.h"
#include "tools/OperationCancelled.h"

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
                        std::stop_token stopToken) {
            return VideoDownloader::download(url, quality, forceMP4, compatibleMP4, stopToken);
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
    auto deliver = [context, self, generation](State state) {
        QMetaObject::invokeMethod(
            context,
            [self, generation, state = std::move(state)]() mutable {
                if (self && self->m_generation == generation)
                    self->setState(std::move(state));
            },
            Qt::QueuedConnection);
    };
    m_current = m_runs.start([download = m_download,
                              url = link->toStdString(),
                              quality = m_quality,
                              forceMP4 = m_forceMP4,
                              compatibleMP4 = m_compatibleMP4,
                              deliver](std::stop_token stopToken) {
        try {
            deliver(State::finished(download(url, quality, forceMP4, compatibleMP4, stopToken)));
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
    emit stateChanged();
}
