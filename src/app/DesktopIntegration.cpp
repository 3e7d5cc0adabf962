#include "app/DesktopIntegration.h"
#include "app/CoreText.h"

#include "appcore/DownloadList.h"
#include "appcore/YtdlpUpdater.h"

#include <QUrl>
#include <QWidget>

DesktopIntegration::DesktopIntegration(DownloadList& list,
                                       YtdlpUpdater& updater,
                                       QWidget* window,
                                       FileActions::Services services)
    : QObject(window), m_list(list), m_updater(updater), m_window(window), m_services(services.withDefaults()) {
    m_gather.setSingleShot(true);
    m_gather.setInterval(gatherMilliseconds);
    connect(&m_gather, &QTimer::timeout, this, &DesktopIntegration::tellFinished);
    connect(&m_list, &DownloadList::rowEnded, this, &DesktopIntegration::rowEnded);
    connect(&m_list, &DownloadList::activityChanged, this, &DesktopIntegration::showLauncherProgress);
    connect(&m_updater, &YtdlpUpdater::stateChanged, this, &DesktopIntegration::showLauncherProgress);
    connect(&m_notifications, &DesktopNotifications::actionInvoked, this, [this](const QString& key) {
        if (m_told.empty())
            return;
        if (key == QLatin1String("open"))
            m_services.open(QUrl::fromLocalFile(qs(m_told.back().string())));
        else if (key == QLatin1String("show"))
            m_services.reveal(m_told.back(), [] {});
    });
}

void DesktopIntegration::rowEnded(DownloadTester* row) {
    using Kind = DownloadTester::State::Kind;
    const DownloadTester::State& state = row->state();
    if (m_window->isActiveWindow())
        return;
    if (state.kind == Kind::failed) {
        m_notifications.notify(tr("Download failed"), state.message);
        return;
    }
    if (state.kind != Kind::finished)
        return;
    m_finished.push_back(state.video.fileURL);
    // Each further one moves the notification on, so that a batch ending together is told once.
    m_gather.start();
}

void DesktopIntegration::tellFinished() {
    if (m_finished.empty())
        return;
    m_told = std::move(m_finished);
    m_finished.clear();
    const std::filesystem::path& last = m_told.back();
    if (m_told.size() == 1)
        m_notifications.notify(tr("Downloaded %1").arg(qs(last.filename().string())),
                               qs(last.parent_path().string()),
                               {QStringLiteral("open"), tr("Open"), QStringLiteral("show"), tr("Show in Folder")});
    else {
        QStringList names;
        for (const std::filesystem::path& file : m_told)
            names << qs(file.filename().string());
        m_notifications.notify(tr("%1 downloads finished").arg(m_told.size()),
                               names.join(QLatin1Char('\n')),
                               {QStringLiteral("show"), tr("Show in Folder")});
    }
}

void DesktopIntegration::showLauncherProgress() {
    const int count = m_list.runningCount() + m_list.waitingCount();
    if (m_list.runningCount() > 0) {
        // Everything that runs, each download counting alike.
        double sum = 0;
        int running = 0;
        for (int i = 0; i < m_list.size(); ++i) {
            const DownloadTester& row = m_list.row(i);
            if (row.state().kind != DownloadTester::State::Kind::running)
                continue;
            ++running;
            if (row.progress() && row.progress()->fraction)
                sum += *row.progress()->fraction;
        }
        m_launcher.show(sum / running, count);
    } else if (m_updater.isRunning() && m_updater.state().phase.kind == YtdlpUpdatePhase::Kind::downloading) {
        m_launcher.show(m_updater.state().phase.fraction, count);
    } else if (m_updater.isRunning()) {
        m_launcher.show(1.0, count);
    } else {
        m_launcher.show(std::nullopt, count);
    }
}
