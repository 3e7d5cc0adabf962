#include "app/AppUpdater.h"

#include "platform/HttpClient.h"
#include "platform/Platform.h"
#include "tools/BundledTools.h"

#include <QMetaObject>
#include <QPointer>

#include <chrono>
#include <fstream>
#include <stdexcept>
#include <system_error>

namespace {

std::string fetchFeed(const std::string& url, std::stop_token stopToken) {
    const HttpClient::Response response = HttpClient::get(url, {}, std::chrono::seconds(15), stopToken);
    if (response.status != 200)
        throw std::runtime_error("The update feed answered with HTTP status " + std::to_string(response.status) + ".");
    return response.body;
}

// The modification time of the stamp file is the time of the last check.
void touch(const std::filesystem::path& file) {
    std::error_code error;
    std::filesystem::create_directories(file.parent_path(), error);
    std::ofstream(file, std::ios::trunc) << "checked\n";
}

} // namespace

AppUpdater::AppUpdater(QObject* parent) : AppUpdater(Options{}, parent) {}

AppUpdater::AppUpdater(Options options, QObject* parent)
    : QObject(parent), m_feedUrl(options.feedUrl.value_or(QStringLiteral(TALLOWIN_APPCAST_URL))),
      m_currentVersion(options.currentVersion.value_or(QString::fromStdString(Platform::applicationVersion()))),
      m_lastCheckFile(options.lastCheckFile.empty() ? BundledTools::supportDirectory() / "last-update-check"
                                                    : options.lastCheckFile),
      m_fetch(options.fetch ? std::move(options.fetch) : FetchFunction(&fetchFeed)) {
    // Like an observed value delivered on the main queue: the first one comes on the event loop.
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_delivered = true;
            refreshFlag();
        },
        Qt::QueuedConnection);
}

AppUpdater::~AppUpdater() {
    m_runs.stopAll();
}

void AppUpdater::checkForUpdates() {
    if (!m_canCheck)
        return;
    startCheck(true);
}

void AppUpdater::checkInBackgroundIfDue() {
    if (m_feedUrl.isEmpty() || m_checking)
        return;
    std::error_code error;
    const auto last = std::filesystem::last_write_time(m_lastCheckFile, error);
    if (!error && std::filesystem::file_time_type::clock::now() - last < std::chrono::hours(24))
        return;
    startCheck(false);
}

void AppUpdater::startCheck(bool userInitiated) {
    m_checking = true;
    refreshFlag();
    AppUpdater* context = this; // valid for the worker: the destructor joins it first
    QPointer<AppUpdater> self(this);
    auto report = [context, self, userInitiated](CheckResult result) {
        QMetaObject::invokeMethod(
            context,
            [self, userInitiated, result = std::move(result)] {
                if (!self)
                    return;
                self->m_checking = false;
                self->refreshFlag();
                emit self->checkFinished(result, userInitiated);
            },
            Qt::QueuedConnection);
    };
    m_runs.start(
        [fetch = m_fetch, url = m_feedUrl.toStdString(), current = m_currentVersion, stamp = m_lastCheckFile, report](
            std::stop_token stopToken) {
            CheckResult result;
            try {
                const std::string body = fetch(url, stopToken);
                touch(stamp);
                const std::optional<AppcastFeed::Release> newest = AppcastFeed::newestRelease(QString::fromUtf8(body));
                if (newest && AppcastFeed::isNewer(newest->version, current)) {
                    result.kind = CheckResult::Kind::newer;
                    result.release = *newest;
                }
            } catch (const std::exception& error) {
                result.kind = CheckResult::Kind::failed;
                result.message = QString::fromStdString(error.what());
            }
            if (!stopToken.stop_requested())
                report(std::move(result));
        });
}

void AppUpdater::refreshFlag() {
    const bool canCheck = m_delivered && !m_feedUrl.isEmpty() && !m_checking;
    if (canCheck == m_canCheck)
        return;
    m_canCheck = canCheck;
    emit canCheckForUpdatesChanged(m_canCheck);
}
