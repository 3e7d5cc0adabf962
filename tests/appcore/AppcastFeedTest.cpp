#include "appcore/AppcastFeed.h"

#include <QTest>

#include <stdexcept>

namespace {

QString feed(const QString& items) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
           "<rss version=\"2.0\" xmlns:release=\"https://tallowin.example/ns/release\">"
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
        QTest::newRow("prefixed attribute, matched by its local name")
            << feed("<item><link>https://t.example/0.2</link>"
                    "<enclosure url=\"https://t.example/0.2.tar.gz\" "
                    "release:version=\"0.2.0\"/></item>")
            << "0.2.0"
            << "0.2.0"
            << "https://t.example/0.2";
        QTest::newRow("plain version attribute, no link")
            << feed("<item><enclosure url=\"https://t.example/a.tgz\" version=\"1.4\"/></item>") << "1.4"
            << "1.4"
            << "https://t.example/a.tgz";
        QTest::newRow("short version attribute")
            << feed("<item><enclosure url=\"u\" version=\"310\" shortVersionString=\"3.1\"/></item>") << "310"
            << "3.1"
            << "u";
        QTest::newRow("plain elements") << feed(
                                               "<item><version>42</version><shortVersionString>4.2</shortVersionString>"
                                               "<enclosure url=\"u\"/></item>")
                                        << "42"
                                        << "4.2"
                                        << "u";
        QTest::newRow("prefixed elements") << feed("<item><release:version>210</release:version>"
                                                   "<release:shortVersionString>2.1</release:shortVersionString>"
                                                   "<enclosure url=\"https://t.example/x\"/></item>")
                                           << "210"
                                           << "2.1"
                                           << "https://t.example/x";
        QTest::newRow("numeric order, not text order")
            << feed("<item><enclosure url=\"u9\" release:version=\"0.9.0\"/></item>"
                    "<item><enclosure url=\"u10\" release:version=\"0.10.0\"/></item>"
                    "<item><enclosure url=\"u2\" release:version=\"0.2.0\"/></item>")
            << "0.10.0"
            << "0.10.0"
            << "u10";
        QTest::newRow("item without version") << feed("<item><enclosure url=\"u\"/></item>") << ""
                                              << ""
                                              << "";
        QTest::newRow("no items") << feed("") << ""
                                  << ""
                                  << "";
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

QTEST_GUILESS_MAIN(AppcastFeedTest)
#include "AppcastFeedTest.moc"
