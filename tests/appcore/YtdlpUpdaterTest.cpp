#include "support/ScriptedRuns.h"

#include "appcore/YtdlpUpdater.h"

#include <QSignalSpy>
#include <QTest>

#include <atomic>
#include <memory>

namespace {

YtdlpStatus bundledStatus(const char* version) {
    YtdlpStatus status;
    status.bundledVersion = version;
    status.active = {"/pkg/Contents/Helpers/yt-dlp", std::string(version), YtdlpInstallation::Source::bundled};
    return status;
}

// An updater whose engine runs are scripted by the test; the progress callback of the latest
// run is kept so the test can report phases from the worker's side.
struct Harness {
    ScriptedRuns<YtdlpUpdateOutcome> runs;
    std::mutex mutex;
    std::function<void(YtdlpUpdatePhase)> progress;
    std::atomic_int statusLookups = 0;
    YtdlpStatus nextStatus = bundledStatus("2025.01.15");
    std::unique_ptr<YtdlpUpdater> updater;

    Harness() {
        updater = std::make_unique<YtdlpUpdater>(
            [this](const std::function<void(YtdlpUpdatePhase)>& report, std::stop_token stop) {
                {
                    std::lock_guard guard(mutex);
                    progress = report;
                }
                return runs.wait(stop);
            },
            [this](std::stop_token) {
                ++statusLookups;
                std::lock_guard guard(mutex);
                return nextStatus;
            });
    }
    ~Harness() { updater.reset(); }

    void report(YtdlpUpdatePhase phase) {
        std::function<void(YtdlpUpdatePhase)> callback;
        {
            std::lock_guard guard(mutex);
            callback = progress;
        }
        callback(phase);
    }
    void finishRun(int index, YtdlpUpdateOutcome outcome) {
        runs.answer(index, [outcome] { return outcome; });
    }
};

using Kind = YtdlpUpdater::State::Kind;

} // namespace

class YtdlpUpdaterTest : public QObject {
    Q_OBJECT
private slots:
    void startsAtDownloadingZeroAndIgnoresASecondStart() {
        Harness h;
        QCOMPARE(h.updater->state().kind, Kind::idle);
        QVERIFY(!h.updater->status().has_value());
        QSignalSpy states(h.updater.get(), &YtdlpUpdater::stateChanged);
        h.updater->start();
        QCOMPARE(h.updater->state(), YtdlpUpdater::State::running(YtdlpUpdatePhase::downloading(0)));
        QTRY_COMPARE(h.runs.calls(), 1);
        h.report(YtdlpUpdatePhase::downloading(0.4));
        QTRY_COMPARE(h.updater->state(), YtdlpUpdater::State::running(YtdlpUpdatePhase::downloading(0.4)));
        h.updater->start(); // from the window or the menu: ignored
        QCOMPARE(h.updater->state(), YtdlpUpdater::State::running(YtdlpUpdatePhase::downloading(0.4)));
        QTest::qWait(50);
        QCOMPARE(h.runs.calls(), 1);
        QCOMPARE(states.count(), 2);
        h.finishRun(0, YtdlpUpdateOutcome::updated("2025.02.01"));
        QTRY_COMPARE(h.updater->state(), YtdlpUpdater::State::finished(YtdlpUpdateOutcome::updated("2025.02.01")));
    }

    void startFromAnEndedRunBeginsAFreshRun_data() {
        QTest::addColumn<bool>("failFirst");
        QTest::newRow("from finished") << false;
        QTest::newRow("from failed") << true;
    }
    void startFromAnEndedRunBeginsAFreshRun() {
        QFETCH(bool, failFirst);
        Harness h;
        h.updater->start();
        QTRY_COMPARE(h.runs.calls(), 1);
        if (failFirst)
            h.runs.answer(0, []() -> YtdlpUpdateOutcome {
                throw std::runtime_error("The downloaded yt-dlp would not run: Exec format error");
            });
        else
            h.finishRun(0, YtdlpUpdateOutcome::alreadyCurrent("2025.01.15"));
        QTRY_COMPARE(h.updater->state().kind, failFirst ? Kind::failed : Kind::finished);
        if (failFirst)
            QCOMPARE(h.updater->state().message, QString("The downloaded yt-dlp would not run: Exec format error"));
        h.updater->start();
        QCOMPARE(h.updater->state(), YtdlpUpdater::State::running(YtdlpUpdatePhase::downloading(0)));
        QTRY_COMPARE(h.runs.calls(), 2);
        h.finishRun(1, YtdlpUpdateOutcome::updated("2025.03.01"));
        QTRY_COMPARE(h.updater->state().kind, Kind::finished);
    }

