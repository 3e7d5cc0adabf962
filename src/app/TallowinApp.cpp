#include "app/TallowinApp.h"

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
      m_window(std::make_unique<QMainWindow>()) {
    m_window->setObjectName(QStringLiteral("main"));
    m_window->setWindowTitle(tr("Tallowin"));
    m_window->setWindowIcon(QIcon::fromTheme(QStringLiteral("org.tallowin.Tallowin")));
    m_contentView = new ContentView(m_updater, std::move(options.services), m_window.get());
    m_window->setCentralWidget(m_contentView);
    // The window's size is the content's: 460 wide, as tall as it needs, not resizable.
    m_window->layout()->setSizeConstraint(QLayout::SetFixedSize);
    buildMenu();

    connect(&m_appUpdater, &AppUpdater::checkFinished, this, &TallowinApp::showCheckResult);
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

void TallowinApp::buildMenu() {
    m_menu = m_window->menuBar()->addMenu(tr("Tallowin"));
    m_menu->setObjectName(QStringLiteral("appMenu"));

    QAction* about = m_menu->addAction(tr("About Tallowin"));
    connect(about, &QAction::triggered, this, [this] {
        auto* box = new QMessageBox(QMessageBox::Information,
                                    tr("About Tallowin"),
                                    tr("Tallowin %1").arg(QString::fromStdString(Platform::applicationVersion())),
                                    QMessageBox::Ok,
                                    m_window.get());
        box->setInformativeText(tr("Saves a video from a link with yt-dlp, ffmpeg and deno."));
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    });

    m_checkForUpdates = m_menu->addAction(tr("Check for Updates…"));
    m_checkForUpdates->setEnabled(m_appUpdater.canCheckForUpdates());
    connect(m_checkForUpdates, &QAction::triggered, this, &TallowinApp::checkForUpdates);
    connect(&m_appUpdater, &AppUpdater::canCheckForUpdatesChanged, m_checkForUpdates, &QAction::setEnabled);

    m_updateYtdlp = m_menu->addAction(tr("Update yt-dlp…"));
    m_updateYtdlp->setEnabled(!m_updater.isRunning());
    connect(m_updateYtdlp, &QAction::triggered, this, &TallowinApp::updateYtdlp);
    connect(&m_updater, &YtdlpUpdater::stateChanged, m_updateYtdlp, [this] {
        m_updateYtdlp->setEnabled(!m_updater.isRunning());
    });

    m_menu->addSeparator();
    QAction* quit = m_menu->addAction(tr("Quit"));
    quit->setMenuRole(QAction::QuitRole);
    quit->setShortcut(QKeySequence::Quit);
    connect(quit, &QAction::triggered, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
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
    box->setWindowTitle(tr("Software Update"));
    switch (result.kind) {
    case Kind::upToDate:
        box->setIcon(QMessageBox::Information);
        box->setText(tr("You're up to date!"));
        box->setInformativeText(tr("Tallowin %1 is currently the newest version available.")
                                    .arg(QString::fromStdString(Platform::applicationVersion())));
        box->addButton(QMessageBox::Ok);
        break;
    case Kind::newer: {
        box->setIcon(QMessageBox::Information);
        box->setText(tr("A new version of Tallowin is available!"));
        box->setInformativeText(
            tr("Tallowin %1 is now available; you have %2.")
                .arg(result.release.displayName, QString::fromStdString(Platform::applicationVersion())));
        QPushButton* download = box->addButton(tr("Download…"), QMessageBox::AcceptRole);
        download->setObjectName(QStringLiteral("downloadPageButton"));
        const QUrl page(result.release.downloadPage);
        connect(download, &QPushButton::clicked, box, [page] { QDesktopServices::openUrl(page); });
        box->addButton(tr("Later"), QMessageBox::RejectRole);
        break;
    }
    case Kind::failed:
        box->setIcon(QMessageBox::Warning);
        box->setText(tr("Update Error!"));
        box->setInformativeText(result.message);
        box->addButton(QMessageBox::Ok);
        break;
    }
    box->open();
}

void TallowinApp::stopWork() {
    // A download's tool gets SIGTERM; an update gives up at its next cancellation point or, past
    // the last one, finishes its install. The destructors then wait for the threads.
    m_contentView->tester().cancel();
    if (m_updater.isRunning())
        m_updater.cancel();
}
