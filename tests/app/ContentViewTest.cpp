#include "QuietOffscreen.h"
#include "support/ScriptedRuns.h"

#include "app/ContentView.h"
#include "app/ElidedLabel.h"
#include "app/ToolsBox.h"
#include "app/WidgetLook.h"
#include "app/WrappingLabel.h"
#include "appcore/DownloadList.h"
#include "appcore/DownloadTester.h"
#include "appcore/ToolVersions.h"
#include "appcore/YtdlpUpdater.h"
#include "download/DownloadError.h"
#include "support/Sandbox.h"
#include "support/ScopedEnv.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSet>
#include <QSignalSpy>
#include <QTest>

#include <atomic>
#include <cmath>
#include <condition_variable>
#include <fstream>
#include <limits>
#include <memory>
#include <mutex>

using Tone = WidgetLook::Tone;
Q_DECLARE_METATYPE(WidgetLook::Tone)

Q_DECLARE_METATYPE(DownloadProgress)

namespace {

YtdlpStatus status(std::optional<std::string> bundled, std::optional<std::string> updated, bool updatedActive) {
    YtdlpStatus s;
    s.bundledVersion = bundled;
    s.updatedVersion = updated;
    s.active = updatedActive ? YtdlpInstallation{"/data/yt-dlp", updated, YtdlpInstallation::Source::updated}
                             : YtdlpInstallation{"/pkg/yt-dlp", bundled, YtdlpInstallation::Source::bundled};
    return s;
}

// The window over scripted models and look-ups. Look-ups answer at once unless told otherwise.
struct Harness {
    ScriptedRuns<YtdlpStatus> statusRuns;
    ScriptedRuns<std::optional<std::string>> ffmpegRuns;
    ScriptedRuns<std::optional<std::string>> denoRuns;
    ScriptedRuns<DownloadedVideo> downloads;
    ScriptedRuns<YtdlpUpdateOutcome> updates;
    std::mutex mutex;
    std::function<void(YtdlpUpdatePhase)> progress;
    DownloadProgressHandler downloadProgress;
    std::vector<std::filesystem::path> revealed;
    std::unique_ptr<YtdlpUpdater> updater;
    std::unique_ptr<DownloadTester> tester; // the form's model
    std::unique_ptr<DownloadList> list;
    std::unique_ptr<ToolVersions> versions;
    std::vector<std::optional<BrowserSignIn>> signIns; // each download's, in order
    std::unique_ptr<QWidget> host;                     // a plain top-level parent, as the window is
    ContentView* view = nullptr;

    explicit Harness(bool answerLookups = true) {
        if (answerLookups) {
            for (int i = 0; i < 8; ++i) {
                statusRuns.answer(i, [] { return status("2025.01.15", std::nullopt, false); });
                ffmpegRuns.answer(i, [] { return std::optional<std::string>("7.1.1"); });
                denoRuns.answer(i, [] { return std::optional<std::string>("2.1.4"); });
            }
        }
        updater = std::make_unique<YtdlpUpdater>(
            [this](const std::function<void(YtdlpUpdatePhase)>& report, std::stop_token stop) {
                {
                    std::lock_guard guard(mutex);
                    progress = report;
                }
                return updates.wait(stop);
            },
            [this](std::stop_token stop) { return statusRuns.wait(stop); });
        tester = std::make_unique<DownloadTester>();
        list = std::make_unique<DownloadList>([this](const std::string&,
                                                     VideoQuality,
                                                     bool,
                                                     bool,
                                                     std::stop_token stop,
                                                     const DownloadProgressHandler& onProgress,
                                                     const std::optional<BrowserSignIn>& signIn) {
            {
                std::lock_guard guard(mutex);
                downloadProgress = onProgress;
                signIns.push_back(signIn);
            }
            return downloads.wait(stop);
        });
        versions =
            std::make_unique<ToolVersions>(*updater, [this](const std::filesystem::path& tool, std::stop_token stop) {
                return tool.filename() == "ffmpeg" ? ffmpegRuns.wait(stop) : denoRuns.wait(stop);
            });
        ContentView::Services services;
        services.reveal = [this](const std::filesystem::path& file, std::function<void()>) {
            revealed.push_back(file);
        };
        host = std::make_unique<QWidget>();
        view = new ContentView(*updater, *tester, *list, *versions, services, host.get());
        host->show();
    }
    ~Harness() {
        host.reset();
        versions.reset();
        list.reset();
        tester.reset();
        updater.reset();
    }

