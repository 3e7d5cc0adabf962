#pragma once

#include "app/FileActions.h"
#include "appcore/DesktopNotifications.h"
#include "appcore/LauncherProgress.h"

#include <QObject>
#include <QTimer>

#include <filesystem>
#include <vector>

class DownloadList;
class DownloadTester;
class QWidget;
class YtdlpUpdater;

// What the desktop is told while the window works: notifications of downloads that ended while the
// window was not active (those that end within a few seconds of each other in one, a failure on its
// own), and on the launcher entry the progress of everything that runs with the number of downloads
// running and waiting. The notifications' Open and Show in Folder act on the files they named.
class DesktopIntegration : public QObject {
    Q_OBJECT
public:
    // How long a finished download waits for others to be told with it.
    static constexpr int gatherMilliseconds = 3000;

    // list, updater and window must outlive the object.
    DesktopIntegration(DownloadList& list, YtdlpUpdater& updater, QWidget* window, FileActions::Services services);

private:
    void rowEnded(DownloadTester* row);
    void tellFinished();
    void showLauncherProgress();

    DownloadList& m_list;
    YtdlpUpdater& m_updater;
    QWidget* m_window;
    FileActions::Services m_services;
    DesktopNotifications m_notifications;
    LauncherProgress m_launcher;
    QTimer m_gather;
    std::vector<std::filesystem::path> m_finished; // gathered, not told yet
    std::vector<std::filesystem::path> m_told;     // what the last notification's actions act on
};
