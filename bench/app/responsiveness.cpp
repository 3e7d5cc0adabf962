// The GUI thread's responsiveness while the window's two long operations run at once: a
// download whose (fake) yt-dlp prints megabytes slowly, and a yt-dlp update fetched from a slow
// local server. A 4 ms precise timer records how late each of its ticks is; the figures are the
// 50th and 99th percentile and the worst lateness, under load and, as the baseline, with the
// same window idle. Also: window start to first paint, against a bare window's first paint.
// Run: QT_QPA_PLATFORM=offscreen bench_responsiveness
#include "app/TallowinApp.h"
#include "platform/Sha256.h"
#include "support/FakeTool.h"
#include "support/LocalHttpServer.h"
#include "support/ReleaseSigner.h"
#include "support/Sandbox.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QMainWindow>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

constexpr int tickMs = 4;

struct Lateness {
    double p50 = 0;
    double p99 = 0;
    double worst = 0;
    size_t ticks = 0;
};

// Runs the event loop until done() or maxMs, recording each tick's lateness in milliseconds.
Lateness measureLateness(const std::function<bool()>& done, int maxMs) {
    std::vector<double> late;
    QElapsedTimer clock;
    clock.start();
    qint64 last = clock.nsecsElapsed();
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(tickMs);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        late.push_back(std::max(0.0, (now - last) / 1e6 - tickMs));
        last = now;
    });
    QEventLoop loop;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (done() || clock.elapsed() > maxMs)
            loop.quit();
    });
    ticker.start();
    watcher.start(50);
    loop.exec();
    Lateness result;
    result.ticks = late.size();
    if (late.empty())
        return result;
    std::sort(late.begin(), late.end());
    result.p50 = late[late.size() / 2];
    result.p99 = late[std::min(late.size() - 1, late.size() * 99 / 100)];
    result.worst = late.back();
    return result;
}

// Milliseconds from making the window to its content's first paint.
template <typename Make> double firstPaintMs(Make make) {
    QElapsedTimer clock;
    clock.start();
    bool painted = false;
    auto made = make();
    QWidget* content = made.second;
    struct Watch : QObject {
        bool* painted;
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint)
                *painted = true;
            return false;
        }
    } watch;
    watch.painted = &painted;
    content->installEventFilter(&watch);
    made.first->show();
    while (!painted && clock.elapsed() < 10000)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    const double ms = clock.nsecsElapsed() / 1e6;
    content->removeEventFilter(&watch);
    return ms;
}

void writeFakeTools() {
    // Megabytes of output, slowly: 40 lines of 200 kB, 0.1 s apart, each followed by a burst of
    // 20 progress lines as the real one prints them (the core lets ten a second through); then
    // the file it "saved".
    writeFakeTool(Sandbox::helpers() / "yt-dlp",
                  "if [ \"$1\" = --version ]; then echo 2025.01.15; exit 0; fi\n"
                  "i=0; while [ $i -lt 40 ]; do head -c 200000 /dev/zero | tr '\\0' x; echo; "
                  "j=0; while [ $j -lt 20 ]; do "
                  "echo \"tallowin-progress download downloading $((i*200000+j)) 8000000 NA 2000000 3 0\"; "
                  "j=$((j+1)); done; sleep 0.1; "
                  "i=$((i+1)); done\necho data > clip.webm; echo clip.webm\n");
    writeFakeTool(Sandbox::helpers() / "ffmpeg", "echo 'ffmpeg version 7.1 Copyright'\n");
    writeFakeTool(Sandbox::helpers() / "ffprobe", "echo 'ffprobe version 7.1 Copyright'\n");
    writeFakeTool(Sandbox::helpers() / "deno", "echo 'deno 2.1.4 (stable)'\n");
}

// The release service on 127.0.0.1: both channels name a newer release whose 6 MB asset comes
// in 64 KiB chunks 50 ms apart (about five seconds).
void serveSlowRelease(LocalHttpServer& server) {
    const std::string asset = "#!/bin/sh\necho 2099.01.01\nexit 0\n# " + std::string(6 << 20, 'x') + "\n";
    for (const char* repository : {"yt-dlp/yt-dlp", "yt-dlp/yt-dlp-nightly-builds"}) {
        const std::string base = std::string("/") + repository;
        server.route("/repos" + base + "/releases/latest", HttpRoute::answer(200, "{\"tag_name\": \"2099.01.01\"}"));
        for (const char* name : {"yt-dlp_linux", "yt-dlp_linux_aarch64"}) {
            HttpRoute slow = HttpRoute::answer(200, asset);
            slow.secondsPerChunk = 0.05;
            server.route(base + "/releases/latest/download/" + name, slow);
            const std::string sums =
                Sha256::ofText(asset) + "  yt-dlp_linux\n" + Sha256::ofText(asset) + "  yt-dlp_linux_aarch64\n";
            server.route(base + "/releases/latest/download/SHA2-256SUMS", HttpRoute::answer(200, sums));
            server.route(base + "/releases/latest/download/SHA2-256SUMS.sig",
                         HttpRoute::answer(200, ReleaseSigner::shared().sign(sums)));
        }
    }
}

