#include "support/LocalHttpServer.h"
#include "support/MediaRecipes.h"
#include "support/Sandbox.h"
#include "tools/BundledTools.h"
#include "tools/ToolProcess.h"

#include <QApplication>
#include <QDBusConnection>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

// A notification server and a launcher on the test's private bus: it records what Tallowin asks
// them to show.
class DesktopRecorder : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QList<QStringList> notes;       // summary, body, then the actions
    QList<double> launcherProgress; // each Update that showed the bar
    int launcherHidden = 0;         // each Update that hid it
    int launcherCountMost = 0;      // the highest count of running and waiting downloads shown

public slots:
    QStringList GetCapabilities() { return {"actions", "body"}; }
    uint Notify(const QString&,
                uint,
                const QString&,
                const QString& summary,
                const QString& body,
                const QStringList& actions,
                const QVariantMap&,
                int) {
        notes.append(QStringList{summary, body} + actions);
        return uint(notes.size());
    }
    void launcherUpdate(const QString& app, const QVariantMap& properties) {
        if (app != "application://org.tallowin.Tallowin.desktop")
            return;
        if (properties.value("count-visible").toBool())
            launcherCountMost = std::max(launcherCountMost, properties.value("count").toInt());
        if (properties.value("progress-visible").toBool())
            launcherProgress.append(properties.value("progress").toDouble());
        else
            ++launcherHidden;
    }
};

// A child for the test's lifetime (the QProcess kills and reaps it at the latest then).
std::unique_ptr<QProcess> start(const QString& program, const QStringList& arguments, const QProcessEnvironment& env) {
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(env);
    process->start(program, arguments);
    process->waitForStarted(10000);
    return process;
}

// The first line a child prints, waited for at most twenty seconds.
QString firstLine(QProcess& process) {
    process.waitForReadyRead(20000);
    return QString::fromUtf8(process.readLine()).trimmed();
}

// The finished file of that name in the download cache: yt-dlp's work folder no longer locked.
bool downloaded(const QString& name) {
    std::error_code error;
    for (std::filesystem::recursive_directory_iterator it(Sandbox::cacheHome(), error), end; !error && it != end;
         it.increment(error)) {
        if (it->path().filename() == name.toStdString() && it->file_size(error) > 0 &&
            !std::filesystem::exists(it->path().parent_path() / ".tallowin-lock", error))
            return true;
    }
    return false;
}

// Another application's window, which takes the focus from Tallowin's (there is no window manager).
int otherWindow(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QWidget window;
    window.show();
    window.activateWindow();
    std::puts(QTest::qWaitForWindowActive(&window, 10000) ? "active" : "inactive");
    std::fflush(stdout);
    return QApplication::exec();
}

} // namespace

