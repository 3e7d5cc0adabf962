#include "app/AppcastFeed.h"

#include <QTest>

#include <stdexcept>

namespace {

QString feed(const QString& items) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
           "<rss version=\"2.0\" xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\">"
           "<channel><title>Tallowin</title>" +
           items + "</channel></rss>";
}

} // namespace

class AppcastFeedTest : public QObject {
    Q_OBJECT
private slots:
    void newestReleaseOfTheFeed_data() {
        QTest::addColumn<QString>("xml");
        QTest::addColumn<QString>("version"); // empty: no release
        QTest::addColumn<QString>("display");
        QTest::addColumn<QString>("page");
        QTest::newRow("enclosure attribute") << feed("<item><link>https://t.example/0.2</link>"
                                                     "<enclosure url=\"https://t.example/0.2.tar.gz\" "
                                                     "sparkle:version=\"0.2.0\"/></item>")
                                             << "0.2.0" << "0.2.0" << "https://t.example/0.2";
        QTest::newRow("plain version attribute, no link")
            << feed("<item><enclosure url=\"https://t.example/a.tgz\" version=\"1.4\"/></item>") << "1.4" << "1.4"
            << "https://t.example/a.tgz";
        QTest::newRow("element and short version")
            << feed("<item><sparkle:version>210</sparkle:version>"
                    "<sparkle:shortVersionString>2.1</sparkle:shortVersionString>"
                    "<enclosure url=\"https://t.example/x\"/></item>")
            << "210" << "2.1" << "https://t.example/x";
        QTest::newRow("numeric order, not text order")
            << feed("<item><enclosure url=\"u9\" sparkle:version=\"0.9.0\"/></item>"
                    "<item><enclosure url=\"u10\" sparkle:version=\"0.10.0\"/></item>"
                    "<item><enclosure url=\"u2\" sparkle:version=\"0.2.0\"/></item>")
            << "0.10.0" << "0.10.0" << "u10";
        QTest::newRow("item without version") << feed("<item><enclosure url=\"u\"/></item>") << "" << "" << "";
        QTest::newRow("no items") << feed("") << "" << "" << "";
    }
    void newestReleaseOfTheFeed() {
        QFETCH(QString, xml);
        QFETCH(QString, version);
        QFETCH(QString, display);
        QFETCH(QString, page);
        const std::optional<AppcastFeed::Release> release = AppcastFeed::newestRelease(xml);
        QCOMPARE(release.has_value(), !version.isEmpty());
        if (release) {
            QCOMPARE(release->version, version);
            QCOMPARE(release->displayName, display);
            QCOMPARE(release->downloadPage, page);
        }
    }

    void textThatIsNotXmlThrows() {
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, AppcastFeed::newestRelease("<html><body>oops"));
    }
};

QTEST_MAIN(AppcastFeedTest)
#include "AppcastFeedTest.moc"