TallowinApp::Options quietOptions() {
    TallowinApp::Options options;
    options.appUpdates.feedUrl = QString();
    return options;
}

void BM_EventLoopLatenessDuringDownloadAndUpdate(benchmark::State& state) {
    for (auto _ : state) {
        auto app = std::make_unique<TallowinApp>(quietOptions());
        app->launch();
        const Lateness idle = measureLateness([] { return false; }, 3000);

        app->downloads().add({"http://127.0.0.1:9/video"}, VideoQuality::highest, false, false);
        DownloadTester& tester = app->downloads().row(0);
        int progressReports = 0; // reports arrive from the event loop, after the connection
        QObject::connect(&tester, &DownloadTester::progressChanged, [&] { ++progressReports; });
        app->updateYtdlp();
        const Lateness busy = measureLateness(
            [&] { return tester.state().kind != DownloadTester::State::Kind::running && !app->updater().isRunning(); },
            60000);

        state.counters["progress_reports"] = progressReports;
        state.counters["idle_p99_ms"] = idle.p99;
        state.counters["busy_p50_ms"] = busy.p50;
        state.counters["busy_p99_ms"] = busy.p99;
        state.counters["busy_worst_ms"] = busy.worst;
        state.counters["busy_ticks"] = double(busy.ticks);
        state.counters["p99_ratio_to_idle"] = idle.p99 > 0 ? busy.p99 / idle.p99 : 0;
        state.counters["download_finished"] = tester.state().kind == DownloadTester::State::Kind::finished;
        state.counters["update_finished"] = app->updater().state().kind == YtdlpUpdater::State::Kind::finished;
        if (tester.state().kind == DownloadTester::State::Kind::failed)
            state.SetLabel("download failed: " + tester.state().message.toStdString());
        if (app->updater().state().kind == YtdlpUpdater::State::Kind::failed)
            state.SetLabel("update failed: " + app->updater().state().message.toStdString());
    }
}
BENCHMARK(BM_EventLoopLatenessDuringDownloadAndUpdate)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_WindowStartToFirstPaint(benchmark::State& state) {
    for (auto _ : state) {
        // Baseline: a bare window with one label, made and painted the same way.
        const double bare = firstPaintMs([] {
            static std::unique_ptr<QMainWindow> window;
            window = std::make_unique<QMainWindow>();
            auto* label = new QLabel("Tallowin", window.get());
            window->setCentralWidget(label);
            return std::pair<QWidget*, QWidget*>(window.get(), label);
        });
        std::unique_ptr<TallowinApp> app;
        const double tallowin = firstPaintMs([&] {
            app = std::make_unique<TallowinApp>(quietOptions());
            return std::pair<QWidget*, QWidget*>(&app->window(), &app->contentView());
        });
        state.counters["first_paint_ms"] = tallowin;
        state.counters["bare_window_first_paint_ms"] = bare;
        state.counters["ratio_to_bare_window"] = bare > 0 ? tallowin / bare : 0;
        app.reset();
    }
}
BENCHMARK(BM_WindowStartToFirstPaint)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    Sandbox::root(); // the sandboxed data, cache and package folders, before anything reads them
    writeFakeTools();
    LocalHttpServer server;
    serveSlowRelease(server);
    setenv("TALLOWIN_RELEASES_API_URL", server.baseUrl().c_str(), 1);
    setenv("TALLOWIN_RELEASES_WEB_URL", server.baseUrl().c_str(), 1);
    setenv("TALLOWIN_RELEASES_KEYRING", ReleaseSigner::shared().keyring().c_str(), 1);
    QApplication application(argc, argv);
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type != QtDebugMsg && !text.startsWith(QLatin1String("This plugin does not support")))
            fprintf(stderr, "%s\n", qPrintable(text));
    });
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
