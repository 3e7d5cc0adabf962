#include "support/ScriptedRuns.h"

#include "appcore/DownloadList.h"

#include <QTest>

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>

namespace {

// A list whose downloads are scripted by the test; each call is known by its link.
struct Harness {
    ScriptedRuns<DownloadedVideo> runs;
    std::mutex mutex;
    std::map<std::string, int> callOf; // link: the index of its call
    std::vector<std::pair<std::string, VideoQuality>> calls;
    std::unique_ptr<DownloadList> list;
    QString startedOrder; // the links' letters as their rows began to run, on the list's thread

    Harness() {
        list = std::make_unique<DownloadList>(
            [this](const std::string& url, VideoQuality quality, bool, bool, std::stop_token stop, const auto&...) {
                {
                    std::lock_guard guard(mutex);
                    callOf[url] = static_cast<int>(calls.size());
                    calls.emplace_back(url, quality);
                }
                return runs.wait(stop);
            });
        QObject::connect(list.get(), &DownloadList::rowAdded, list.get(), [this](DownloadTester* row) {
            QObject::connect(row, &DownloadTester::stateChanged, list.get(), [this, row] {
                if (row->state().kind == DownloadTester::State::Kind::running)
                    startedOrder += row->urlText().back();
            });
        });
    }
    ~Harness() { list.reset(); }

    bool called(const QString& link) {
        std::lock_guard guard(mutex);
        return callOf.contains(link.toStdString());
    }
    int call(const QString& link) {
        std::lock_guard guard(mutex);
        return callOf.at(link.toStdString());
    }
    // One letter per row, oldest first: Waiting, Running, Finished, fAiled.
    QString states() const {
        QString out;
        for (int i = 0; i < list->size(); ++i)
            out += QString("WRFA").at(static_cast<int>(list->row(i).state().kind));
        return out;
    }
    QStringList links() const {
        QStringList out;
        for (int i = 0; i < list->size(); ++i)
            out << list->row(i).urlText();
        return out;
    }
};

QString link(char name) {
    return QString("https://e.test/") + name;
}

} // namespace

// The list's rules, one scenario per row: links come in (typed text, parsed), steps happen, and
// the rows stand as expected. Steps: "+x" adds link x at 720p; "fx" finishes x's download, "!x"
// fails it, "sx" tries it again signed in; "-N" cancels or removes row N; "esc" cancels the newest
// running one.
class DownloadListTest : public QObject {
    Q_OBJECT
private slots:
    void rowsFollowTheQueueRule_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("rows");      // link letters, oldest first
        QTest::addColumn<QString>("states");    // one letter per row
        QTest::addColumn<QString>("started");   // the links whose download was called, in order
        QTest::addColumn<QStringList>("named"); // the words parse rejected

