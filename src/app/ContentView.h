#pragma once

#include "app/BackgroundRuns.h"
#include "app/DownloadTester.h"

#include <QWidget>

#include <filesystem>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>

class ElidedLabel;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class YtdlpUpdater;

// The content of the only window: the header, the "Bundled tools" box (versions and the yt-dlp
// update) and the "Try it" box (the download form and its outcome). It only chooses what to show;
// the work is the models'. Every time it is shown it looks up the yt-dlp status and the ffmpeg
// and deno versions on worker threads and fills the rows in that fixed order.
class ContentView : public QWidget {
    Q_OBJECT
public:
    // The seams to the system; each defaults to the real one.
    struct Services {
        DownloadTester::DownloadFunction download;                // VideoDownloader::download
        std::function<std::optional<std::string>(const std::filesystem::path&, std::stop_token)>
            version;                                               // BundledTools::version, off the GUI thread
        std::function<void(const std::filesystem::path&)> reveal; // FileRevealer::reveal
    };

    // updater is shared with the menu and must outlive the view.
    explicit ContentView(YtdlpUpdater& updater, Services services = {}, QWidget* parent = nullptr);
    // Stops the version lookups and the download model's run, and waits for their threads.
    ~ContentView() override;

    DownloadTester& tester() { return *m_tester; }

    // The progress label's text for a download fraction: "Downloading yt-dlp… " and f × 100
    // truncated toward zero ("%lld"), then "%". A fraction that is not finite reads as 0, one
    // outside 0…1 is clamped.
    static QString progressText(double fraction);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QWidget* makeHeader();
    QWidget* makeToolsBox();
    QWidget* makeTryItBox();
    void startLookups();
    void stopLookups();

    void showYtdlpRow();
    void showToolVersion(QLabel* label, const std::optional<std::string>& version);
    void showUpdateState();
    void showFormControls();
    void showDownloadState();
    void updateButtonClicked();

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
    QLabel* m_updateText = nullptr;
    QProgressBar* m_updateProgress = nullptr;
    QPushButton* m_updateButton = nullptr;

    QLineEdit* m_urlField = nullptr;
    QComboBox* m_qualityPicker = nullptr;
    QCheckBox* m_forceMP4 = nullptr;
    QCheckBox* m_compatibleMP4 = nullptr;
    QProgressBar* m_spinner = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QPushButton* m_downloadButton = nullptr;

    QLabel* m_runningLabel = nullptr;
    QWidget* m_finishedRow = nullptr;
    ElidedLabel* m_fileName = nullptr;
    QLabel* m_note = nullptr;
    QWidget* m_failedRow = nullptr;
    QLabel* m_failedText = nullptr;

    quint64 m_lookupGeneration = 0;
    std::optional<std::stop_source> m_lookup;
    BackgroundRuns m_lookups;
};
