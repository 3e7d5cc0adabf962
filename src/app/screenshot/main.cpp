// Renders the real window, with the real tool versions, into a PNG for the README, and the
// window's other states for a look at them (the download itself is scripted).
// Usage: tallowin-screenshot OUTPUT.png [idle|running|finished|failed|german]
// (run with QT_QPA_PLATFORM=offscreen).
#include "app/TallowinApp.h"
#include "appcore/Translations.h"
#include "download/DownloadError.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPixmap>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

namespace {

void settle(int milliseconds) {
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < milliseconds)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    if (argc < 2 || argc > 3) {
        std::fputs("usage: tallowin-screenshot OUTPUT.png [idle|running|finished|failed|german]\n", stderr);
        return 2;
    }
    const std::string state = argc == 3 ? argv[2] : "idle";
    if (state == "german")
        Translations::install(application, {QStringLiteral("de")});
    const std::filesystem::path file = std::filesystem::temp_directory_path() / "Big Buck Bunny - trailer [aqz].mp4";
    TallowinApp::Options options;
    options.appUpdates.feedUrl = QString();
    options.download = [state, file](const std::string&,
                                     VideoQuality,
                                     bool,
                                     bool,
                                     std::stop_token stop,
                                     const DownloadProgressHandler& onProgress) -> DownloadedVideo {
        if (state == "failed")
            throw DownloadError::downloadFailed(
                "ERROR: [generic] Unable to download webpage: HTTP Error 404: Not Found (caused by "
                "<HTTPError 404: Not Found>)");
        if (state == "running") {
            DownloadProgress progress;
            progress.stream = 1;
            progress.streamCount = 2;
            progress.fraction = 0.42;
            progress.bytes = 19'200'000;
            progress.totalBytes = 45'600'000;
            progress.bytesPerSecond = 2'100'000;
            progress.etaSeconds = 13;
            onProgress(progress);
            while (!stop.stop_requested())
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            throw std::runtime_error("stopped");
        }
        std::ofstream(file) << "x";
        return {file, false, true};
    };
    TallowinApp app(std::move(options));
    app.launch();
    auto* field = app.window().findChild<QLineEdit*>("urlField");
    field->setText(QStringLiteral("https://example.com/watch?v=tallowin"));

    // The versions are looked up on worker threads; wait for the last row (deno) to fill.
    QElapsedTimer waited;
    waited.start();
    const auto* deno = app.window().findChild<QLabel*>("denoVersion");
    while (deno->text() == QCoreApplication::translate("ToolsBox", "missing") && waited.elapsed() < 30000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    if (state != "idle") {
        app.tester().start();
        settle(800);
    }
    QApplication::processEvents();

    const bool saved = app.window().grab().save(QString::fromLocal8Bit(argv[1]));
    app.tester().cancel();
    std::error_code ignored;
    std::filesystem::remove(file, ignored);
    if (!saved) {
        std::fprintf(stderr, "could not write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
