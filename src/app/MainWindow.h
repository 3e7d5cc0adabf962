#pragma once

#include "appcore/AppUpdater.h"

#include <QMainWindow>
#include <QPointer>
#include <QUrl>

#include <functional>

class AboutDialog;
class DownloadList;
class QMenu;
class QMessageBox;
class ToolVersions;
class YtdlpUpdater;

// The application's only window ("main"): the "Tallowin" menu, the About dialog, the answers of a
// check for updates, and the question before quitting while downloads run or wait. Its size is its
// content's; the content is set by the scene (TallowinApp).
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // The models are the scene's and must outlive the window; open opens a link or a folder.
    MainWindow(YtdlpUpdater& updater,
               AppUpdater& appUpdater,
               ToolVersions& versions,
               DownloadList& list,
               std::function<bool(const QUrl&)> open);

    QMenu& menu() { return *m_menu; }
    void bringForward();
    // Opens "About Tallowin" (window-modal, not blocking), or brings the open one forward.
    AboutDialog* showAbout();
    // Quit and closing the window: while downloads run or wait, first asks once whether to stop
    // them (window-modal, not blocking); otherwise quits at once.
    void requestQuit();
    void showCheckResult(const AppUpdater::CheckResult& result, bool userInitiated);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenu();
    bool downloadsActive() const;

    YtdlpUpdater& m_updater;
    AppUpdater& m_appUpdater;
    ToolVersions& m_versions;
    DownloadList& m_list;
    std::function<bool(const QUrl&)> m_open;
    QMenu* m_menu = nullptr;
    QPointer<AboutDialog> m_about;
    QPointer<QMessageBox> m_quitQuestion;
    bool m_quitting = false; // the user agreed to stop the downloads, or nothing ran
};
