#include "appcore/UserFolders.h"
#include "support/Sandbox.h"
#include "support/ScopedEnv.h"

#include <QDir>
#include <QTest>

#include <fstream>

// Where Save a Copy… starts, by what user-dirs.dirs says ("~" is the home folder), never Qt's ~/Videos.
class UserFoldersTest : public QObject {
    Q_OBJECT
private slots:
    void copiesStartInTheVideosFolderOrHome_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("expected");
        QTest::newRow("quoted, last wins") << "XDG_VIDEOS_DIR=\"$HOME/a\"\nXDG_VIDEOS_DIR=\"$HOME/M \\\"V\\\"\""
                                           << "~/M \"V\"";
        QTest::newRow("turned off") << "XDG_VIDEOS_DIR=\"$HOME/\"\n"
                                    << "~";
        QTest::newRow("relative") << "XDG_VIDEOS_DIR=\"Videos\"\n"
                                  << "~";
        QTest::newRow("none") << ""
                              << "~";
    }
    void copiesStartInTheVideosFolderOrHome() {
        QFETCH(QString, file);
        QFETCH(QString, expected);
        const std::filesystem::path home = Sandbox::makeTempFolder("home");
        const QString root = QString::fromStdString(home.string());
        const ScopedEnv homeEnv("HOME", home.string());
        const ScopedEnv config("XDG_CONFIG_HOME", home.string());
        std::ofstream(home / "user-dirs.dirs") << file.toStdString();
        const QString folder = UserFolders::videosOrHome();
        QCOMPARE(folder, expected.replace("~", root));
        QVERIFY(QDir(folder).exists() && !QDir(root + "/Videos").exists());
    }
};

QTEST_GUILESS_MAIN(UserFoldersTest)
#include "UserFoldersTest.moc"
