#include "app/TallowinApp.h"

#include "app/AfterFirstPaint.h"
#include "app/AppIcon.h"
#include "app/DesktopIntegration.h"
#include "download/RecentDownloads.h"
#include "download/VideoDownloader.h"
#include "platform/Platform.h"

#include <QApplication>
#include <QDesktopServices>
#include <QLayout>

TallowinApp::TallowinApp() : TallowinApp(Options{}) {}

TallowinApp::TallowinApp(Options options)
    : m_updater(std::move(options.update), std::move(options.status)), m_appUpdater(std::move(options.appUpdates)),
      m_list(std::move(options.download)), m_versions(m_updater, std::move(options.version)) {
    const FileActions::Services services = options.services.withDefaults();
    m_window = std::make_unique<MainWindow>(m_updater, m_appUpdater, m_versions, m_list, services.open);
    // On the application, so the window, the task switcher and every dialog carry it; after the
    // first paint, since reading the icon's images would hold the window back.
    AfterFirstPaint::run(m_window.get(), [window = m_window.get()] {
        const QIcon icon = AppIcon::icon(Platform::packageRoot());
        if (!icon.isNull())
            QApplication::setWindowIcon(icon);
        window->setWindowIcon(QApplication::windowIcon());
    });
    m_contentView = new ContentView(m_updater, m_form, m_list, m_versions, services, m_window.get());
    m_window->setCentralWidget(m_contentView);
    // The window's size is the content's: 460 wide, as tall as it needs, not resizable.
    m_window->layout()->setSizeConstraint(QLayout::SetFixedSize);
    new DesktopIntegration(m_list, m_updater, m_window.get(), services);
    // The files of the last day, once the window is on screen: closing it loses nothing the cache
    // still holds.
    const std::filesystem::path staging =
        options.staging.empty() ? VideoDownloader::downloadsDirectory() : options.staging;
    AfterFirstPaint::run(m_window.get(), [this, staging] {
        for (const RecentDownloads::File& file : RecentDownloads::list(staging))
            m_list.addFinished(QString(), {file.path, false, false});
    });
    connect(qApp, &QCoreApplication::aboutToQuit, this, &TallowinApp::stopWork);
}

TallowinApp::~TallowinApp() {
    stopWork();
    m_window.reset();
}

void TallowinApp::launch() {
    m_window->bringForward();
    m_appUpdater.checkInBackgroundIfDue();
}

void TallowinApp::openLinks(const QStringList& links) {
    m_window->bringForward();
    const DownloadList::Links parsed = DownloadList::parse(links.join(QLatin1Char('\n')));
    if (!parsed.usable.isEmpty())
        m_list.add(parsed.usable, m_form.quality(), m_form.forceMP4(), m_form.compatibleMP4());
    // What is not a link goes to the field, where the form names it, rather than nowhere.
    if (!parsed.rejected.isEmpty())
        m_form.setUrlText(parsed.rejected.join(QLatin1Char(' ')));
}

void TallowinApp::updateYtdlp() {
    // The window first, so the progress is in view when the run starts.
    m_window->bringForward();
    m_updater.start();
}

void TallowinApp::checkForUpdates() {
    m_window->bringForward();
    m_appUpdater.checkForUpdates();
}

void TallowinApp::quitAfterSignal(int number) {
    // The runs are told at once; aboutToQuit repeats it harmlessly when the loop ends.
    stopWork();
    QCoreApplication::exit(128 + number);
}

void TallowinApp::stopWork() {
    // A download's tool gets SIGTERM; an update gives up at its next cancellation point or, past
    // the last one, finishes its install. The destructors then wait for the threads.
    m_list.cancelAll();
    if (m_updater.isRunning())
        m_updater.cancel();
}