// The built `tallowin` on an X server of its own and a private session bus, as the desktop starts
// it: a link on the command line is downloaded, the launcher shows the progress and the count,
// later starts hand their links over while it runs (none is dropped; one window stays), a
// notification names the file when another window has the focus, and a start with two links adds both.
class DesktopTest : public QObject {
    Q_OBJECT
private slots:
    void linksFromTheCommandLineAndTheDesktopIsTold() {
        QVERIFY(Sandbox::usesRealPackage());
        for (const char* needed : {"dbus-daemon", "Xvfb"})
            if (QStandardPaths::findExecutable(needed).isEmpty())
                QSKIP(qPrintable(QString("%1 is not installed (Debian: dbus, xvfb)").arg(needed)));
        const std::filesystem::path media = Sandbox::makeTempFolder("media");
        const QStringList quick{"second.mp4", "third.mp4", "fourth.mp4", "fifth.mp4"};
        for (const auto& [name, seconds] : {std::pair{"first.mp4", 30},
                                            std::pair{"second.mp4", 1},
                                            std::pair{"third.mp4", 1},
                                            std::pair{"fourth.mp4", 1},
                                            std::pair{"fifth.mp4", 1}})
            QCOMPARE(
                ToolProcess::run(BundledTools::ffmpeg(), h264ClipArguments((media / name).string(), seconds, "640x360"))
                    .status,
                0);
        LocalHttpServer server(media);
        // Slow enough (about 50 s) that two later starts' downloads end and another window takes the
        // focus while the first file still arrives, even on a loaded machine.
        HttpRoute slow;
        slow.bodyFile = media / "first.mp4";
        slow.headers["Content-Type"] = "video/mp4";
        slow.secondsPerChunk = 7.5;
        server.route("/first.mp4", slow);

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        auto bus = start("dbus-daemon", {"--session", "--print-address", "--nofork"}, env);
        const QString address = firstLine(*bus);
        QVERIFY2(!address.isEmpty(), "dbus-daemon gave no address");
        auto display = start("Xvfb", {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "1280x1024x24"}, env);
        const QString number = firstLine(*display);
        QVERIFY2(!number.isEmpty(), "Xvfb gave no display");
        const std::filesystem::path runtime = Sandbox::makeTempFolder("runtime");
        std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
        env.insert("DBUS_SESSION_BUS_ADDRESS", address);
        env.insert("DISPLAY", ":" + number);
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert("XDG_RUNTIME_DIR", QString::fromStdString(runtime.string()));

        QDBusConnection connection = QDBusConnection::connectToBus(address, "desktop");
        DesktopRecorder recorder;
        QVERIFY(
            connection.registerObject("/org/freedesktop/Notifications", &recorder, QDBusConnection::ExportAllSlots));
        QVERIFY(connection.registerService("org.freedesktop.Notifications"));
        QVERIFY(connection.connect(QString(),
                                   QString(),
                                   "com.canonical.Unity.LauncherEntry",
                                   "Update",
                                   &recorder,
                                   SLOT(launcherUpdate(QString, QVariantMap))));

        const QString tallowin = QString::fromStdString((Sandbox::packageRoot() / "Contents/bin/tallowin").string());
        const QString base = QString::fromStdString(server.baseUrl());
        auto first = start(tallowin, {base + "/first.mp4"}, env);
        QTRY_VERIFY_WITH_TIMEOUT(!recorder.launcherProgress.isEmpty(), 120000);
        QVERIFY(recorder.notes.isEmpty());
        // While the slow one runs, two more starts hand over a link each and end at once.
        for (const QString& name : {quick[0], quick[1]}) {
            auto later = start(tallowin, {base + "/" + name}, env);
            QVERIFY(later->waitForFinished(60000) && later->exitStatus() == QProcess::NormalExit);
            QCOMPARE(later->exitCode(), 0);
        }
        QTRY_VERIFY_WITH_TIMEOUT(downloaded(quick[0]) && downloaded(quick[1]), 180000);
        QVERIFY(!downloaded("first.mp4"));
        QVERIFY(recorder.launcherCountMost >= 2);
        auto other = start(QCoreApplication::applicationFilePath(), {"--other-window"}, env);
        QCOMPARE(firstLine(*other), QString("active"));

        QTRY_VERIFY_WITH_TIMEOUT(!recorder.notes.isEmpty(), 180000);
        QCOMPARE(recorder.notes.constFirst().value(0), QString("Downloaded first.mp4"));
        QVERIFY(recorder.notes.constFirst().contains("open") && recorder.notes.constFirst().contains("show"));
        QVERIFY(downloaded("first.mp4"));
        QTRY_VERIFY(recorder.launcherHidden > 0);

        auto both = start(tallowin, {base + "/" + quick[2], base + "/" + quick[3]}, env);
        QVERIFY(both->waitForFinished(60000) && both->exitStatus() == QProcess::NormalExit);
        QCOMPARE(both->exitCode(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(downloaded(quick[2]) && downloaded(quick[3]), 180000);
        QCOMPARE(first->state(), QProcess::Running); // the one window took them all
        first->terminate();
        first->waitForFinished(30000);
    }
};

int main(int argc, char* argv[]) {
    if (argc > 1 && std::strcmp(argv[1], "--other-window") == 0)
        return otherWindow(argc, argv);
    QApplication application(argc, argv);
    DesktopTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "DesktopTest.moc"
