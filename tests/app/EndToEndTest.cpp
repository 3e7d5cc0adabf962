#include "QuietOffscreen.h"

#include "app/ElidedLabel.h"
#include "app/TallowinApp.h"
#include "support/LocalHttpServer.h"
#include "support/MediaRecipes.h"
#include "support/Sandbox.h"
#include "tools/BundledTools.h"
#include "tools/ToolProcess.h"

#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QTest>

// The real window with the shipped tools: a clip made here with ffmpeg is served on 127.0.0.1,
// pasted into the field and downloaded; the outcome row names the file and reveals it.
class EndToEndTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        quietOffscreenWarnings();
        QVERIFY(Sandbox::usesRealPackage());
    }

    void downloadsFromALocalServer() {
        const std::filesystem::path media = Sandbox::makeTempFolder("media");
        // Made before the window exists, so blocking here holds up nothing.
        const ToolProcessResult made =
            ToolProcess::run(BundledTools::ffmpeg(), h264ClipArguments((media / "clip.mp4").string(), 2, "320x240"));
        QCOMPARE(made.status, 0);
        LocalHttpServer server(media);

        std::vector<std::filesystem::path> revealed;
        TallowinApp::Options options;
        options.appUpdates.feedUrl = QString();
        options.services.reveal = [&](const std::filesystem::path& file, std::function<void()>) {
            revealed.push_back(file);
        };
        TallowinApp app(std::move(options));
        app.launch();
        ContentView& view = app.contentView();
        // The real look-ups fill the rows.
        QTRY_VERIFY_WITH_TIMEOUT(view.findChild<QLabel*>("denoVersion")->text() != "missing", 60000);
        QVERIFY(view.findChild<QLabel*>("ffmpegVersion")->text() != "missing");
        QTRY_VERIFY_WITH_TIMEOUT(view.findChild<QLabel*>("ytdlpVersion")->text() != "…", 60000);

        auto* field = view.findChild<QLineEdit*>("urlField");
        QTest::keyClicks(field, QString::fromStdString(server.baseUrl() + "/clip.mp4"));
        QTest::keyClick(field, Qt::Key_Return);
        QVERIFY(view.findChild<QWidget*>("statusRunning")->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(app.downloads().row(0).state().kind != DownloadTester::State::Kind::running, 240000);
        QCOMPARE(app.downloads().row(0).state().message, QString());
        QCOMPARE(app.downloads().row(0).state().kind, DownloadTester::State::Kind::finished);

        const std::filesystem::path file = app.downloads().row(0).state().video.fileURL;
        QVERIFY(std::filesystem::is_regular_file(file));
        QCOMPARE(QString::fromStdString(file.extension().string()), QString(".mp4"));
        QVERIFY(view.findChild<QWidget*>("statusFinished")->isVisible());
        QCOMPARE(view.findChild<ElidedLabel*>("statusFileName")->fullText(),
                 QString::fromStdString(file.filename().string()));
        QVERIFY(!view.findChild<QWidget*>("statusNote")->isVisible()); // H.264 in MP4 stays as it is
        view.findChild<QPushButton*>("showInFolderButton")->click();
        QCOMPARE(revealed, std::vector<std::filesystem::path>{file});
    }

    // Quitting while the new yt-dlp is still arriving: the transfer gives up, its staging folder
    // goes, and no updated copy (whole or partial) is left in the data folder.
    void quittingMidUpdateLeavesNoHalfInstalledCopy() {
        LocalHttpServer server;
        for (const std::string repository : {"/yt-dlp/yt-dlp", "/yt-dlp/yt-dlp-nightly-builds"}) {
            server.route("/repos" + repository + "/releases/latest",
                         HttpRoute::answer(200, "{\"tag_name\": \"2099.01.01\"}"));
            HttpRoute stalled =
                HttpRoute::answer(200, "#!/bin/sh\necho 2099.01.01\n#" + std::string(4 << 20, 'x') + "\n");
            stalled.stallAfterBytes = 1 << 20;
            for (const char* asset : {"yt-dlp_linux", "yt-dlp_linux_aarch64"})
                server.route(repository + "/releases/latest/download/" + asset, stalled);
        }
        qputenv("TALLOWIN_RELEASES_API_URL", QByteArray::fromStdString(server.baseUrl()));
        qputenv("TALLOWIN_RELEASES_WEB_URL", QByteArray::fromStdString(server.baseUrl()));

        TallowinApp::Options options;
        options.appUpdates.feedUrl = QString();
        auto app = std::make_unique<TallowinApp>(std::move(options));
        app->launch();
        app->updateYtdlp();
        QTRY_VERIFY_WITH_TIMEOUT(app->updater().state().phase.fraction > 0.1, 60000);
        QVERIFY(app->updater().isRunning());
        app->window().close();
        app.reset(); // quitting: the run is stopped and waited for

        const std::filesystem::path support = BundledTools::supportDirectory();
        QVERIFY(!std::filesystem::exists(BundledTools::updatedYtdlp()));
        if (std::filesystem::exists(support)) {
            for (const auto& entry : std::filesystem::directory_iterator(support))
                QVERIFY2(!entry.path().filename().string().starts_with("staging-"), entry.path().c_str());
        }
        qunsetenv("TALLOWIN_RELEASES_API_URL");
        qunsetenv("TALLOWIN_RELEASES_WEB_URL");
    }
};

QTEST_MAIN(EndToEndTest)
#include "EndToEndTest.moc"