    template <typename T> T* child(const char* name) {
        T* widget = view->findChild<T*>(QString::fromLatin1(name));
        if (!widget)
            qFatal("no widget %s", name);
        return widget;
    }
    // A row's parts exist only while the list has the row.
    bool shown(const char* name) {
        const QWidget* widget = view->findChild<QWidget*>(QString::fromLatin1(name));
        return widget && widget->isVisibleTo(view);
    }
    void report(YtdlpUpdatePhase phase) {
        std::lock_guard guard(mutex);
        progress(phase);
    }
    void report(const DownloadProgress& step) {
        std::lock_guard guard(mutex);
        downloadProgress(step);
    }
};

} // namespace

class ContentViewTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { quietOffscreenWarnings(); }

    void downloadProgressShowsBesideTheRunningText_data() {
        QTest::addColumn<DownloadProgress>("progress");
        QTest::addColumn<QString>("running");
        QTest::addColumn<QString>("details");
        QTest::addColumn<int>("barMaximum"); // 0: the spinner, no known fraction

        DownloadProgress downloading;
        downloading.stream = 1;
        downloading.streamCount = 2;
        downloading.fraction = 0.27;
        downloading.bytes = 12'300'000;
        downloading.totalBytes = 45'600'000;
        downloading.bytesPerSecond = 2'100'000;
        downloading.etaSeconds = 20;
        downloading.fileName = "My talk.mp4"; // the row names it from then on, not the link
        QTest::newRow("downloading") << downloading << "Downloading…"
                                     << "27% · 12.3 of 45.6 MB · 2.1 MB/s · 0:20 left · stream 1 of 2" << 1000;
        DownloadProgress noLength;
        noLength.bytes = 1'500'000;
        QTest::newRow("noLength") << noLength << "Downloading…"
                                  << "1.5 MB" << 0;
        DownloadProgress merging;
        merging.phase = DownloadProgress::Phase::merging;
        QTest::newRow("merging") << merging << "Merging…"
                                 << "" << 0;
        DownloadProgress converting;
        converting.phase = DownloadProgress::Phase::converting;
        converting.fraction = 0.4;
        QTest::newRow("converting") << converting << "Converting to MP4…"
                                    << "40%" << 1000;
        converting.phase = DownloadProgress::Phase::repackaging;
        QTest::newRow("repackaging") << converting << "Repackaging as MP4…"
                                     << "40%" << 1000;
    }

    void downloadProgressShowsBesideTheRunningText() {
        QFETCH(DownloadProgress, progress);
        QFETCH(QString, running);
        QFETCH(QString, details);
        QFETCH(int, barMaximum);
        Harness h;
        h.child<QLineEdit>("urlField")->setText(QStringLiteral("https://a.test/v"));
        h.child<QPushButton>("downloadButton")->click();
        QTRY_COMPARE(h.downloads.calls(), 1);
        h.report(progress);
        QTRY_COMPARE(h.child<QLabel>("statusRunning")->text(), running);
        QTRY_COMPARE(h.child<QLabel>("statusProgress")->text(), details);
        QCOMPARE(h.child<QProgressBar>("downloadSpinner")->maximum(), barMaximum);
        QCOMPARE(h.child<ElidedLabel>("rowLink")->fullText(),
                 progress.fileName.empty() ? QStringLiteral("https://a.test/v") : QStringLiteral("My talk.mp4"));

        h.downloads.answer(0, [] { return DownloadedVideo{"/work/clip.mp4", false, true}; });
        QTRY_VERIFY(h.shown("statusFinished"));
        QVERIFY(!h.shown("statusProgress"));
        QCOMPARE(h.child<QLabel>("statusRunning")->text(), QStringLiteral("Downloading…"));
        QCOMPARE(h.child<QProgressBar>("downloadSpinner")->maximum(), 0);
    }

    // Every text tone reads at 4.5:1 or more on its background, in a light and a dark theme.
    void textTonesHaveEnoughContrast_data() {
        QTest::addColumn<QPalette>("palette");
        QTest::newRow("light") << QApplication::palette();
        QPalette dark;
        for (auto [role, colour] : {std::pair{QPalette::Window, 0x2b2b2b},
                                    {QPalette::WindowText, 0xeeeeee},
                                    {QPalette::PlaceholderText, 0x6a6a6a}})
            dark.setColor(role, QColor::fromRgb(colour));
        QTest::newRow("dark") << dark;
    }
    void textTonesHaveEnoughContrast() {
        QFETCH(QPalette, palette);
        QWidget parent;
        parent.setPalette(palette);
        QLabel label(&parent);
        for (Tone tone : {Tone::primary, Tone::secondary, Tone::red, Tone::green}) {
            const double ratio = WidgetLook::contrast(WidgetLook::color(tone, &label), palette.color(QPalette::Window));
            QVERIFY2(ratio >= 4.5, qPrintable(QString("tone %1: %2:1").arg(int(tone)).arg(ratio)));
        }
    }

    void windowIsFixedAt460() {
        Harness h;
        QCOMPARE(h.view->minimumWidth(), 460);
        QCOMPARE(h.view->maximumWidth(), 460);
        QCOMPARE(h.child<QLineEdit>("urlField")->placeholderText(), QString("Video URL"));
        QComboBox* picker = h.child<QComboBox>("qualityPicker");
        QStringList entries;
        for (int i = 0; i < picker->count(); ++i)
            entries << picker->itemText(i);
        QCOMPARE(entries, (QStringList{"Highest quality", "4K", "1080p", "720p", "480p", "", "Audio only"}));
        QVERIFY(h.child<QLabel>("blurb")->text().contains("`tallowin-cli download`"));
    }

    void rowsFillInTheFixedOrder() {
        Harness h(false);
        QLabel* ytdlp = h.child<QLabel>("ytdlpVersion");
        QLabel* ffmpeg = h.child<QLabel>("ffmpegVersion");
        QLabel* deno = h.child<QLabel>("denoVersion");
        QCOMPARE(ytdlp->text(), QString("…"));
        QCOMPARE(ffmpeg->text(), QString("missing"));
        QCOMPARE(WidgetLook::toneOf(ffmpeg), Tone::red);
        QCOMPARE(deno->text(), QString("missing"));
        QTRY_COMPARE(h.denoRuns.calls(), 1);
        // deno answers first, yet its row waits for yt-dlp's and ffmpeg's.
        h.denoRuns.answer(0, [] { return std::optional<std::string>("2.1.4"); });
        QTest::qWait(100);
        QCOMPARE(deno->text(), QString("missing"));
        h.statusRuns.answer(0, [] { return status("2025.01.15", std::nullopt, false); });
        QTRY_COMPARE(ytdlp->text(), QString("2025.01.15"));
        QCOMPARE(h.child<QLabel>("ytdlpNote")->text(), QString("bundled"));
        QTest::qWait(50);
        QCOMPARE(deno->text(), QString("missing"));
        h.ffmpegRuns.answer(0, [] { return std::optional<std::string>("7.1.1"); });
        QTRY_COMPARE(deno->text(), QString("2.1.4"));
        QCOMPARE(ffmpeg->text(), QString("7.1.1"));
        QCOMPARE(WidgetLook::toneOf(ffmpeg), Tone::primary);
    }

    void ytdlpRowShowsTheActiveCopy_data() {
        QTest::addColumn<YtdlpStatus>("status");
        QTest::addColumn<QString>("version");
        QTest::addColumn<Tone>("tone");
        QTest::addColumn<QString>("note");
        QTest::newRow("bundled") << status("2025.01.15", std::nullopt, false) << "2025.01.15" << Tone::primary
                                 << "bundled";
        QTest::newRow("updated") << status("2025.01.15", "2025.02.01", true) << "2025.02.01" << Tone::primary
                                 << "updated · bundled copy is 2025.01.15";
        QTest::newRow("bundled copy missing") << status(std::nullopt, "2025.02.01", true) << "2025.02.01"
                                              << Tone::primary << "updated · bundled copy is missing";
        QTest::newRow("nothing runs") << status(std::nullopt, std::nullopt, false) << "missing" << Tone::red
                                      << "bundled";
    }
    void ytdlpRowShowsTheActiveCopy() {
        QFETCH(YtdlpStatus, status);
        QFETCH(QString, version);
        QFETCH(Tone, tone);
        QFETCH(QString, note);
        Harness h;
        QTRY_COMPARE(h.child<QLabel>("denoVersion")->text(), QString("2.1.4")); // look-ups done
        h.updater->setStatus(status);
        QCOMPARE(h.child<QLabel>("ytdlpVersion")->text(), version);
        QCOMPARE(WidgetLook::toneOf(h.child<QLabel>("ytdlpVersion")), tone);
        QCOMPARE(h.child<QLabel>("ytdlpNote")->text(), note);
    }

    void missingToolsShowRed() {
        Harness h(false);
        h.statusRuns.answer(0, [] { return status("2025.01.15", std::nullopt, false); });
        h.ffmpegRuns.answer(0, [] { return std::optional<std::string>(); });
        h.denoRuns.answer(0, [] { return std::optional<std::string>("2.1.4"); });
        QTRY_COMPARE(h.child<QLabel>("denoVersion")->text(), QString("2.1.4"));
        QCOMPARE(h.child<QLabel>("ffmpegVersion")->text(), QString("missing"));
        QCOMPARE(WidgetLook::toneOf(h.child<QLabel>("ffmpegVersion")), Tone::red);
    }

    void updateStatusViewFollowsTheUpdater_data() {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<double>("fraction");
        QTest::addColumn<QString>("text");
        QTest::addColumn<Tone>("tone");
        QTest::addColumn<QString>("symbol");
        QTest::addColumn<QString>("button");
        const QString update = "Update yt-dlp…";
        QTest::newRow("idle") << "idle" << 0.0 << "Downloads the latest release into your data folder."
                              << Tone::secondary << "" << update;
        QTest::newRow("half") << "downloading" << 0.505 << "Downloading yt-dlp… 50%" << Tone::secondary << ""
                              << "Cancel";
        QTest::newRow("all") << "downloading" << 1.0 << "Downloading yt-dlp… 100%" << Tone::secondary << ""
                             << "Cancel";
        QTest::newRow("almost") << "downloading" << 0.999 << "Downloading yt-dlp… 99%" << Tone::secondary << ""
                                << "Cancel";
        QTest::newRow("verifying") << "verifying" << 0.0 << "Verifying the download…" << Tone::secondary
                                   << "checkmark.shield"
                                   << "Cancel";
        QTest::newRow("installing") << "installing" << 0.0 << "Installing…" << Tone::secondary << "arrow.down.to.line"
                                    << "Cancel";
        QTest::newRow("updated") << "updated" << 0.0 << "Updated to yt-dlp 2025.02.01." << Tone::green
                                 << "checkmark.circle.fill" << update;
        QTest::newRow("current") << "current" << 0.0 << "yt-dlp 2025.01.15 is already the latest release."
                                 << Tone::secondary << "checkmark.circle" << update;
        QTest::newRow("failed") << "failed" << 0.0 << "The downloaded yt-dlp would not run: bad" << Tone::red
                                << "exclamationmark.triangle.fill" << update;
    }
    void updateStatusViewFollowsTheUpdater() {
        QFETCH(QString, scenario);
        QFETCH(double, fraction);
        QFETCH(QString, text);
        QFETCH(Tone, tone);
        QFETCH(QString, symbol);
        QFETCH(QString, button);
        Harness h;
        if (scenario != "idle") {
            h.child<QPushButton>("updateButton")->click(); // starts the update
            QTRY_COMPARE(h.updates.calls(), 1);
        }
        if (scenario == "downloading")
            h.report(YtdlpUpdatePhase::downloading(fraction));
        if (scenario == "verifying")
            h.report(YtdlpUpdatePhase::verifying());
        if (scenario == "installing")
            h.report(YtdlpUpdatePhase::installing());
        if (scenario == "updated")
            h.updates.answer(0, [] { return YtdlpUpdateOutcome::updated("2025.02.01"); });
        if (scenario == "current")
            h.updates.answer(0, [] { return YtdlpUpdateOutcome::alreadyCurrent("2025.01.15"); });
        if (scenario == "failed")
            h.updates.answer(0, []() -> YtdlpUpdateOutcome {
                throw std::runtime_error("The downloaded yt-dlp would not run: bad");
            });
        WrappingLabel* label = h.child<WrappingLabel>("updateStatusText");
        QTRY_COMPARE(label->text(), text);
        QCOMPARE(WidgetLook::toneOf(label), tone);
        QLabel* icon = h.child<QLabel>("updateIcon");
        QCOMPARE(icon->isVisibleTo(h.view) ? icon->property("symbol").toString() : QString(), symbol);
        QCOMPARE(h.shown("updateProgress"), scenario == "downloading");
        if (scenario == "downloading")
            QCOMPARE(h.child<QProgressBar>("updateProgress")->value(), int(fraction * 1000));
        QCOMPARE(h.child<QPushButton>("updateButton")->text(), button);
        QCOMPARE(bool(label->textInteractionFlags() & Qt::TextSelectableByMouse), scenario == "failed");
        if (h.updater->isRunning()) {
            h.child<QPushButton>("updateButton")->click(); // Cancel
            QCOMPARE(h.updater->state().kind, YtdlpUpdater::State::Kind::idle);
        }
    }

    void progressTextOfOddFractions_data() {
        QTest::addColumn<double>("fraction");
        QTest::addColumn<QString>("text");
        QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << "Downloading yt-dlp… 0%";
        QTest::newRow("infinite") << std::numeric_limits<double>::infinity() << "Downloading yt-dlp… 0%";
        QTest::newRow("over one") << 1.7 << "Downloading yt-dlp… 100%";
        QTest::newRow("negative") << -0.2 << "Downloading yt-dlp… 0%";
    }
    void progressTextOfOddFractions() {
        QFETCH(double, fraction);
        QFETCH(QString, text);
        QCOMPARE(ToolsBox::progressText(fraction), text);
    }

    void statusViewFollowsTheForm_data() {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<QString>("visible"); // which part of the outcome area shows
        QTest::addColumn<QString>("note");
        QTest::newRow("idle") << "idle"
                              << ""
                              << "";
        QTest::newRow("running") << "running"
                                 << "statusRunning"
                                 << "";
        QTest::newRow("converted") << "converted"
                                   << "statusFinished"
                                   << "Converted to H.264 MP4 with ffmpeg.";
        QTest::newRow("remuxed") << "remuxed"
                                 << "statusFinished"
                                 << "Repackaged as MP4 without re-encoding the video.";
        QTest::newRow("no MP4 step") << "plain"
                                     << "statusFinished"
                                     << "";
        QTest::newRow("failed") << "failed"
                                << "statusFailed"
                                << "";
    }
    void statusViewFollowsTheForm() {
        QFETCH(QString, scenario);
        QFETCH(QString, visible);
        QFETCH(QString, note);
        Harness h;
        h.child<QLineEdit>("urlField")->setText("https://example.com/v");
        if (scenario != "idle") {
            h.child<QPushButton>("downloadButton")->click();
            QTRY_COMPARE(h.downloads.calls(), 1);
        }
        const bool converted = scenario == "converted";
        const bool remuxed = scenario == "remuxed" || converted; // conversion's note wins
        if (scenario == "converted" || scenario == "remuxed" || scenario == "plain")
            h.downloads.answer(0, [=] { return DownloadedVideo{"/cache/w/clip.mp4", converted, remuxed}; });
        if (scenario == "failed")
            h.downloads.answer(0, []() -> DownloadedVideo { throw std::runtime_error("yt-dlp failed: 404"); });
        if (scenario != "idle" && scenario != "running")
            QTRY_VERIFY(h.list->row(0).state().kind != DownloadTester::State::Kind::running);
        for (const char* part : {"statusRunning", "statusFinished", "statusFailed"})
            QCOMPARE(h.shown(part), visible == part);
        QCOMPARE(h.shown("statusNote") ? h.child<QLabel>("statusNote")->text() : QString(), note);
        if (visible == "statusFinished") {
            QCOMPARE(h.child<ElidedLabel>("statusFileName")->fullText(), QString("clip.mp4"));
            h.child<QPushButton>("showInFolderButton")->click();
            QCOMPARE(h.revealed, std::vector<std::filesystem::path>{"/cache/w/clip.mp4"});
        }
        if (visible == "statusFailed") {
            WrappingLabel* error = h.child<WrappingLabel>("statusError");
            QCOMPARE(error->text(), QString("yt-dlp failed: 404"));
            QCOMPARE(WidgetLook::toneOf(error), Tone::red);
            QVERIFY(error->textInteractionFlags() & Qt::TextSelectableByMouse);
        }
        const bool running = scenario == "running";
        QCOMPARE(h.shown("downloadSpinner"), running);
        QCOMPARE(h.shown("downloadCancelButton"), running);
        QCOMPARE(h.shown("removeButton"), !running && scenario != "idle");
        QVERIFY(h.shown("downloadButton")); // the next links can be added at any time
        if (running) {
            QVERIFY(h.child<QComboBox>("qualityPicker")->isEnabled()); // controls stay usable
            h.child<QPushButton>("downloadCancelButton")->click();
            QTRY_COMPARE(h.list->size(), 0);
        }
    }

    void botCheckOffersTryAgainSignedIn() {
        const std::filesystem::path home = Sandbox::makeTempFolder("home");
        const std::filesystem::path firefox = home / ".mozilla/firefox/ab1.default-release";
        for (const auto& store : {firefox / "cookies.sqlite",
                                  home / ".config/chromium/Default/Cookies",
                                  home / ".config/chromium/Profile 1/Network/Cookies"}) {
            std::filesystem::create_directories(store.parent_path());
            std::ofstream(store) << "x";
        }
        const ScopedEnv useHome("HOME", home.string()), noConfig("XDG_CONFIG_HOME", std::nullopt);
        Harness h;
        h.child<QLineEdit>("urlField")->setText("https://example.com/v");
        h.child<QPushButton>("downloadButton")->click();
        QTRY_COMPARE(h.downloads.calls(), 1);
        const std::string bot = "ERROR: [youtube] x: Sign in to confirm you\u2019re not a bot.";
        const DownloadError error = DownloadError::downloadFailed(bot, DownloadFailure::classify(bot, 1));
        h.downloads.answer(0, [&]() -> DownloadedVideo { throw error; });
        QTRY_VERIFY(h.shown("signInRetryButton"));
        auto* menu = h.child<QMenu>("signInMenu");
        emit menu->aboutToShow();
        QStringList entries;
        for (QAction* action : menu->actions())
            entries << action->text();
        QCOMPARE(QSet<QString>(entries.begin(), entries.end()),
                 (QSet<QString>{"Chromium: Default", "Chromium: Profile 1", "Firefox"}));
        menu->actions().at(entries.indexOf("Firefox"))->trigger();
        QTRY_COMPARE(h.downloads.calls(), 2);
        QCOMPARE(h.child<QLabel>("statusSignedIn")->text(), QString("Signed in with Firefox"));
        h.downloads.answer(1, [] { return DownloadedVideo{"/cache/w/clip.mp4", false, false}; });
        QTRY_COMPARE(h.list->row(0).state().kind, DownloadTester::State::Kind::finished);
        h.child<QLineEdit>("urlField")->setText("https://example.com/w");
        h.child<QPushButton>("downloadButton")->click(); // the choice holds for the rest of the run
        QTRY_COMPARE(h.downloads.calls(), 3);
        std::lock_guard guard(h.mutex);
        const BrowserSignIn chosen{"firefox", "", firefox.string(), ""};
        QCOMPARE(h.signIns, (std::vector<std::optional<BrowserSignIn>>{std::nullopt, chosen, chosen}));
    }

    void longFileNameIsShortenedInTheMiddle() {
        Harness h;
        h.child<QLineEdit>("urlField")->setText("https://example.com/v");
        h.child<QPushButton>("downloadButton")->click();
        QTRY_COMPARE(h.downloads.calls(), 1);
        const std::string name = "The beginning of a very long video title " + std::string(200, 'x') + " end.mp4";
        h.downloads.answer(0, [=] { return DownloadedVideo{"/cache/w/" + name, false, false}; });
        ElidedLabel* label = h.child<ElidedLabel>("statusFileName");
        QTRY_VERIFY(h.shown("statusFinished"));
        QTRY_VERIFY(label->text() != label->fullText());
        QVERIFY(label->text().startsWith("The beginning"));
        QVERIFY(label->text().endsWith("end.mp4"));
        QVERIFY(label->text().contains(QChar(0x2026)));
    }

    void pickerAndModelStayInStep() {
        Harness h;
        QComboBox* picker = h.child<QComboBox>("qualityPicker");
        QCOMPARE(picker->currentText(), QString("Highest quality"));
        picker->setCurrentIndex(picker->findText("720p"));
        QCOMPARE(h.tester->quality(), VideoQuality::p720);
        picker->setCurrentIndex(picker->findText("Audio only"));
        QCOMPARE(h.tester->quality(), VideoQuality::audioOnly);
        h.tester->setQuality(VideoQuality::p2160);
        QCOMPARE(picker->currentText(), QString("4K"));
    }

    void compatibleToggleIsHiddenAndKeepsItsValue() {
        Harness h;
        QCheckBox* force = h.child<QCheckBox>("forceMP4Toggle");
        QCheckBox* compatible = h.child<QCheckBox>("compatibleToggle");
        QVERIFY(force->isChecked());
        QVERIFY(h.shown("compatibleToggle"));
        compatible->click();
        QVERIFY(h.tester->compatibleMP4());
        force->click();
        QVERIFY(!h.tester->forceMP4());
        QVERIFY(!h.shown("compatibleToggle"));
        QVERIFY(h.tester->compatibleMP4());
        force->click();
        QVERIFY(h.shown("compatibleToggle"));
        QVERIFY(compatible->isChecked());
    }

    void downloadNeedsAUsableUrl_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("empty") << "" << false;
        QTest::newRow("schemeless") << "example.com/v" << false;
        QTest::newRow("option") << "-f best" << false;
        QTest::newRow("option and link") << "-f best https://example.com/v" << true; // the words are named
        QTest::newRow("control characters") << QString("https://ex\x01\x7f") + QChar(0) << false;
        QTest::newRow("100 KB paste") << QString(100 * 1024, 'a') << false;
        QTest::newRow("link") << " https://example.com/v\n" << true;
    }
    void downloadNeedsAUsableUrl() {
        QFETCH(QString, text);
        QFETCH(bool, enabled);
        Harness h;
        QLineEdit* field = h.child<QLineEdit>("urlField");
        field->setText(text);
        QCOMPARE(h.child<QPushButton>("downloadButton")->isEnabled(), enabled);
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(h.list->size(), enabled ? 1 : 0);
        QCOMPARE(h.list->runningCount(), enabled ? 1 : 0);
        // Only what was not added stays in the field, named under it.
        QCOMPARE(field->text().isEmpty(), !text.contains("-f") && (enabled || text.isEmpty()));
        QTest::qWait(50);
        QCOMPARE(h.downloads.calls(), enabled ? 1 : 0); // Return starts exactly one download
    }

    // A drop adds its links to the list, whatever runs, and leaves the field alone.
    void aDropAddsItsLinks() {
        Harness h;
        h.child<QLineEdit>("urlField")->setText("typed");
        for (const QString& text :
             {QString("https://a.test/1"), QString("https://a.test/2 not-a-link\nhttps://a.test/3")}) {
            QMimeData data;
            data.setText(text);
            QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            static_cast<QObject*>(h.view)->event(&drop); // straight to the view, with no drag under way
        }
        QCOMPARE(h.list->size(), 3);
        QCOMPARE(h.list->row(2).urlText(), QString("https://a.test/3"));
        QCOMPARE(h.child<QLineEdit>("urlField")->text(), QString("typed"));
        QTRY_COMPARE(h.downloads.calls(), 3);
    }

    // Quitting takes the models down; a yt-dlp that never answers its version must not hold it.
    void closingStopsAHungStatusLookup() {
        std::mutex mutex;
        std::condition_variable_any wake;
        std::atomic_bool stopped = false;
        std::atomic_int calls = 0;
        YtdlpUpdater updater({}, [&](std::stop_token stop) {
            ++calls;
            std::unique_lock lock(mutex);
            // Only a stop ends it early; a lookup left running would give up after 30 s unstopped.
            wake.wait_for(lock, stop, std::chrono::seconds(30), [] { return false; });
            stopped = stop.stop_requested();
            return YtdlpStatus{};
        });
        DownloadTester tester;
        DownloadList list;
        auto versions = std::make_unique<ToolVersions>(
            updater, [](const std::filesystem::path&, std::stop_token) { return std::optional<std::string>(); });
        auto host = std::make_unique<QWidget>();
        new ContentView(updater, tester, list, *versions, {}, host.get());
        host->show();
        QTRY_COMPARE(calls.load(), 1);
        host.reset();
        versions.reset(); // joins the lookup
        QVERIFY(stopped.load());
    }

    void quickDownloadCancelRoundsEndIdle() {
        Harness h;
        auto* field = h.child<QLineEdit>("urlField");
        // The newest row's Cancel: an older one may still wait for its removal.
        auto cancelNewest = [&h] { h.view->findChildren<QPushButton*>("downloadCancelButton").constLast()->click(); };
        for (int round = 0; round < 20; ++round) {
            field->setText("https://example.com/v");
            h.child<QPushButton>("downloadButton")->click();
            cancelNewest();
            field->setText("https://example.com/v");
            h.child<QPushButton>("downloadButton")->click();
            QCoreApplication::processEvents();
            cancelNewest();
        }
        QTRY_COMPARE(h.downloads.stopsSeen(), h.downloads.calls());
        QTest::qWait(50);
        QCOMPARE(h.list->size(), 0);
        QVERIFY(h.shown("downloadButton"));
    }
};

QTEST_MAIN(ContentViewTest)
#include "ContentViewTest.moc"
