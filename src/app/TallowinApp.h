#pragma once

#include "app/ContentView.h"
#include "app/MainWindow.h"
#include "appcore/AppUpdater.h"
#include "appcore/DownloadList.h"
#include "appcore/DownloadTester.h"
#include "appcore/ToolVersions.h"
#include "appcore/YtdlpUpdater.h"

#include <QObject>

#include <filesystem>
#include <memory>

class AboutDialog;
class DesktopIntegration;
class QMenu;

// The application: the models (the two updaters, the download form's model, the list of downloads
// and the tool versions) and the single window "main" (MainWindow) with ContentView over them.
// Create it after the QApplication; closing the window quits.
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
        // Where the downloads' work folders are (VideoDownloader::downloadsDirectory): their
        // finished files of the last day are listed at start.
        std::filesystem::path staging;
    };

    TallowinApp();
    explicit TallowinApp(Options options);
    // Ends the running downloads' tools, lets an update past its last cancellation point finish,
    // and waits for them (the window first, then the models).
    ~TallowinApp() override;

    // Shows the window (creating nothing new: it exists once) and starts the launch check.
    void launch();
    // Links from outside (the command line, a later start): the window comes forward and each
    // usable link becomes a row of the list, with the form's settings; the words that are not
    // links go to the link field, which names them.
    void openLinks(const QStringList& links);

    MainWindow& window() { return *m_window; }
    ContentView& contentView() { return *m_contentView; }
    YtdlpUpdater& updater() { return m_updater; }
    // The form's model: what the user typed and chose.
    DownloadTester& tester() { return m_form; }
    DownloadList& downloads() { return m_list; }
    ToolVersions& toolVersions() { return m_versions; }
    AppUpdater& appUpdater() { return m_appUpdater; }
    QMenu& menu() { return m_window->menu(); }

    // The menu's actions; each brings the window forward first, so its outcome is in view.
    void updateYtdlp();
    void checkForUpdates();
    AboutDialog* showAbout() { return m_window->showAbout(); }
    void requestQuit() { m_window->requestQuit(); }

    // Quits the way Quit does (the event loop ends, the runs are cancelled on the way out and the
    // destructor waits for them), with the shell's status for signal number: 128 + number. For
    // QuitOnSignal::received. Returns at once; exec() returns afterwards.
    void quitAfterSignal(int number);

private:
    void stopWork();

    // Declared before the window so they outlive it.
    YtdlpUpdater m_updater;
    AppUpdater m_appUpdater;
    DownloadTester m_form;
    DownloadList m_list;
    ToolVersions m_versions;
    std::unique_ptr<MainWindow> m_window;
    ContentView* m_contentView = nullptr;
};
