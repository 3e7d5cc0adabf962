#include "support/ScriptedRuns.h"

#include "appcore/DownloadTester.h"
#include "download/DownloadError.h"
#include "support/FakeTool.h"
#include "support/Sandbox.h"

#include <QSignalSpy>
#include <QTest>

#include <csignal>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

Q_DECLARE_METATYPE(DownloadTester::State::Kind)

namespace {

struct Call {
    std::string url;
    VideoQuality quality;
    bool forceMP4;
    bool compatibleMP4;
};

// A tester whose downloads are scripted by the test and whose calls are recorded.
struct Harness {
    ScriptedRuns<DownloadedVideo> runs;
    std::mutex mutex;
    std::vector<Call> calls;
    std::vector<DownloadProgressHandler> reporters; // each call's progress handler
    std::unique_ptr<DownloadTester> tester;

    Harness() {
        tester = std::make_unique<DownloadTester>([this](const std::string& url,
                                                         VideoQuality quality,
                                                         bool force,
                                                         bool compatible,
                                                         std::stop_token stop,
                                                         const DownloadProgressHandler& onProgress,
                                                         const std::optional<BrowserSignIn>&) {
            {
                std::lock_guard guard(mutex);
                calls.push_back({url, quality, force, compatible});
                reporters.push_back(onProgress);
            }
            return runs.wait(stop);
        });
    }

    // Reports progress as call `index` would, from a thread of its own (as the core does).
    void report(int index, const DownloadProgress& progress) {
        DownloadProgressHandler reporter;
        {
            std::lock_guard guard(mutex);
            reporter = reporters.at(index);
        }
        std::thread([reporter, progress] { reporter(progress); }).join();
    }
    ~Harness() { tester.reset(); } // joins the workers before runs goes

    Call call(int index) {
        std::lock_guard guard(mutex);
        return calls.at(index);
    }
};

DownloadedVideo video(const char* name) {
    return {std::filesystem::path("/work") / name, false, true};
}

} // namespace

class DownloadTesterTest : public QObject {
    Q_OBJECT
private slots:
    void progressReachesTheModelOnlyWhileItsRunIsCurrent() {
        Harness h;
        DownloadTester& t = *h.tester;
        t.setUrlText(QStringLiteral("https://a.test/v"));
        QSignalSpy changes(&t, &DownloadTester::progressChanged);
        t.start();
        QTRY_COMPARE(h.runs.calls(), 1);
        DownloadProgress halfway;
        halfway.fraction = 0.5;
        halfway.bytes = 5'000'000;
        h.report(0, halfway);
        QTRY_VERIFY(t.progress() == std::optional<DownloadProgress>(halfway));

        // A cancelled run's late report is dropped; a new run starts without progress.
        t.cancel();
        QVERIFY(!t.progress().has_value());
        h.report(0, halfway);
        t.start();
        QTRY_COMPARE(h.runs.calls(), 2);
        QCoreApplication::processEvents();
        QVERIFY(!t.progress().has_value());

        // The end of a run takes its progress with it.
        h.report(1, halfway);
        QTRY_VERIFY(t.progress().has_value());
        h.runs.answer(1, [] { return video("clip.mp4"); });
        QTRY_COMPARE(t.state().kind, DownloadTester::State::Kind::finished);
        QVERIFY(!t.progress().has_value());
        QVERIFY(changes.count() >= 3);
    }

    void newModelHasInitialValues() {
        Harness h;
        DownloadTester& t = *h.tester;
        QCOMPARE(t.urlText(), QString());
        QCOMPARE(t.quality(), VideoQuality::highest);
        QVERIFY(t.forceMP4());
        QVERIFY(!t.compatibleMP4());
        QCOMPARE(t.state().kind, DownloadTester::State::Kind::idle);
        QVERIFY(!t.url().has_value());
    }

