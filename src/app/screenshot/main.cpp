// Renders the real window, with the real tool versions, into a PNG for the README, and the
// window's other states for a look at them (the download itself is scripted).
// Usage: tallowin-screenshot OUTPUT.png [STATE], STATE one of idle, running, finished, failed,
// german (finished, with the link field's own menu from Qt's catalogue), dark and dark-failed
// (a dark palette), list and german-list (a finished, a failed, three running and a waiting
// download); run with QT_QPA_PLATFORM=offscreen.
#include "app/TallowinApp.h"
#include "appcore/Translations.h"
#include "download/DownloadError.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QStyleFactory>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

namespace {

void settle(int milliseconds) {
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < milliseconds)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

// A dark theme as a desktop would set it: Fusion with dark roles, every other colour left to derive.
void useDarkPalette() {
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x2b, 0x2b, 0x2b));
    dark.setColor(QPalette::WindowText, QColor(0xe8, 0xe8, 0xe8));
    dark.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    dark.setColor(QPalette::AlternateBase, QColor(0x33, 0x33, 0x33));
    dark.setColor(QPalette::Text, QColor(0xe8, 0xe8, 0xe8));
    dark.setColor(QPalette::PlaceholderText, QColor(0x8a, 0x8a, 0x8a));
    dark.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3a));
    dark.setColor(QPalette::ButtonText, QColor(0xe8, 0xe8, 0xe8));
    dark.setColor(QPalette::Highlight, QColor(0x3d, 0x7a, 0xd6));
    dark.setColor(QPalette::HighlightedText, Qt::white);
    dark.setColor(QPalette::Light, QColor(0x4a, 0x4a, 0x4a));
    dark.setColor(QPalette::Midlight, QColor(0x40, 0x40, 0x40));
    dark.setColor(QPalette::Mid, QColor(0x30, 0x30, 0x30));
    dark.setColor(QPalette::Dark, QColor(0x20, 0x20, 0x20));
    dark.setColor(QPalette::Shadow, Qt::black);
    QApplication::setPalette(dark);
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    if (argc < 2 || argc > 3) {
        std::fputs("usage: tallowin-screenshot OUTPUT.png "
                   "[idle|running|finished|failed|german|dark|dark-failed|list|german-list]\n",
                   stderr);
        return 2;
    }
    std::string state = argc == 3 ? argv[2] : "idle";
    const bool german = state.starts_with("german");
    const bool list = state.ends_with("list");
    if (german)
        Translations::install(application, {QStringLiteral("de")});
    if (state.starts_with("dark")) {
        useDarkPalette();
        state = state == "dark" ? "finished" : "failed";
    }
    const std::filesystem::path file = std::filesystem::temp_directory_path() / "Big Buck Bunny - trailer [aqz].mp4";
    TallowinApp::Options options;
    options.appUpdates.feedUrl = QString();
    // In the list, each link says how its download goes.
    options.download = [state, file](const std::string& url,
                                     VideoQuality,
                                     bool,
                                     bool,
                                     std::stop_token stop,
                                     const DownloadProgressHandler& onProgress,
                                     const std::optional<BrowserSignIn>&) -> DownloadedVideo {
        const std::string how = url.substr(url.rfind('/') + 1);
        if (state == "failed" || how == "failed")
            throw DownloadError::downloadFailed(
                "ERROR: [generic] Unable to download webpage: HTTP Error 404: Not Found (caused by "
                "<HTTPError 404: Not Found>)");
        if (state == "running" || how.starts_with("running")) {
            DownloadProgress progress;
            progress.stream = 1;
            progress.streamCount = 2;
            progress.fraction = how == "running-2" ? 0.87 : how == "running-3" ? 0.08 : 0.42;
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
    if (list) {
        field->clear(); // the links went to the list
        const QString base = QStringLiteral("https://example.com/watch/");
        for (const char* how : {"finished", "failed", "running-1", "running-2", "running-3", "waiting"}) {
            app.downloads().add({base + QLatin1String(how)}, VideoQuality::highest, true, false);
            settle(300);
        }
        settle(800);
    } else if (state != "idle") {
        app.downloads().add({field->text()}, VideoQuality::highest, true, false);
        settle(800);
    }
    QApplication::processEvents();

    QPixmap shot = app.window().grab();
    if (german && !list) {
        // The field's own menu, whose texts are Qt's: it shows that Qt's catalogue is loaded too.
        std::unique_ptr<QMenu> menu(field->createStandardContextMenu());
        menu->popup(field->mapToGlobal(QPoint(40, field->height())));
        QApplication::processEvents();
        QPainter painter(&shot);
        painter.drawPixmap(field->mapTo(&app.window(), QPoint(40, field->height())), menu->grab());
    }
    const bool saved = shot.save(QString::fromLocal8Bit(argv[1]));
    app.downloads().cancelAll();
    std::error_code ignored;
    std::filesystem::remove(file, ignored);
    if (!saved) {
        std::fprintf(stderr, "could not write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
