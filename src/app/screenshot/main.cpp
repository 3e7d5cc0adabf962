// Renders the real window, with the real tool versions, into a PNG for the README.
// Usage: tallowin-screenshot OUTPUT.png (run with QT_QPA_PLATFORM=offscreen).
#include "app/TallowinApp.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPixmap>

#include <cstdio>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fputs("usage: tallowin-screenshot OUTPUT.png\n", stderr);
        return 2;
    }
    TallowinApp::Options options;
    options.appUpdates.feedUrl = QString();
    TallowinApp app(std::move(options));
    app.launch();
    app.contentView()
        .findChild<QLineEdit*>("urlField")
        ->setText(QStringLiteral("https://example.com/watch?v=tallowin"));

    // The versions are looked up on worker threads; wait for the last row (deno) to fill.
    QElapsedTimer waited;
    waited.start();
    const auto* deno = app.contentView().findChild<QLabel*>("denoVersion");
    while (deno->text() == QStringLiteral("missing") && waited.elapsed() < 30000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    QApplication::processEvents();

    if (!app.window().grab().save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "could not write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
