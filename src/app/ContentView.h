#pragma once

#include "app/DownloadTester.h"
#include "app/WorkerRuns.h"
#include "app/YtdlpUpdater.h"

#include <QPointer>
#include <QUrl>
#include <QWidget>

#include <filesystem>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>

class ElidedLabel;
class FittingScrollArea;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class WrappingLabel;

// The content of the only window: the header, the "Bundled tools" box (versions and the yt-dlp
// update) and the "Try it" box (the download form and its outcome). It only chooses what to show;
// the work is the models'. Every time it is shown it looks up the yt-dlp status and the ffmpeg
// and deno versions on worker threads and fills the rows in that fixed order.
class ContentView : public QWidget {
    Q_OBJECT
public:
    // Where "Save a Copy…" puts the file; replace is true only when the user agreed to replace
    // an existing file of that name.
    struct CopyTarget {
        QString path;
        bool replace = false;
    };

    // The seams to the system; each defaults to the real one.
    struct Services {
        DownloadTester::DownloadFunction download; // VideoDownloader::download
        std::function<std::optional<std::string>(const std::filesystem::path&, std::stop_token)>
            version; // BundledTools::version, off the GUI thread
        // FileRevealer::reveal; calls failed (on the GUI thread) when nothing could show the file.
        std::function<void(const std::filesystem::path&, std::function<void()> failed)> reveal;
        std::function<bool(const QUrl&)> open; // QDesktopServices::openUrl
        // Asks where to save a copy (a save dialog in the Videos folder that confirms replacing
        // an existing file); none when the user cancels. Blocks in the dialog's own event loop.
        std::function<std::optional<CopyTarget>(QWidget* parent, const QString& suggestedName)> chooseCopyTarget;
    };

    // updater is shared with the menu and must outlive the view.
    explicit ContentView(YtdlpUpdater& updater, Services services = {}, QWidget* parent = nullptr);
    // Stops the version lookups and the download model's run, and waits for their threads.
    ~ContentView() override;

    DownloadTester& tester() { return *m_tester; }
    // The versions the rows show; none until looked up, or when the tool is missing.
    const std::optional<std::string>& ffmpegVersion() const { return m_ffmpegVersion; }
    const std::optional<std::string>& denoVersion() const { return m_denoVersion; }

    // The tallest the outcome area may grow before it scrolls, so the window fits on its screen.
    int statusAreaCap() const;

    // The progress label's text for a download fraction: "Downloading yt-dlp… " and f × 100
    // truncated toward zero ("%lld"), then "%". A fraction that is not finite reads as 0, one
    // outside 0…1 is clamped.
    static QString progressText(double fraction);

signals:
    // A download's or an update's outcome was just announced to screen readers through widget.
    void announced(QWidget* widget, const QString& text);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    // Escape cancels a running download.
    void keyPressEvent(QKeyEvent* event) override;

private:
    QWidget* makeHeader();
    QWidget* makeToolsBox();
    QWidget* makeTryItBox();
    void startLookups();

    void showYtdlpRow();
    void showToolVersion(QLabel* label, const std::optional<std::string>& version);
    void showUpdateState();
    void showFormControls();
    void showDownloadState();
    void showDownloadProgress();
    void updateButtonClicked();
    void fitToScreen();
    void describeControls();
    void setTabOrder();
    void showFileMenu(const QPoint& position);
    void saveCopy();
    void complain(const QString& text);
    // Tells a screen reader what widget now says: its accessible name changes and an alert follows.
    void announce(QWidget* widget, const QString& text);

    YtdlpUpdater& m_updater;
    Services m_services;
    DownloadTester* m_tester;
    std::optional<std::string> m_ffmpegVersion;
    std::optional<std::string> m_denoVersion;

    QLabel* m_ytdlpVersion = nullptr;
    QLabel* m_ytdlpNote = nullptr;
    QLabel* m_ffmpegLabel = nullptr;
    QLabel* m_denoLabel = nullptr;

    QLabel* m_updateIcon = nullptr;
    WrappingLabel* m_updateText = nullptr;
    QProgressBar* m_updateProgress = nullptr;
    QPushButton* m_updateButton = nullptr;

    QLineEdit* m_urlField = nullptr;
    QComboBox* m_qualityPicker = nullptr;
    QCheckBox* m_forceMP4 = nullptr;
    QCheckBox* m_compatibleMP4 = nullptr;
    QProgressBar* m_spinner = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QPushButton* m_downloadButton = nullptr;

    FittingScrollArea* m_statusArea = nullptr;
    QLabel* m_runningLabel = nullptr;
    QLabel* m_progressDetails = nullptr; // beside it: percentage, sizes, speed, time left
    QWidget* m_finishedRow = nullptr;
    ElidedLabel* m_fileName = nullptr;
    QLabel* m_note = nullptr;
    QWidget* m_failedRow = nullptr;
    WrappingLabel* m_failedText = nullptr;
    QPushButton* m_showInFolder = nullptr;

    // Where the keyboard focus was when the running download began, to return to when it ends.
    QPointer<QWidget> m_focusBeforeRun;
    bool m_showingRun = false;
    bool m_fitPending = false;
    DownloadTester::State::Kind m_announcedDownload = DownloadTester::State::Kind::idle;
    YtdlpUpdater::State::Kind m_announcedUpdate = YtdlpUpdater::State::Kind::idle;

    WorkerRuns m_lookups{this}; // hiding the view drops what they have not shown yet
    WorkerRuns m_copies{this};  // "Save a Copy…"; joined (after a stop request) when the view goes
};
