#include "app/TallowinApp.h"

#include "app/AboutDialog.h"
#include "app/AfterFirstPaint.h"
#include "app/AppIcon.h"
#include "app/FileRevealer.h"
#include "platform/Platform.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QLayout>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

TallowinApp::TallowinApp() : TallowinApp(Options{}) {}

TallowinApp::TallowinApp(Options options)
    : m_updater(std::move(options.update), std::move(options.status)), m_appUpdater(std::move(options.appUpdates)),
      m_tester(std::move(options.download)), m_versions(m_updater, std::move(options.version)),
      m_window(std::make_unique<QMainWindow>()) {
    m_window->setObjectName(QStringLiteral("main"));
    m_window->setWindowTitle(tr("Tallowin"));
    // On the application, so the window, the task switcher and every dialog carry it; after the
    // first paint, since reading the icon's images would hold the window back.
    AfterFirstPaint::run(m_window.get(), [window = m_window.get()] {
        const QIcon icon = AppIcon::icon(Platform::packageRoot());
        if (!icon.isNull())
            QApplication::setWindowIcon(icon);
        window->setWindowIcon(QApplication::windowIcon());
    });
    m_open = options.services.open;
    if (!m_open)
        m_open = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    m_fileServices = options.services;
    if (!m_fileServices.reveal)
        m_fileServices.reveal = &FileRevealer::reveal;
    m_contentView = new ContentView(m_updater, m_tester, m_versions, std::move(options.services), m_window.get());
    m_window->setCentralWidget(m_contentView);
    // The window's size is the content's: 460 wide, as tall as it needs, not resizable.
    m_window->layout()->setSizeConstraint(QLayout::SetFixedSize);
    buildMenu();
    m_window->installEventFilter(this);

    connect(&m_appUpdater, &AppUpdater::checkFinished, this, &TallowinApp::showCheckResult);
    connect(&m_tester, &DownloadTester::stateChanged, this, &TallowinApp::notifyDownloadEnded);
    connect(&m_tester, &DownloadTester::stateChanged, this, &TallowinApp::showLauncherProgress);
    connect(&m_tester, &DownloadTester::progressChanged, this, &TallowinApp::showLauncherProgress);
    connect(&m_updater, &YtdlpUpdater::stateChanged, this, &TallowinApp::showLauncherProgress);
    connect(&m_notifications, &DesktopNotifications::actionInvoked, this, [this](const QString& key) {
        if (m_tester.state().kind != DownloadTester::State::Kind::finished)
            return;
        const std::filesystem::path file = m_tester.state().video.fileURL;
        if (key == QLatin1String("open"))
            m_open(QUrl::fromLocalFile(QString::fromStdString(file.string())));
        else if (key == QLatin1String("show"))
            m_fileServices.reveal(file, [] {});
    });
    connect(qApp, &QCoreApplication::aboutToQuit, this, &TallowinApp::stopWork);
}

TallowinApp::~TallowinApp() {
    stopWork();
    m_window.reset();
}

void TallowinApp::launch() {
    bringWindowForward();
    m_appUpdater.checkInBackgroundIfDue();
}

void TallowinApp::openLinks(const QStringList& links) {
    bringWindowForward();
    if (!links.isEmpty())
        m_tester.offerLink(links.constFirst());
}

void TallowinApp::buildMenu() {
    m_menu = m_window->menuBar()->addMenu(tr("&Tallowin"));
    m_menu->setObjectName(QStringLiteral("appMenu"));

    QAction* about = m_menu->addAction(tr("&About Tallowin"));
    connect(about, &QAction::triggered, this, &TallowinApp::showAbout);

    m_checkForUpdates = m_menu->addAction(tr("&Check for Updates…"));
    m_checkForUpdates->setEnabled(m_appUpdater.canCheckForUpdates());
    connect(m_checkForUpdates, &QAction::triggered, this, &TallowinApp::checkForUpdates);
    connect(&m_appUpdater, &AppUpdater::canCheckForUpdatesChanged, m_checkForUpdates, &QAction::setEnabled);

    m_updateYtdlp = m_menu->addAction(tr("&Update yt-dlp…"));
    m_updateYtdlp->setEnabled(!m_updater.isRunning());
    connect(m_updateYtdlp, &QAction::triggered, this, &TallowinApp::updateYtdlp);
    connect(&m_updater, &YtdlpUpdater::stateChanged, m_updateYtdlp, [this] {
        m_updateYtdlp->setEnabled(!m_updater.isRunning());
    });

    m_menu->addSeparator();
    QAction* quit = m_menu->addAction(tr("&Quit"));
    quit->setMenuRole(QAction::QuitRole);
    quit->setShortcut(QKeySequence::Quit);
    connect(quit, &QAction::triggered, this, &TallowinApp::requestQuit, Qt::QueuedConnection);
}

