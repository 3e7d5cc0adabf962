#pragma once

#include "appcore/YtdlpUpdater.h"

#include <QGroupBox>

#include <optional>
#include <string>

class QLabel;
class QProgressBar;
class QPushButton;
class ToolVersions;
class WrappingLabel;

// The "Bundled tools" box: the versions of yt-dlp, ffmpeg and deno, and the yt-dlp update's
// status line with its button. Shows what the two models hold; starts and cancels the update.
class ToolsBox : public QGroupBox {
    Q_OBJECT
public:
    // Both models must outlive the box.
    ToolsBox(YtdlpUpdater& updater, ToolVersions& versions, QWidget* parent = nullptr);

    // The progress label's text for a download fraction: "Downloading yt-dlp… " and the percentage
    // of DownloadProgressText::percent, then "%".
    static QString progressText(double fraction);

    // The tallest the update's status text grows before it scrolls.
    void setMaximumStatusHeight(int height);

signals:
    // An update's outcome was just announced to screen readers through widget.
    void announced(QWidget* widget, const QString& text);
    // The status line changed and may need another height.
    void contentChanged();

private:
    void showYtdlpRow();
    void showToolVersion(QLabel* label, const std::optional<std::string>& version);
    void showUpdateState();

    YtdlpUpdater& m_updater;
    ToolVersions& m_versions;
    QLabel* m_ytdlpVersion = nullptr;
    QLabel* m_ytdlpNote = nullptr;
    QLabel* m_ffmpegLabel = nullptr;
    QLabel* m_denoLabel = nullptr;
    QLabel* m_updateIcon = nullptr;
    WrappingLabel* m_updateText = nullptr;
    QProgressBar* m_updateProgress = nullptr;
    QPushButton* m_updateButton = nullptr;
    YtdlpUpdater::State::Kind m_announcedUpdate = YtdlpUpdater::State::Kind::idle;
};
