#include "QuietOffscreen.h"
#include "support/ScriptedRuns.h"

#include "app/TallowinApp.h"
#include "appcore/QuitOnSignal.h"
#include "support/LocalHttpServer.h"
#include "support/Sandbox.h"

#include <QAction>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <memory>
#include <thread>

namespace {

QString appcast(const QString& version) {
    return "<?xml version=\"1.0\"?><rss version=\"2.0\" "
           "xmlns:release=\"https://tallowin.example/ns/release\"><channel><item>"
           "<link>https://tallowin.example/releases/" +
           version + "</link><enclosure url=\"https://tallowin.example/t.tar.gz\" release:version=\"" + version +
           "\"/></item></channel></rss>";
}

// The application over scripted core runs; the feed is given per test.
struct Harness {
    ScriptedRuns<YtdlpUpdateOutcome> updates;
    ScriptedRuns<DownloadedVideo> downloads;
    std::unique_ptr<TallowinApp> app;

    explicit Harness(const QString& feedUrl,
                     std::filesystem::path lastCheckFile = {},
                     std::filesystem::path staging = {}) {
        TallowinApp::Options options;
        options.update = [this](const std::function<void(YtdlpUpdatePhase)>&, std::stop_token stop) {
            return updates.wait(stop);
        };
        options.status = [](std::stop_token) { return YtdlpStatus{}; };
        options.version = [](const std::filesystem::path&, std::stop_token) {
            return std::optional<std::string>("1.0");
        };
        options.download = [this](const std::string&, VideoQuality, bool, bool, std::stop_token stop, const auto&...) {
            return downloads.wait(stop);
        };
        options.services.reveal = [](const std::filesystem::path&, std::function<void()>) {};
        options.staging = staging.empty() ? Sandbox::makeTempFolder("staging") : staging;
        options.appUpdates.feedUrl = feedUrl;
        options.appUpdates.currentVersion = "0.1.0";
        options.appUpdates.lastCheckFile =
            lastCheckFile.empty() ? Sandbox::makeTempFolder("stamp") / "last-check" : lastCheckFile;
        app = std::make_unique<TallowinApp>(std::move(options));
    }
    ~Harness() { app.reset(); }

    QAction* action(const QString& text) {
        for (QAction* action : app->menu().actions())
            if (QString(action->text()).remove('&') == text)
                return action;
        qFatal("no menu item %s", qPrintable(text));
    }
    QMessageBox* resultBox() { return app->window().findChild<QMessageBox*>("updateCheckResult"); }
};

void touchNow(const std::filesystem::path& file) {
    std::ofstream(file) << "x";
}

} // namespace

class TallowinAppTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { quietOffscreenWarnings(); }

    void oneFixedWindowWithTheMenuInOrder() {
        Harness h("");
        h.app->launch();
        QMainWindow& window = h.app->window();
        QCOMPARE(window.objectName(), QString("main"));
        QCOMPARE(window.windowTitle(), QString("Tallowin"));
        QVERIFY(window.isVisible());
        QTRY_COMPARE(window.minimumSize(), window.maximumSize()); // not resizable
        QCOMPARE(h.app->contentView().width(), 460);
        QCOMPARE(h.app->menu().title(), QString("&Tallowin"));
        QStringList items;
        for (QAction* action : h.app->menu().actions())
            items << (action->isSeparator() ? QString("—") : QString(action->text()).remove('&'));
        QCOMPARE(items, (QStringList{"About Tallowin", "Check for Updates…", "Update yt-dlp…", "—", "Quit"}));
        for (QAction* action : h.app->menu().actions())
            if (action->text() != "&Quit")
                QVERIFY(action->shortcut().isEmpty());
    }

    void updateYtdlpShowsTheWindowAndIsDisabledWhileItRuns() {
        Harness h("");
        QAction* update = h.action("Update yt-dlp…");
        QVERIFY(update->isEnabled());
        QVERIFY(!h.app->window().isVisible());
        update->trigger();
        QVERIFY(h.app->window().isVisible()); // brought forward before the run starts
        QVERIFY(h.app->updater().isRunning());
        QVERIFY(!update->isEnabled());
        QTRY_COMPARE(h.updates.calls(), 1);
        h.app->updater().start(); // a direct second start is ignored too
        h.updates.answer(0, [] { return YtdlpUpdateOutcome::alreadyCurrent("2025.01.15"); });
        QTRY_VERIFY(update->isEnabled());
        QCOMPARE(h.updates.calls(), 1);
        update->trigger();
        QVERIFY(!update->isEnabled());
        QTRY_COMPARE(h.updates.calls(), 2);
        h.updates.answer(1, []() -> YtdlpUpdateOutcome { throw std::runtime_error("offline"); });
        QTRY_VERIFY(update->isEnabled());
    }

    // In the real window the field's Return and the default button must not both fire.
    void returnInTheWindowStartsExactlyOneDownload() {
        Harness h("");
        h.app->launch();
        auto* field = h.app->contentView().findChild<QLineEdit*>("urlField");
        QTest::keyClicks(field, "https://example.com/v");
        QTest::keyClick(field, Qt::Key_Return);
        QTest::keyClick(field, Qt::Key_Enter);
        QTRY_COMPARE(h.downloads.calls(), 1);
        QTest::qWait(100);
        QCOMPARE(h.downloads.calls(), 1);
        QCOMPARE(h.app->downloads().size(), 1);
        h.app->downloads().cancelAll();
    }

    void checkForUpdatesIsDisabledWithoutAFeed() {
        Harness h("");
        h.app->launch();
        QTest::qWait(100);
        QVERIFY(!h.action("Check for Updates…")->isEnabled());
        QVERIFY(!h.app->appUpdater().canCheckForUpdates());
    }

    void userCheckReportsTheFeedsAnswer_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("feedVersion");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("details"); // its start
        QTest::newRow("newer") << 200 << "9.1.0" << int(AppUpdater::CheckResult::Kind::newer)
                               << "An update for Tallowin is available."
                               << "Tallowin 9.1.0 is available. You have ";
        QTest::newRow("up to date") << 200 << "0.1.0" << int(AppUpdater::CheckResult::Kind::upToDate)
                                    << "Tallowin is up to date."
                                    << "Tallowin ";
        QTest::newRow("server error") << 500 << "9.1.0" << int(AppUpdater::CheckResult::Kind::failed)
                                      << "Could not check for updates."
                                      << "The update feed answered with HTTP status 500.";
    }
    void userCheckReportsTheFeedsAnswer() {
        QFETCH(int, status);
        QFETCH(QString, feedVersion);
        QFETCH(int, kind);
        QFETCH(QString, text);
        QFETCH(QString, details);
        LocalHttpServer server;
        server.route("/appcast.xml", HttpRoute::answer(status, appcast(feedVersion).toStdString()));
        const std::filesystem::path stamp = Sandbox::makeTempFolder("stamp") / "last-check";
        touchNow(stamp); // checked just now: no background check
        Harness h(QString::fromStdString(server.baseUrl() + "/appcast.xml"), stamp);
        QAction* check = h.action("Check for Updates…");
        QVERIFY(!check->isEnabled()); // until the first value arrives
        h.app->launch();
        QTRY_VERIFY(check->isEnabled());
        QCOMPARE(server.requests().size(), size_t(0));

        QSignalSpy finished(&h.app->appUpdater(), &AppUpdater::checkFinished);
        check->trigger();
        QVERIFY(!check->isEnabled()); // false while the check runs
        QTRY_COMPARE(finished.count(), 1);
        QVERIFY(check->isEnabled());
        const auto result = finished.at(0).at(0).value<AppUpdater::CheckResult>();
        QCOMPARE(int(result.kind), kind);
        QCOMPARE(finished.at(0).at(1).toBool(), true);
        QTRY_VERIFY(h.resultBox() != nullptr); // the user's check always answers
        QCOMPARE(h.resultBox()->windowTitle(), QString("Check for Updates"));
        QCOMPARE(h.resultBox()->text(), text);
        QVERIFY2(h.resultBox()->informativeText().startsWith(details), qPrintable(h.resultBox()->informativeText()));
        if (result.kind == AppUpdater::CheckResult::Kind::newer) {
            QCOMPARE(result.release.version, QString("9.1.0"));
            QCOMPARE(result.release.downloadPage, QString("https://tallowin.example/releases/9.1.0"));
            QVERIFY(h.resultBox()->findChild<QPushButton*>("downloadPageButton") != nullptr);
        }
    }

    void launchChecksInTheBackgroundOnlyWhenADayHasPassed() {
        LocalHttpServer server;
        server.route("/appcast.xml", HttpRoute::answer(200, appcast("0.1.0").toStdString()));
        const QString url = QString::fromStdString(server.baseUrl() + "/appcast.xml");
        const std::filesystem::path stamp = Sandbox::makeTempFolder("stamp") / "last-check";
        {
            Harness h(url, stamp); // never checked
            QSignalSpy finished(&h.app->appUpdater(), &AppUpdater::checkFinished);
            h.app->launch();
            QTRY_COMPARE(finished.count(), 1);
            QCOMPARE(finished.at(0).at(1).toBool(), false);
            QCOMPARE(server.requests().size(), size_t(1));
            QTest::qWait(50);
            QVERIFY(h.resultBox() == nullptr); // up to date: nothing to say unasked
        }
        QVERIFY(std::filesystem::exists(stamp));
        {
            Harness h(url, stamp); // checked a moment ago
            h.app->launch();
            QTest::qWait(300);
            QCOMPARE(server.requests().size(), size_t(1));
        }
        std::filesystem::last_write_time(stamp, std::filesystem::file_time_type::clock::now() - std::chrono::hours(25));
        {
            Harness h(url, stamp);
            h.app->launch();
            QTRY_COMPARE(server.requests().size(), size_t(2));
        }
    }

    // Quitting mid-update: a run past its last cancellation point is waited for, so its install
    // (or revert) completes; a running download's tool is stopped.
    void quittingLetsAnInstallFinishAndStopsADownload() {
        std::atomic_bool installed = false;
        std::jthread installer;
        {
            Harness h("");
            h.updates.setHonourStop(false);
            h.app->launch();
            h.app->updateYtdlp();
            QTRY_COMPARE(h.updates.calls(), 1);
            h.app->openLinks({"https://example.com/v"});
            QTRY_COMPARE(h.downloads.calls(), 1);
            installer = std::jthread([&] {
                QThread::msleep(200);
                h.updates.answer(0, [&] {
                    installed = true;
                    return YtdlpUpdateOutcome::updated("2025.02.01");
                });
            });
            h.app->window().close();
            h.app.reset(); // what quitting does: the window goes, then the models
            QVERIFY(installed.load());
            QCOMPARE(h.downloads.stopsSeen(), 1);
            installer.join();
        }
    }

    // Closing during downloads asks once, naming how many run and wait; keeping them leaves the
    // window and the runs alone.
    void closingDuringADownloadAsks_data() {
        QTest::addColumn<int>("links");
        QTest::addColumn<QString>("question");
        QTest::addColumn<QString>("details");
        QTest::newRow("one") << 1 << "Stop the download and quit?"
                             << "";
        QTest::newRow("four") << 4 << "Stop 4 downloads and quit?"
                              << "Running: 3. Waiting: 1.";
    }
    void closingDuringADownloadAsks() {
        QFETCH(int, links);
        QFETCH(QString, question);
        QFETCH(QString, details);
        Harness h("");
        h.app->launch();
        QStringList list;
        for (int i = 0; i < links; ++i)
            list << QString("https://example.com/%1").arg(i);
        h.app->openLinks(list + QStringList{"not-a-link"});
        QCOMPARE(h.app->tester().urlText(), QString("not-a-link")); // named in the field, not lost
        QVERIFY(!h.app->window().close());
        QVERIFY(!h.app->window().close());
        const auto questions = h.app->window().findChildren<QMessageBox*>("quitQuestion");
        QCOMPARE(questions.size(), 1);
        QCOMPARE(questions.constFirst()->text(), question);
        QCOMPARE(questions.constFirst()->informativeText(), details);
        questions.constFirst()->findChild<QPushButton*>("keepDownloadingButton")->click();
        QVERIFY(h.app->window().isVisible());
        QCOMPARE(h.app->downloads().runningCount(), std::min(links, 3));
        h.app->requestQuit();
        h.app->window().findChild<QMessageBox*>("quitQuestion")->findChild<QPushButton*>("stopAndQuitButton")->click();
        QCOMPARE(h.app->downloads().size(), 0);
        QTRY_COMPARE(h.downloads.stopsSeen(), std::min(links, 3));
    }

    // The finished files of the last day are listed at start, newest first, from the work folders
    // alone; a stopped run's pieces, a folder of two files and a day-old folder are not, and a file
    // the sweep removed leaves the list when a download ends.
    void theFilesOfTheLastDayAreListed() {
        namespace fs = std::filesystem;
        const fs::path staging = Sandbox::makeTempFolder("staging");
        const auto now = fs::file_time_type::clock::now();
        auto put = [&](const char* folder, const char* name, std::chrono::hours age) {
            fs::create_directories(staging / folder);
            std::ofstream(staging / folder / name) << "x";
            fs::last_write_time(staging / folder / name, now - age);
        };
        put("a", "older.mp4", std::chrono::hours(3));
        put("b", "newer.mp4", std::chrono::hours(1));
        put("c", "stopped.mp4.part", std::chrono::hours(1));
        put("d", "one.mp4", std::chrono::hours(1));
        put("d", "two.mp4", std::chrono::hours(1));
        put("e", "old.mp4", std::chrono::hours(30));
        fs::last_write_time(staging / "e", now - std::chrono::hours(30));
        Harness h("", {}, staging);
        h.app->launch();
        QVERIFY(QTest::qWaitForWindowExposed(&h.app->window()));
        DownloadList& list = h.app->downloads();
        QTRY_COMPARE(list.size(), 2);
        QCOMPARE(list.row(0).state().video.fileURL, staging / "b" / "newer.mp4");
        QCOMPARE(list.row(1).state().video.fileURL, staging / "a" / "older.mp4");
        const auto names = h.app->window().findChildren<QWidget*>("statusFileName");
        QCOMPARE(names.size(), 2);
        fs::remove_all(staging / "b"); // what the sweep does to a day-old folder
        h.app->openLinks({"https://example.com/v"});
        QTRY_COMPARE(h.downloads.calls(), 1);
        h.downloads.answer(0, [&] { return DownloadedVideo{staging / "f" / "new.mp4", false, false}; });
        QTRY_COMPARE(list.size(), 2);
        QCOMPARE(list.row(0).state().video.fileURL, staging / "a" / "older.mp4");
        QCOMPARE(list.row(1).urlText(), QString("https://example.com/v"));
    }

    // Wired as main() wires it. Runs the application's own loop, so it comes last.
    void aSignalQuitsLikeQuitWithTheShellsStatus_data() {
        QTest::addColumn<int>("number");
        QTest::newRow("terminate") << int(SIGTERM);
        QTest::newRow("hangup") << int(SIGHUP);
    }
    void aSignalQuitsLikeQuitWithTheShellsStatus() {
        QFETCH(int, number);
        QuitOnSignal quitOnSignal;
        Harness h("");
        connect(&quitOnSignal, &QuitOnSignal::received, h.app.get(), &TallowinApp::quitAfterSignal);
        h.app->launch();
        h.app->openLinks({"https://example.com/v"});
        QTRY_COMPARE(h.downloads.calls(), 1);
        QSignalSpy quitting(qApp, &QCoreApplication::aboutToQuit);
        QTimer::singleShot(0, [number] { ::kill(::getpid(), number); });
        QTimer::singleShot(30000, [] { QCoreApplication::exit(-1); }); // a handler that never fires
        QCOMPARE(QCoreApplication::exec(), 128 + number);
        QCOMPARE(quitting.count(), 1);
        QTRY_COMPARE(h.downloads.stopsSeen(), 1);
    }
};

QTEST_MAIN(TallowinAppTest)
#include "TallowinAppTest.moc"
