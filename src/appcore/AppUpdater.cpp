#include "appcore/AppUpdater.h"

#include "platform/HttpClient.h"
#include "platform/Platform.h"
#include "tools/BundledTools.h"

#include <QMetaObject>

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
    // The flag's first value comes on the event loop, as every later one does.
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_delivered = true;
            refreshFlag();
        },
        Qt::QueuedConnection);
}

AppUpdater::~AppUpdater() = default; // m_runs stops and joins

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
    m_runs.start([this,
                  fetch = m_fetch,
                  url = m_feedUrl.toStdString(),
                  current = m_currentVersion,
                  stamp = m_lastCheckFile,
                  userInitiated](std::stop_token stopToken, const WorkerRuns::Poster& back) {
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
        if (stopToken.stop_requested())
            return;
        back.post([this, result = std::move(result), userInitiated] {
            m_checking = false;
            refreshFlag();
            emit checkFinished(result, userInitiated);
        });
    });
}

void AppUpdater::refreshFlag() {
    const bool canCheck = m_delivered && !m_feedUrl.isEmpty() && !m_checking;
    if (canCheck == m_canCheck)
        return;
    m_canCheck = canCheck;
    emit canCheckForUpdatesChanged(m_canCheck);
}