    void urlFollowsTheSharedRule_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected"); // empty: no url
        QTest::newRow("trimmed") << "  https://example.com/v?id=1 \n"
                                 << "https://example.com/v?id=1";
        QTest::newRow("tabs and line breaks") << "\t\r\nhttp://127.0.0.1:8000/a.mp4\n"
                                              << "http://127.0.0.1:8000/a.mp4";
        QTest::newRow("schemeless host and path") << "example.com/watch?v=1"
                                                  << "";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("only spaces") << "   \n "
                                     << "";
        QTest::newRow("option-like") << "-o /tmp/x https://example.com"
                                     << "";
        QTest::newRow("double dash option") << "--exec=touch /tmp/p"
                                            << "";
        QTest::newRow("mail link") << "mailto:someone@example.com"
                                   << "mailto:someone@example.com";
        QTest::newRow("file link") << "file:///tmp/clip.mp4"
                                   << "file:///tmp/clip.mp4";
    }
    void urlFollowsTheSharedRule() {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        Harness h;
        h.tester->setUrlText(text);
        QCOMPARE(h.tester->urlText(), text); // kept exactly as typed
        QCOMPARE(h.tester->url().value_or(QString()), expected);
    }

    void startWithoutUrlChangesNothing() {
        Harness h;
        h.tester->setUrlText("example.com/v");
        QSignalSpy states(h.tester.get(), &DownloadTester::stateChanged);
        h.tester->start();
        QCOMPARE(states.count(), 0);
        QCOMPARE(h.tester->state().kind, DownloadTester::State::Kind::idle);
        QTest::qWait(50);
        QCOMPARE(h.runs.calls(), 0);
    }

    void twoStartsMakeOneTask() {
        Harness h;
        h.tester->setUrlText("https://example.com/v");
        QSignalSpy states(h.tester.get(), &DownloadTester::stateChanged);
        h.tester->start();
        QCOMPARE(h.tester->state().kind, DownloadTester::State::Kind::running); // at once, before the run
        h.tester->start();
        QCOMPARE(states.count(), 1);
        QTRY_COMPARE(h.runs.calls(), 1);
        h.runs.answer(0, [] { return video("a.mp4"); });
        QTRY_COMPARE(h.tester->state().kind, DownloadTester::State::Kind::finished);
        QCOMPARE(h.runs.calls(), 1);
        QCOMPARE(h.tester->state().video, video("a.mp4"));
    }

    void controlsChangedDuringARunDoNotChangeItsArguments() {
        Harness h;
        h.tester->setUrlText(" https://example.com/v ");
        h.tester->setQuality(VideoQuality::p720);
        h.tester->setForceMP4(false);
        h.tester->setCompatibleMP4(true);
        h.tester->start();
        h.tester->setQuality(VideoQuality::audioOnly);
        h.tester->setForceMP4(true);
        h.tester->setCompatibleMP4(false);
        h.tester->setUrlText("https://example.com/other");
        QTRY_COMPARE(h.runs.calls(), 1);
        const Call call = h.call(0);
        QCOMPARE(call.url, std::string("https://example.com/v"));
        QCOMPARE(call.quality, VideoQuality::p720);
        QCOMPARE(call.forceMP4, false);
        QCOMPARE(call.compatibleMP4, true); // handed on unchanged; the pipeline ignores it without forceMP4
        h.runs.answer(0, [] { return video("a.mp4"); });
    }

    // "Update yt-dlp and Try Again": the ordinary update, then the failed download with its own settings.
    void updateAndRetryDownloadsAgainAfterANewerCopyOnly_data() {
        QTest::addColumn<bool>("newer");
        QTest::newRow("updated") << true;
        QTest::newRow("already current") << false;
    }
    void updateAndRetryDownloadsAgainAfterANewerCopyOnly() {
        QFETCH(bool, newer);
        Harness h;
        YtdlpUpdater updater([newer](const auto&, std::stop_token) {
            return newer ? YtdlpUpdateOutcome::updated("2026.12.09") : YtdlpUpdateOutcome::alreadyCurrent("2020.01.01");
        });
        h.tester->setUrlText("https://example.com/v");
        h.tester->setQuality(VideoQuality::p720);
        h.tester->start();
        QTRY_COMPARE(h.runs.calls(), 1);
        h.runs.answer(0, []() -> DownloadedVideo {
            throw DownloadError::downloadFailed("x", {FailureKind::unreadablePage, 0}, "2020.01.01");
        });
        QTRY_COMPARE(h.tester->state().kind, DownloadTester::State::Kind::failed);
        h.tester->setQuality(VideoQuality::p480);
        h.tester->updateAndRetry(updater);
        QTRY_COMPARE(updater.state().kind, YtdlpUpdater::State::Kind::finished);
        QCOMPARE(h.tester->state().kind,
                 newer ? DownloadTester::State::Kind::running : DownloadTester::State::Kind::failed);
        if (newer) {
            QTRY_COMPARE(h.runs.calls(), 2);
            QCOMPARE(h.call(1).quality, VideoQuality::p720);
            h.runs.answer(1, [] { return video("a.mp4"); });
        }
    }

    void runOutcomesBecomeStates_data() {
        QTest::addColumn<int>("ending");
        QTest::addColumn<DownloadTester::State::Kind>("kind");
        QTest::addColumn<QString>("message");
        QTest::newRow("file") << 0 << DownloadTester::State::Kind::finished << "";
        QTest::newRow("download error") << 1 << DownloadTester::State::Kind::failed
                                        << QString::fromStdString(DownloadError::noOutputFile().what());
        QTest::newRow("other error") << 2 << DownloadTester::State::Kind::failed << "disk on fire";
        QTest::newRow("cancellation error") << 3 << DownloadTester::State::Kind::idle << "";
    }
    void runOutcomesBecomeStates() {
        QFETCH(int, ending);
        QFETCH(DownloadTester::State::Kind, kind);
        QFETCH(QString, message);
        Harness h;
        h.tester->setUrlText("https://example.com/v");
        h.tester->start();
        QTRY_COMPARE(h.runs.calls(), 1);
        h.runs.answer(0, [ending]() -> DownloadedVideo {
            switch (ending) {
            case 1:
                throw DownloadError::noOutputFile();
            case 2:
                throw std::runtime_error("disk on fire");
            case 3:
                throw OperationCancelled();
            }
            return video("a.mp4");
        });
        QTRY_COMPARE(h.tester->state().kind, kind);
        QCOMPARE(h.tester->state().message, message);
        QCOMPARE(h.tester->urlText(), QString("https://example.com/v")); // kept for another try
    }

    void cancelInEachStateEndsIdle_data() {
        QTest::addColumn<int>("from"); // 0 idle, 1 running, 2 finished, 3 failed
        QTest::newRow("idle") << 0;
        QTest::newRow("running") << 1;
        QTest::newRow("finished") << 2;
        QTest::newRow("failed") << 3;
    }
    void cancelInEachStateEndsIdle() {
        QFETCH(int, from);
        Harness h;
        // Like the real pipeline: a terminated yt-dlp is reported as a failed download.
        h.runs.onStop = []() -> DownloadedVideo { throw DownloadError::downloadFailed("terminated"); };
        h.tester->setUrlText("https://example.com/v");
        if (from > 0) {
            h.tester->start();
            QTRY_COMPARE(h.runs.calls(), 1);
        }
        if (from == 2)
            h.runs.answer(0, [] { return video("a.mp4"); });
        if (from == 3)
            h.runs.answer(0, []() -> DownloadedVideo { throw std::runtime_error("boom"); });
        if (from >= 2)
            QTRY_VERIFY(h.tester->state().kind != DownloadTester::State::Kind::running);

        QSignalSpy states(h.tester.get(), &DownloadTester::stateChanged);
        h.tester->cancel();
        QCOMPARE(h.tester->state().kind, DownloadTester::State::Kind::idle);
        QCOMPARE(states.count(), 1); // every write notifies, even idle over idle
        if (from == 1)
            QTRY_COMPARE(h.runs.stopsSeen(), 1); // the stop reached the run
        // The cancelled run's late "failed" never replaces the idle.
        QTest::qWait(100);
        QCOMPARE(h.tester->state().kind, DownloadTester::State::Kind::idle);
    }

    void lateResultOfACancelledRunLeavesTheNewerRun() {
        Harness h;
        h.runs.setHonourStop(false); // the first download completes just as it is cancelled
        h.tester->setUrlText("https://example.com/v");
        h.tester->start();
        QTRY_COMPARE(h.runs.calls(), 1);
        h.tester->cancel();
        h.tester->start();
        QTRY_COMPARE(h.runs.calls(), 2);
        h.runs.answer(0, [] { return video("old.mp4"); });
        QTest::qWait(150);
        QCOMPARE(h.tester->state().kind, DownloadTester::State::Kind::running);
        h.runs.answer(1, [] { return video("new.mp4"); });
        QTRY_COMPARE(h.tester->state().kind, DownloadTester::State::Kind::finished);
        QCOMPARE(h.tester->state().video, video("new.mp4"));
    }

    // Unlike the updater's state (YtdlpUpdaterTest), every write notifies, even an equal one.
    void repeatedEqualStateNotifies() {
        Harness h;
        QSignalSpy states(h.tester.get(), &DownloadTester::stateChanged);
        h.tester->cancel();
        h.tester->cancel();
        QCOMPARE(h.tester->state().kind, DownloadTester::State::Kind::idle);
        QCOMPARE(states.count(), 2);
    }

    void settersNotifyOnlyOnChange() {
        Harness h;
        DownloadTester& t = *h.tester;
        QSignalSpy text(&t, &DownloadTester::urlTextChanged);
        QSignalSpy quality(&t, &DownloadTester::qualityChanged);
        QSignalSpy force(&t, &DownloadTester::forceMP4Changed);
        QSignalSpy compatible(&t, &DownloadTester::compatibleMP4Changed);
        t.setUrlText("a");
        t.setUrlText("a");
        t.setQuality(VideoQuality::highest);
        t.setQuality(VideoQuality::p480);
        t.setForceMP4(true);
        t.setForceMP4(false);
        t.setCompatibleMP4(false);
        t.setCompatibleMP4(true);
        t.setCompatibleMP4(true);
        QCOMPARE(text.count(), 1);
        QCOMPARE(quality.count(), 1);
        QCOMPARE(force.count(), 1);
        QCOMPARE(compatible.count(), 1);
    }

    // With the real pipeline and a fake yt-dlp that lingers: twenty quick Download, Cancel,
    // Download rounds, then the model goes away. Every yt-dlp started must be gone.
    void rapidDownloadCancelLeavesNoChildProcess() {
        const std::filesystem::path pids = Sandbox::makeTempFolder("pids") / "pids";
        writeFakeTool(Sandbox::helpers() / "yt-dlp",
                      "if [ \"$1\" = --version ]; then echo 2025.01.15; exit 0; fi\n"
                      "echo $$ >> '" +
                          pids.string() + "'\nexec sleep 60\n");
        for (const char* tool : {"ffmpeg", "ffprobe", "deno"})
            writeFakeTool(Sandbox::helpers() / tool, "echo 'fake version 1.0'\n");
        {
            DownloadTester tester;
            tester.setUrlText(QString(100 * 1024, QChar('x')) + "\x01\x02"); // a huge paste: no url
            tester.start();
            QCOMPARE(tester.state().kind, DownloadTester::State::Kind::idle);
            tester.setUrlText("http://127.0.0.1:9/never");
            for (int round = 0; round < 20; ++round) {
                tester.start();
                QCoreApplication::processEvents();
                tester.cancel();
                tester.start();
                QTest::qWait(5);
                tester.cancel();
            }
            tester.start();
            QTest::qWait(300);
        }
        std::istringstream lines(readFile(pids));
        int started = 0;
        for (std::string line; std::getline(lines, line);) {
            if (line.empty())
                continue;
            ++started;
            const pid_t pid = std::stoi(line);
            QVERIFY2(::kill(pid, 0) != 0, ("yt-dlp child still alive: " + line).c_str());
        }
        QVERIFY(started >= 1);
    }
};

QTEST_GUILESS_MAIN(DownloadTesterTest)
#include "DownloadTesterTest.moc"