        const QString four = "https://e.test/a https://e.test/b\nhttps://e.test/c  https://e.test/d";
        QTest::newRow("three run, the fourth waits") << four << QStringList{} << "abcd"
                                                     << "RRRW"
                                                     << "abc" << QStringList{};
        QTest::newRow("it starts when one ends") << four << QStringList{"fb"} << "abcd"
                                                 << "RFRR"
                                                 << "abcd" << QStringList{};
        QTest::newRow("a failure frees a place too") << four << QStringList{"!a"} << "abcd"
                                                     << "ARRR"
                                                     << "abcd" << QStringList{};
        QTest::newRow("a retry waits for a free place") << four << QStringList{"!a", "sa"} << "abcd"
                                                        << "WRRR"
                                                        << "abcd" << QStringList{};
        QTest::newRow("and takes the first one freed") << four << QStringList{"!a", "sa", "fb"} << "abcd"
                                                       << "RFRR"
                                                       << "abcda" << QStringList{};
        QTest::newRow("in the order added") << four << QStringList{"+e", "fa", "fb"} << "abcde"
                                            << "FFRRR"
                                            << "abcde" << QStringList{};
        QTest::newRow("cancelling a waiting row starts none") << four << QStringList{"-3"} << "abc"
                                                              << "RRR"
                                                              << "abc" << QStringList{};
        QTest::newRow("cancelling a running row starts the next") << four << QStringList{"-0"} << "bcd"
                                                                  << "RRR"
                                                                  << "abcd" << QStringList{};
        QTest::newRow("escape takes the newest running") << four << QStringList{"esc"} << "abd"
                                                         << "RRR"
                                                         << "abcd" << QStringList{};
        QTest::newRow("an ended row is removed") << four << QStringList{"fa", "-0"} << "bcd"
                                                 << "RRR"
                                                 << "abcd" << QStringList{};
        QTest::newRow("links added while others run are kept")
            << "https://e.test/a" << QStringList{"+b", "+c", "+d", "+e"} << "abcde"
            << "RRRWW"
            << "abc" << QStringList{};
        QTest::newRow("a bad word is named, each link added once")
            << "https://e.test/a example.com/v https://e.test/a -f https://e.test/b" << QStringList{} << "ab"
            << "RR"
            << "ab" << QStringList{"example.com/v", "-f"};
        QTest::newRow("nothing usable adds nothing") << "  e.test/x \n"
                                                     << QStringList{} << ""
                                                     << ""
                                                     << "" << QStringList{"e.test/x"};
    }
    void rowsFollowTheQueueRule() {
        QFETCH(QString, typed);
        QFETCH(QStringList, steps);
        QFETCH(QString, rows);
        QFETCH(QString, states);
        QFETCH(QString, started);
        QFETCH(QStringList, named);
        Harness h;
        const DownloadList::Links links = DownloadList::parse(typed);
        QCOMPARE(links.rejected, named);
        h.list->add(links.usable, VideoQuality::highest, true, false);
        for (const QString& step : steps) {
            if (step == "esc") {
                QVERIFY(h.list->cancelNewestRunning());
            } else if (step.startsWith('+')) {
                h.list->add({link(step.at(1).toLatin1())}, VideoQuality::p720, true, false);
            } else if (step.startsWith('s')) {
                h.list->row(h.links().indexOf(link(step.at(1).toLatin1())))
                    .retrySignedIn(BrowserSignIn::parse("firefox"), "Firefox");
            } else if (step.startsWith('-')) {
                h.list->remove(&h.list->row(step.mid(1).toInt()));
            } else {
                const QString target = link(step.at(1).toLatin1());
                QTRY_VERIFY(h.called(target));
                if (step.startsWith('f'))
                    h.runs.answer(h.call(target), [] { return DownloadedVideo{"/cache/w/clip.mp4", false, false}; });
                else
                    h.runs.answer(h.call(target), []() -> DownloadedVideo { throw std::runtime_error("404"); });
                QTRY_VERIFY(h.list->row(h.links().indexOf(target)).state().kind !=
                            DownloadTester::State::Kind::running);
            }
        }
        QString expectedLinks;
        for (const QString& row : h.links())
            expectedLinks += row.back();
        QCOMPARE(expectedLinks, rows);
        QCOMPARE(h.states(), states);
        QCOMPARE(h.list->runningCount(), int(states.count('R')));
        QCOMPARE(h.list->waitingCount(), int(states.count('W')));
        QTRY_COMPARE(h.runs.calls(), int(started.size()));
        QTest::qWait(20);
        QCOMPARE(h.startedOrder, started);
        std::lock_guard guard(h.mutex);
        QString called;
        for (const auto& [url, quality] : h.calls) {
            called += url.back();
            // Each row keeps the quality it was added with.
            QCOMPARE(quality, steps.contains(QString("+") + url.back()) ? VideoQuality::p720 : VideoQuality::highest);
        }
        std::sort(called.begin(), called.end()); // the threads call in any order
        std::sort(started.begin(), started.end());
        QCOMPARE(called, started);
    }
};

QTEST_GUILESS_MAIN(DownloadListTest)
#include "DownloadListTest.moc"
