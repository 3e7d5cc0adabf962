#include "appcore/UserFolders.h"
#include "support/Sandbox.h"
#include "support/ScopedEnv.h"

#include <QDir>
#include <QTest>

#include <fstream>

// Where Save a Copy… starts, by what user-dirs.dirs and the environment say ("~" is the home folder).
class UserFoldersTest : public QObject {
    Q_OBJECT
private slots:
    void copiesStartInTheVideosFolderOrHome_data() {
        QTest::addColumn<QString>("file"); // user-dirs.dirs; empty: none
        QTest::addColumn<QString>("environment");
        QTest::addColumn<QString>("expected");
        QTest::newRow("configured") << "XDG_MUSIC_DIR=\"$HOME/M\"\nXDG_VIDEOS_DIR=\"$HOME/Filme\"\n"
                                    << ""
                                    << "~/Filme";
        QTest::newRow("quoted, last wins") << "XDG_VIDEOS_DIR=\"$HOME/a\"\nXDG_VIDEOS_DIR=\"$HOME/My \\\"V\\\"\""
                                           << ""
                                           << "~/My \"V\"";
        QTest::newRow("turned off") << "XDG_VIDEOS_DIR=\"$HOME/\"\n"
                                    << ""
                                    << "~";
        QTest::newRow("not configured") << ""
                                        << ""
                                        << "~";
        QTest::newRow("relative") << "XDG_VIDEOS_DIR=\"Videos\"\n"
                                  << ""
                                  << "~";
        QTest::newRow("environment") << ""
                                     << "$HOME/Env"
                                     << "~/Env";
    }
    void copiesStartInTheVideosFolderOrHome() {
        QFETCH(QString, file);
        QFETCH(QString, environment);
        QFETCH(QString, expected);
        const std::filesystem::path home = Sandbox::makeTempFolder("home");
        const ScopedEnv homeEnv("HOME", home.string());
        const ScopedEnv config("XDG_CONFIG_HOME", (home / "conf").string());
        const ScopedEnv variable("XDG_VIDEOS_DIR",
                                 environment.isEmpty()
                                     ? std::nullopt
                                     : std::optional(environment.replace("$HOME", home.c_str()).toStdString()));
        std::filesystem::create_directories(home / "conf");
        if (!file.isEmpty())
            std::ofstream(home / "conf" / "user-dirs.dirs") << file.toStdString();
        const QString folder = UserFolders::videosOrHome();
        QCOMPARE(folder, expected.replace("~", QString::fromStdString(home.string())));
        QVERIFY(QDir(folder).exists());
        QVERIFY(!QDir(QString::fromStdString((home / "Videos").string())).exists()); // not Qt's fallback
    }
};

QTEST_GUILESS_MAIN(UserFoldersTest)
#include "UserFoldersTest.moc"
