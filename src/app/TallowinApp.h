#pragma once

#include "app/ContentView.h"
#include "appcore/AppUpdater.h"
#include "appcore/DesktopNotifications.h"
#include "appcore/DownloadTester.h"
#include "appcore/LauncherProgress.h"
#include "appcore/ToolVersions.h"
#include "appcore/YtdlpUpdater.h"

#include <QObject>

#include <QUrl>

#include <functional>
#include <memory>

class AboutDialog;
class QAction;
class QMainWindow;
class QMenu;

// The application: the models (the two updaters, the download form's model and the tool versions),
// the single window "main" with ContentView over them, and the "Tallowin" menu. Create it after
// the QApplication; closing the window quits.
class TallowinApp : public QObject {
    Q_OBJECT
public:
    // The seams of the models and the window; each part defaults to the real one.
    struct Options {
        YtdlpUpdater::UpdateFunction update;
        YtdlpUpdater::StatusFunction status;
        DownloadTester::DownloadFunction download;
        ToolVersions::VersionFunction version;
        ContentView::Services services;
        AppUpdater::Options appUpdates;
    };

    TallowinApp();
    explicit TallowinApp(Options options);
    // Ends a running download's tool, lets an update past its last cancellation point finish,
    // and waits for both (the window first, then the models).
    ~TallowinApp() override;

    // Shows the window (creating nothing new: it exists once) and starts the launch check.
    void launch();
    // Links from outside (the command line, a later start): the window comes forward and the
    // first link is offered to the download form (DownloadTester::offerLink).
    void openLinks(const QStringList& links);

    QMainWindow& window() { return *m_window; }
    ContentView& contentView() { return *m_contentView; }
    YtdlpUpdater& updater() { return m_updater; }
    DownloadTester& tester() { return m_tester; }
    ToolVersions& toolVersions() { return m_versions; }
    AppUpdater& appUpdater() { return m_appUpdater; }
    QMenu& menu() { return *m_menu; }

    // The menu's actions; each brings the window forward first, so its outcome is in view.
    void updateYtdlp();
    void checkForUpdates();
    // Opens "About Tallowin" (window-modal, not blocking), or brings the open one forward.
    AboutDialog* showAbout();

    // Quit and closing the window: while a download runs, first asks "Stop the download and quit?"
    // (window-modal, not blocking); otherwise quits at once.
    void requestQuit();

    // Quits the way Quit does (the event loop ends, the runs are cancelled on the way out and the
    // destructor waits for them), with the shell's status for signal number: 128 + number. For
    // QuitOnSignal::received. Returns at once; exec() returns afterwards.
    void quitAfterSignal(int number);

protected:
    // Turns a close of the window during a download into requestQuit's question.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenu();
    void bringWindowForward();
    void showCheckResult(const AppUpdater::CheckResult& result, bool userInitiated);
    void stopWork();
    // Tells the desktop: a notification when a download ends while the window is not active,
    // and the launcher's progress bar while a download or an update runs.
    void notifyDownloadEnded();
    void showLauncherProgress();

    // Declared before the window so they outlive it.
    YtdlpUpdater m_updater;
    AppUpdater m_appUpdater;
    DownloadTester m_tester;
    ToolVersions m_versions;
    DesktopNotifications m_notifications;
    LauncherProgress m_launcher;
    std::unique_ptr<QMainWindow> m_window;
    ContentView* m_contentView = nullptr;
    QMenu* m_menu = nullptr;
    QAction* m_checkForUpdates = nullptr;
    QAction* m_updateYtdlp = nullptr;
    std::function<bool(const QUrl&)> m_open;
    ContentView::Services m_fileServices; // for the notification's actions
    bool m_quitting = false;              // the user agreed to stop the download, or nothing ran
};
