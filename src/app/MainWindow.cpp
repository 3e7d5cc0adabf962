#include "app/MainWindow.h"

#include "app/AboutDialog.h"
#include "appcore/DownloadList.h"
#include "appcore/ToolVersions.h"
#include "appcore/YtdlpUpdater.h"
#include "platform/Platform.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>

MainWindow::MainWindow(YtdlpUpdater& updater,
                       AppUpdater& appUpdater,
                       ToolVersions& versions,
                       DownloadList& list,
                       std::function<bool(const QUrl&)> open)
    : m_updater(updater), m_appUpdater(appUpdater), m_versions(versions), m_list(list), m_open(std::move(open)) {
    setObjectName(QStringLiteral("main"));
    setWindowTitle(tr("Tallowin"));
    buildMenu();
    connect(&m_appUpdater, &AppUpdater::checkFinished, this, &MainWindow::showCheckResult);
}

void MainWindow::buildMenu() {
    m_menu = menuBar()->addMenu(tr("&Tallowin"));
    m_menu->setObjectName(QStringLiteral("appMenu"));

    QAction* about = m_menu->addAction(tr("&About Tallowin"));
    connect(about, &QAction::triggered, this, &MainWindow::showAbout);

    QAction* check = m_menu->addAction(tr("&Check for Updates…"));
    check->setEnabled(m_appUpdater.canCheckForUpdates());
    connect(check, &QAction::triggered, this, [this] {
        bringForward();
        m_appUpdater.checkForUpdates();
    });
    connect(&m_appUpdater, &AppUpdater::canCheckForUpdatesChanged, check, &QAction::setEnabled);

    QAction* update = m_menu->addAction(tr("&Update yt-dlp…"));
    update->setEnabled(!m_updater.isRunning());
    connect(update, &QAction::triggered, this, [this] {
        // The window first, so the progress is in view when the run starts.
        bringForward();
        m_updater.start();
    });
    connect(&m_updater, &YtdlpUpdater::stateChanged, update, [this, update] {
        update->setEnabled(!m_updater.isRunning());
    });

    m_menu->addSeparator();
    QAction* quit = m_menu->addAction(tr("&Quit"));
    quit->setMenuRole(QAction::QuitRole);
    quit->setShortcut(QKeySequence::Quit);
    connect(quit, &QAction::triggered, this, &MainWindow::requestQuit, Qt::QueuedConnection);
}

void MainWindow::bringForward() {
    show();
    raise();
    activateWindow();
}

AboutDialog* MainWindow::showAbout() {
    if (m_about) {
        m_about->raise();
        m_about->activateWindow();
        return m_about;
    }
    AboutDialog::Facts facts;
    facts.version = QString::fromStdString(Platform::applicationVersion());
    // What the window already looked up; the dialog never runs a tool on the GUI thread.
    if (const auto& status = m_updater.status())
        facts.ytdlp = status->active.version;
    facts.ffmpeg = m_versions.ffmpeg();
    facts.deno = m_versions.deno();
    facts.licensesFolder = Platform::packageRoot() / "Contents" / "Resources" / "licenses";
    facts.open = m_open;
    m_about = new AboutDialog(std::move(facts), this);
    m_about->setAttribute(Qt::WA_DeleteOnClose);
    m_about->open();
    return m_about;
}

bool MainWindow::downloadsActive() const {
    return m_list.runningCount() + m_list.waitingCount() > 0;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!m_quitting && downloadsActive()) {
        event->ignore();
        requestQuit();
        return;
    }
    QMainWindow::closeEvent(event);
}

void MainWindow::requestQuit() {
    if (m_quitting || !downloadsActive()) {
        m_quitting = true;
        QCoreApplication::quit();
        return;
    }
    if (m_quitQuestion) {
        m_quitQuestion->raise();
        return;
    }
    const int running = m_list.runningCount();
    const int waiting = m_list.waitingCount();
    auto* box = new QMessageBox(this);
    m_quitQuestion = box;
    box->setObjectName(QStringLiteral("quitQuestion"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setIcon(QMessageBox::Question);
    box->setWindowTitle(tr("Tallowin"));
    if (running + waiting == 1) {
        box->setText(tr("Stop the download and quit?"));
    } else {
        box->setText(tr("Stop %1 downloads and quit?").arg(running + waiting));
        box->setInformativeText(tr("Running: %1. Waiting: %2.").arg(running).arg(waiting));
    }
    QPushButton* stop = box->addButton(tr("Stop and quit"), QMessageBox::DestructiveRole);
    stop->setObjectName(QStringLiteral("stopAndQuitButton"));
    QPushButton* keep = box->addButton(tr("Keep downloading"), QMessageBox::RejectRole);
    keep->setObjectName(QStringLiteral("keepDownloadingButton"));
    // The safe answer is the one Return and Escape give.
    box->setDefaultButton(keep);
    box->setEscapeButton(keep);
    connect(stop, &QPushButton::clicked, this, [this] {
        m_quitting = true;
        m_list.cancelAll();
        QCoreApplication::quit();
    });
    box->open();
}

void MainWindow::showCheckResult(const AppUpdater::CheckResult& result, bool userInitiated) {
    using Kind = AppUpdater::CheckResult::Kind;
    if (!userInitiated && result.kind != Kind::newer)
        return;
    auto* box = new QMessageBox(this);
    box->setObjectName(QStringLiteral("updateCheckResult"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowTitle(tr("Check for Updates"));
    const QString installed = QString::fromStdString(Platform::applicationVersion());
    switch (result.kind) {
    case Kind::upToDate:
        box->setIcon(QMessageBox::Information);
        box->setText(tr("Tallowin is up to date."));
        box->setInformativeText(tr("Tallowin %1 is the newest version.").arg(installed));
        box->addButton(QMessageBox::Ok);
        break;
    case Kind::newer: {
        box->setIcon(QMessageBox::Information);
        box->setText(tr("An update for Tallowin is available."));
        box->setInformativeText(
            tr("Tallowin %1 is available. You have %2.").arg(result.release.displayName, installed));
        QPushButton* download = box->addButton(tr("Download…"), QMessageBox::AcceptRole);
        download->setObjectName(QStringLiteral("downloadPageButton"));
        const QUrl page(result.release.downloadPage);
        connect(download, &QPushButton::clicked, box, [page] { QDesktopServices::openUrl(page); });
        box->addButton(tr("Later"), QMessageBox::RejectRole);
        break;
    }
    case Kind::failed:
        box->setIcon(QMessageBox::Warning);
        box->setText(tr("Could not check for updates."));
        box->setInformativeText(result.message);
        box->addButton(QMessageBox::Ok);
        break;
    }
    box->open();
}