    void lateProgressReportLeavesFinished() {
        Harness h;
        h.updater->start();
        QTRY_COMPARE(h.runs.calls(), 1);
        h.finishRun(0, YtdlpUpdateOutcome::updated("2025.02.01"));
        QTRY_COMPARE(h.updater->state().kind, Kind::finished);
        h.report(YtdlpUpdatePhase::downloading(0.9));
        h.report(YtdlpUpdatePhase::verifying());
        QTest::qWait(100);
        QCOMPARE(h.updater->state(), YtdlpUpdater::State::finished(YtdlpUpdateOutcome::updated("2025.02.01")));
    }

    void identicalReportsNotifyOnce() {
        Harness h;
        h.updater->start();
        QTRY_COMPARE(h.runs.calls(), 1);
        QSignalSpy states(h.updater.get(), &YtdlpUpdater::stateChanged);
        h.report(YtdlpUpdatePhase::downloading(0.25));
        h.report(YtdlpUpdatePhase::downloading(0.25));
        h.report(YtdlpUpdatePhase::verifying());
        h.report(YtdlpUpdatePhase::verifying());
        QTRY_COMPARE(h.updater->state(), YtdlpUpdater::State::running(YtdlpUpdatePhase::verifying()));
        QTest::qWait(50);
        QCOMPARE(states.count(), 2);
        h.finishRun(0, YtdlpUpdateOutcome::alreadyCurrent("2025.01.15"));
    }

    // Unlike the download form's state (DownloadTesterTest), an equal write is no news here.
    void repeatedEqualStateDoesNotNotify() {
        Harness h;
        QSignalSpy states(h.updater.get(), &YtdlpUpdater::stateChanged);
        h.updater->cancel();
        h.updater->cancel();
        QCOMPARE(h.updater->state().kind, Kind::idle);
        QCOMPARE(states.count(), 0);
    }

    void equalStatusDoesNotNotify() {
        Harness h;
        QSignalSpy statuses(h.updater.get(), &YtdlpUpdater::statusChanged);
        h.updater->setStatus(bundledStatus("2025.01.15"));
        h.updater->setStatus(bundledStatus("2025.01.15"));
        QCOMPARE(statuses.count(), 1);
        // The refresh after a run finds the same status: no notification.
        h.updater->start();
        QTRY_COMPARE(h.runs.calls(), 1);
        h.finishRun(0, YtdlpUpdateOutcome::alreadyCurrent("2025.01.15"));
        QTRY_COMPARE(h.statusLookups.load(), 1);
        QTRY_COMPARE(h.updater->state().kind, Kind::finished);
        QCOMPARE(statuses.count(), 1);
        h.updater->setStatus(std::nullopt);
        QCOMPARE(statuses.count(), 2);
    }

    void cancelDuringDownloadEndsIdleAndRefreshesStatus() {
        Harness h;
        h.nextStatus = bundledStatus("2025.01.20");
        h.updater->start();
        QTRY_COMPARE(h.runs.calls(), 1);
        h.report(YtdlpUpdatePhase::downloading(0.5));
        QTRY_COMPARE(h.updater->state(), YtdlpUpdater::State::running(YtdlpUpdatePhase::downloading(0.5)));
        QSignalSpy states(h.updater.get(), &YtdlpUpdater::stateChanged);
        h.updater->cancel();
        QCOMPARE(h.updater->state().kind, Kind::idle);
        QTRY_COMPARE(h.runs.stopsSeen(), 1);
        QTRY_COMPARE(h.updater->status(), std::optional(bundledStatus("2025.01.20")));
        QCOMPARE(h.updater->state().kind, Kind::idle);
        QCOMPARE(states.count(), 1); // the run's own idle ending adds nothing
    }

    // Past the last cancellation point the install goes on, and its result is shown; but a run
    // started in the meantime is never overwritten by the older one.
    void cancelledRunPastItsLastPointReportsUnlessANewerRunStarted() {
        Harness h;
        h.runs.setHonourStop(false);
        h.updater->start();
        QTRY_COMPARE(h.runs.calls(), 1);
        h.updater->cancel();
        h.finishRun(0, YtdlpUpdateOutcome::updated("2025.02.01"));
        QTRY_COMPARE(h.updater->state(), YtdlpUpdater::State::finished(YtdlpUpdateOutcome::updated("2025.02.01")));

        h.updater->start();
        QTRY_COMPARE(h.runs.calls(), 2);
        h.updater->cancel();
        h.updater->start();
        h.finishRun(1, YtdlpUpdateOutcome::updated("2025.03.01"));
        QTRY_COMPARE(h.runs.calls(), 3); // waited for the older run's engine call to end first
        QTest::qWait(100);
        QCOMPARE(h.updater->state(), YtdlpUpdater::State::running(YtdlpUpdatePhase::downloading(0)));
        h.finishRun(2, YtdlpUpdateOutcome::alreadyCurrent("2025.03.01"));
        QTRY_COMPARE(h.updater->state(),
                     YtdlpUpdater::State::finished(YtdlpUpdateOutcome::alreadyCurrent("2025.03.01")));
    }
};

QTEST_GUILESS_MAIN(YtdlpUpdaterTest)
#include "YtdlpUpdaterTest.moc"
