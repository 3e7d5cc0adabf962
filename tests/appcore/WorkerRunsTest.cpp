#include "appcore/WorkerRuns.h"

#include <QObject>
#include <QTest>
#include <QThread>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

Q_DECLARE_METATYPE(std::function<void(WorkerRuns&)>)

namespace {

// A GUI-thread object with its runs, as the models hold them: the runs are its last member.
struct Owner : QObject {
    QStringList applied;
    QThread* appliedOn = nullptr;
    WorkerRuns runs{this};

    // What the apply functions record; only ever called on the owner's thread.
    void record(const QString& what) {
        applied << what;
        appliedOn = QThread::currentThread();
    }
};

// Waits, on a worker, until flag is set; bounded so a broken test cannot hang the suite.
void waitFor(const std::atomic_bool& flag) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!flag.load() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

} // namespace

class WorkerRunsTest : public QObject {
    Q_OBJECT
private slots:
    void postsAreAppliedOnTheOwnersThreadInOrder() {
        Owner owner;
        owner.runs.start([&owner](std::stop_token, const WorkerRuns::Poster& back) {
            back.postIfCurrent([&owner] { owner.record("a"); });
            back.post([&owner] { owner.record("b"); });
            back.postIfCurrent([&owner] { owner.record("c"); });
        });
        QTRY_COMPARE(owner.applied, (QStringList{"a", "b", "c"}));
        QCOMPARE(owner.appliedOn, QThread::currentThread());
    }

    // What a run posts after the owner moved on: post always arrives, postIfCurrent only while
    // the run is still the current one.
    void postsOfARunTheOwnerMovedOnFrom_data() {
        QTest::addColumn<std::function<void(WorkerRuns&)>>("moveOn");
        QTest::addColumn<QStringList>("applied");
        QTest::addColumn<bool>("stopped");
        const std::function<void(WorkerRuns&)> nothing = [](WorkerRuns&) {};
        const std::function<void(WorkerRuns&)> stop = [](WorkerRuns& runs) { runs.stopCurrent(); };
        const std::function<void(WorkerRuns&)> drop = [](WorkerRuns& runs) { runs.dropCurrent(); };
        const std::function<void(WorkerRuns&)> newer = [](WorkerRuns& runs) {
            runs.start([](std::stop_token, const WorkerRuns::Poster&) {});
        };
        QTest::newRow("still current") << nothing << QStringList{"if current", "always", "end"} << false;
        QTest::newRow("stopped, still current") << stop << QStringList{"if current", "always", "end"} << true;
        QTest::newRow("dropped") << drop << QStringList{"always", "end"} << true;
        QTest::newRow("a newer run started") << newer << QStringList{"always", "end"} << false;
    }
    void postsOfARunTheOwnerMovedOnFrom() {
        QFETCH(std::function<void(WorkerRuns&)>, moveOn);
        QFETCH(QStringList, applied);
        QFETCH(bool, stopped);
        Owner owner;
        std::atomic_bool go = false;
        std::atomic_bool sawStop = false;
        owner.runs.start([&](std::stop_token stop, const WorkerRuns::Poster& back) {
            waitFor(go);
            sawStop = stop.stop_requested();
            back.postIfCurrent([&owner] { owner.record("if current"); });
            back.post([&owner] { owner.record("always"); });
            back.post([&owner] { owner.record("end"); });
        });
        moveOn(owner.runs);
        go = true;
        QTRY_VERIFY(owner.applied.contains("end")); // posts arrive in order, so all are in by now
        QCOMPARE(owner.applied, applied);
        QCOMPARE(sawStop.load(), stopped);
    }

    void nothingIsAppliedOnceTheOwnerIsGone() {
        auto owner = std::make_unique<Owner>();
        auto gone = std::make_shared<bool>(false);
        auto appliedAfterwards = std::make_shared<bool>(false);
        std::atomic_int posts = 0;
        std::atomic_bool workReturned = false;
        owner->runs.start([&, gone, appliedAfterwards](std::stop_token stop, const WorkerRuns::Poster& back) {
            // Keeps posting until the owner's destruction stops it.
            for (int i = 0; i < 100000 && !stop.stop_requested(); ++i) {
                back.post([gone, appliedAfterwards] { *appliedAfterwards = *appliedAfterwards || *gone; });
                ++posts;
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
            workReturned = true;
        });
        QTRY_VERIFY(posts.load() > 10);
        *gone = true;
        owner.reset(); // stops the run and joins it
        QVERIFY(workReturned.load());
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents();
        QVERIFY(!*appliedAfterwards);
    }
};

QTEST_GUILESS_MAIN(WorkerRunsTest)
#include "WorkerRunsTest.moc"
