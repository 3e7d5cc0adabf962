#include "app/ToolsBox.h"
#include "app/CoreText.h"

#include "app/WidgetLook.h"
#include "app/WrappingLabel.h"
#include "appcore/ToolVersions.h"
#include "download/DownloadProgressText.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

using WidgetLook::Size;
using WidgetLook::Tone;

ToolsBox::ToolsBox(YtdlpUpdater& updater, ToolVersions& versions, QWidget* parent)
    : QGroupBox(tr("Bundled tools"), parent), m_updater(updater), m_versions(versions) {
    setObjectName(QStringLiteral("toolsBox"));
    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(10);
    layout->setContentsMargins(4, 4, 4, 4);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(16);
    grid->setVerticalSpacing(6);
    grid->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    auto addName = [&](const QString& name, int row) {
        auto* label = WidgetLook::makeLabel(name, this);
        QFont font = label->font();
        font.setWeight(QFont::Medium);
        label->setFont(font);
        grid->addWidget(label, row, 0);
    };
    addName(QStringLiteral("yt-dlp"), 0);
    m_ytdlpVersion = WidgetLook::makeLabel({}, this, "ytdlpVersion");
    m_ytdlpVersion->setProperty("tool", QStringLiteral("yt-dlp"));
    m_ytdlpNote = WidgetLook::makeLabel({}, this, "ytdlpNote");
    grid->addWidget(m_ytdlpVersion, 0, 1);
    grid->addWidget(m_ytdlpNote, 0, 2);
    addName(QStringLiteral("ffmpeg"), 1);
    m_ffmpegLabel = WidgetLook::makeLabel({}, this, "ffmpegVersion");
    m_ffmpegLabel->setProperty("tool", QStringLiteral("ffmpeg"));
    grid->addWidget(m_ffmpegLabel, 1, 1);
    addName(QStringLiteral("deno"), 2);
    m_denoLabel = WidgetLook::makeLabel({}, this, "denoVersion");
    m_denoLabel->setProperty("tool", QStringLiteral("deno"));
    grid->addWidget(m_denoLabel, 2, 1);
    grid->setColumnStretch(3, 1);
    layout->addLayout(grid);

    auto* row = new QHBoxLayout;
    auto* status = new QVBoxLayout;
    status->setSpacing(4);
    auto* line = new QHBoxLayout;
    m_updateIcon = WidgetLook::makeIconLabel(this, "updateIcon");
    m_updateText = new WrappingLabel(this);
    m_updateText->setObjectName(QStringLiteral("updateStatusText"));
    line->addWidget(m_updateIcon);
    line->addWidget(m_updateText, 1);
    status->addLayout(line);
    m_updateProgress = new QProgressBar(this);
    m_updateProgress->setObjectName(QStringLiteral("updateProgress"));
    m_updateProgress->setRange(0, 1000);
    m_updateProgress->setTextVisible(false);
    m_updateProgress->setMaximumWidth(260);
    m_updateProgress->setAccessibleName(tr("yt-dlp download progress"));
    status->addWidget(m_updateProgress);
    row->addLayout(status, 1);
    m_updateButton = new QPushButton(this);
    m_updateButton->setObjectName(QStringLiteral("updateButton"));
    m_updateButton->setAutoDefault(false);
    connect(m_updateButton, &QPushButton::clicked, this, [this] {
        if (m_updater.isRunning())
            m_updater.cancel();
        else
            m_updater.start();
    });
    row->addWidget(m_updateButton, 0, Qt::AlignTop);
    layout->addLayout(row);
    m_updateText->setAccessibleDescription(tr("The yt-dlp update's status."));
    QWidget::setTabOrder(m_updateText, m_updateButton);

    connect(&m_updater, &YtdlpUpdater::stateChanged, this, &ToolsBox::showUpdateState);
    connect(&m_updater, &YtdlpUpdater::statusChanged, this, &ToolsBox::showYtdlpRow);
    connect(&m_versions, &ToolVersions::ffmpegChanged, this, [this] {
        showToolVersion(m_ffmpegLabel, m_versions.ffmpeg());
    });
    connect(&m_versions, &ToolVersions::denoChanged, this, [this] { showToolVersion(m_denoLabel, m_versions.deno()); });
    showYtdlpRow();
    showToolVersion(m_ffmpegLabel, m_versions.ffmpeg());
    showToolVersion(m_denoLabel, m_versions.deno());
    showUpdateState();
}

QString ToolsBox::progressText(double fraction) {
    return tr("Downloading yt-dlp… %1%").arg(QString::asprintf("%d", DownloadProgressText::percent(fraction)));
}