AboutDialog* TallowinApp::showAbout() {
    if (auto* open = m_window->findChild<AboutDialog*>()) {
        open->raise();
        open->activateWindow();
        return open;
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
    auto* dialog = new AboutDialog(std::move(facts), m_window.get());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
    return dialog;
}

void TallowinApp::bringWindowForward() {
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void TallowinApp::updateYtdlp() {
    // The window first, so the progress is in view when the run starts.
    bringWindowForward();
    m_updater.start();
}

void TallowinApp::checkForUpdates() {
    bringWindowForward();
    m_appUpdater.checkForUpdates();
}

bool TallowinApp::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_window.get() && event->type() == QEvent::Close && !m_quitting &&
        m_tester.state().kind == DownloadTester::State::Kind::running) {
        event->ignore();
        requestQuit();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void TallowinApp::requestQuit() {
    if (m_quitting || m_tester.state().kind != DownloadTester::State::Kind::running) {
        m_quitting = true;
        QCoreApplication::quit();
        return;
    }
    if (auto* open = m_window->findChild<QMessageBox*>(QStringLiteral("quitQuestion"))) {
        open->raise();
        return;
    }
    auto* box = new QMessageBox(m_window.get());
    box->setObjectName(QStringLiteral("quitQuestion"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setIcon(QMessageBox::Question);
    box->setWindowTitle(tr("Tallowin"));
    box->setText(tr("Stop the download and quit?"));
    QPushButton* stop = box->addButton(tr("Stop and quit"), QMessageBox::DestructiveRole);
    stop->setObjectName(QStringLiteral("stopAndQuitButton"));
    QPushButton* keep = box->addButton(tr("Keep downloading"), QMessageBox::RejectRole);
    keep->setObjectName(QStringLiteral("keepDownloadingButton"));
    // The safe answer is the one Return and Escape give.
    box->setDefaultButton(keep);
    box->setEscapeButton(keep);
    connect(stop, &QPushButton::clicked, this, [this] {
        m_quitting = true;
        m_tester.cancel();
        QCoreApplication::quit();
    });
    box->open();
}

void TallowinApp::quitAfterSignal(int number) {
    // The runs are told at once; aboutToQuit repeats it harmlessly when the loop ends.
    stopWork();
    QCoreApplication::exit(128 + number);
}

void TallowinApp::showCheckResult(const AppUpdater::CheckResult& result, bool userInitiated) {
    using Kind = AppUpdater::CheckResult::Kind;
    if (!userInitiated && result.kind != Kind::newer)
        return;
    auto* box = new QMessageBox(m_window.get());
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

void TallowinApp::notifyDownloadEnded() {
    using Kind = DownloadTester::State::Kind;
    const DownloadTester::State& state = m_tester.state();
    if (m_window->isActiveWindow() || (state.kind != Kind::finished && state.kind != Kind::failed))
        return;
    if (state.kind == Kind::finished)
        m_notifications.notify(tr("Downloaded %1").arg(QString::fromStdString(state.video.fileURL.filename().string())),
                               QString::fromStdString(state.video.fileURL.parent_path().string()),
                               {QStringLiteral("open"), tr("Open"), QStringLiteral("show"), tr("Show in Folder")});
    else
        m_notifications.notify(tr("Tallowin"), state.message);
}

void TallowinApp::showLauncherProgress() {
    if (m_tester.state().kind == DownloadTester::State::Kind::running) {
        const std::optional<DownloadProgress>& progress = m_tester.progress();
        m_launcher.show(progress && progress->fraction ? *progress->fraction : 0.0);
    } else if (m_updater.isRunning() && m_updater.state().phase.kind == YtdlpUpdatePhase::Kind::downloading) {
        m_launcher.show(m_updater.state().phase.fraction);
    } else if (m_updater.isRunning()) {
        m_launcher.show(1.0);
    } else {
        m_launcher.show(std::nullopt);
    }
}

void TallowinApp::stopWork() {
    // A download's tool gets SIGTERM; an update gives up at its next cancellation point or, past
    // the last one, finishes its install. The destructors then wait for the threads.
    m_tester.cancel();
    if (m_updater.isRunning())
        m_updater.cancel();
}