void ToolsBox::setMaximumStatusHeight(int height) {
    m_updateText->setMaximumTextHeight(height);
}

void ToolsBox::showYtdlpRow() {
    const std::optional<YtdlpStatus>& status = m_updater.status();
    if (!status) {
        m_ytdlpVersion->setText(QStringLiteral("…"));
        m_ytdlpVersion->setAccessibleName(tr("%1 version: %2").arg(QStringLiteral("yt-dlp"), tr("not known yet")));
        WidgetLook::apply(m_ytdlpVersion, Tone::secondary);
        m_ytdlpNote->hide();
        return;
    }
    showToolVersion(m_ytdlpVersion, status->active.version);
    if (status->active.source == YtdlpInstallation::Source::updated)
        m_ytdlpNote->setText(tr("updated · bundled copy is %1")
                                 .arg(status->bundledVersion ? qs(*status->bundledVersion) : tr("missing")));
    else
        m_ytdlpNote->setText(tr("bundled"));
    WidgetLook::apply(m_ytdlpNote, Tone::secondary, Size::callout);
    m_ytdlpNote->show();
}

void ToolsBox::showToolVersion(QLabel* label, const std::optional<std::string>& version) {
    if (version) {
        label->setText(qs(*version));
        WidgetLook::apply(label, Tone::primary);
    } else {
        label->setText(tr("missing"));
        WidgetLook::apply(label, Tone::red);
    }
    // The cell alone would read as a bare number; the name says whose version it is.
    label->setAccessibleName(tr("%1 version: %2").arg(label->property("tool").toString(), label->text()));
}

void ToolsBox::showUpdateState() {
    using Kind = YtdlpUpdater::State::Kind;
    const YtdlpUpdater::State& state = m_updater.state();
    const char* symbol = nullptr;
    Tone tone = Tone::secondary;
    Size size = Size::callout;
    QString text;
    bool selectable = false;
    m_updateProgress->setVisible(state.kind == Kind::running &&
                                 state.phase.kind == YtdlpUpdatePhase::Kind::downloading);
    switch (state.kind) {
    case Kind::idle:
        text = tr("Downloads the latest release into your data folder.");
        size = Size::caption;
        break;
    case Kind::running:
        switch (state.phase.kind) {
        case YtdlpUpdatePhase::Kind::waiting:
            text = tr("Waiting for another update to finish…");
            break;
        case YtdlpUpdatePhase::Kind::downloading:
            text = progressText(state.phase.fraction);
            m_updateProgress->setValue(static_cast<int>(
                std::isfinite(state.phase.fraction) ? std::clamp(state.phase.fraction, 0.0, 1.0) * 1000 : 0));
            break;
        case YtdlpUpdatePhase::Kind::verifying:
            text = tr("Verifying the download…");
            symbol = "checkmark.shield";
            break;
        case YtdlpUpdatePhase::Kind::installing:
            text = tr("Installing…");
            symbol = "arrow.down.to.line";
            break;
        }
        break;
    case Kind::finished:
        if (state.outcome.kind == YtdlpUpdateOutcome::Kind::updated) {
            text = tr("Updated to yt-dlp %1.").arg(qs(state.outcome.version));
            symbol = "checkmark.circle.fill";
            tone = Tone::green;
        } else {
            text = tr("yt-dlp %1 is already the latest release.").arg(qs(state.outcome.version));
            symbol = "checkmark.circle";
        }
        break;
    case Kind::failed:
        text = state.message;
        symbol = "exclamationmark.triangle.fill";
        tone = Tone::red;
        selectable = true;
        break;
    }
    m_updateText->setText(text);
    WidgetLook::apply(m_updateText, tone, size);
    m_updateText->setTextInteractionFlags(selectable ? Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard
                                                     : Qt::NoTextInteraction);
    // Reachable with Tab only when there is an error to select and copy.
    m_updateText->setFocusPolicy(selectable ? Qt::StrongFocus : Qt::NoFocus);
    WidgetLook::setSymbol(m_updateIcon, symbol);
    m_updateButton->setText(state.kind == Kind::running ? tr("Cancel") : tr("Update yt-dlp…"));
    m_updateButton->setAccessibleDescription(state.kind == Kind::running ? tr("Stops the yt-dlp update.")
                                                                         : tr("Downloads the newest yt-dlp release."));
    const bool ended = state.kind == Kind::finished || state.kind == Kind::failed;
    if (ended && m_announcedUpdate != state.kind) {
        WidgetLook::announce(m_updateText, text);
        emit announced(m_updateText, text);
    } else {
        m_updateText->setAccessibleName(text);
    }
    m_announcedUpdate = state.kind;
    emit contentChanged();
}
