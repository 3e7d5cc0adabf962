#include "app/ContentView.h"

#include "app/ElidedLabel.h"
#include "app/FileCopy.h"
#include "app/FileRevealer.h"
#include "app/FittingScrollArea.h"
#include "app/WidgetLook.h"
#include "app/WrappingLabel.h"
#include "app/YtdlpUpdater.h"
#include "download/DownloadProgressText.h"
#include "tools/BundledTools.h"

#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDesktopServices>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMetaObject>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QStandardPaths>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <thread>

using WidgetLook::Size;
using WidgetLook::Tone;

namespace {

QLabel* makeLabel(const QString& text, QWidget* parent, const char* name = nullptr) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    if (name)
        label->setObjectName(QString::fromLatin1(name));
    return label;
}

QLabel* makeIconLabel(QWidget* parent, const char* name) {
    auto* icon = new QLabel(parent);
    icon->setObjectName(QString::fromLatin1(name));
    icon->setFixedSize(16, 16);
    return icon;
}

void setSymbol(QLabel* icon, const char* symbol) {
    if (!symbol) {
        icon->clear();
        icon->hide();
        return;
    }
    icon->setPixmap(WidgetLook::symbol(symbol).pixmap(16, 16));
    icon->setProperty("symbol", QString::fromLatin1(symbol));
    icon->show();
}

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

// The picker's entries, named here for lupdate; the picker translates them by their English text.
[[maybe_unused]] const char* const qualityLabels[] = {
    QT_TRANSLATE_NOOP("ContentView", "Highest quality"),
    QT_TRANSLATE_NOOP("ContentView", "4K"),
    QT_TRANSLATE_NOOP("ContentView", "1080p"),
    QT_TRANSLATE_NOOP("ContentView", "720p"),
    QT_TRANSLATE_NOOP("ContentView", "480p"),
    QT_TRANSLATE_NOOP("ContentView", "Audio only"),
};

// Room for the window manager's title bar, which the window's own geometry does not include.
constexpr int titleBarAllowance = 48;

std::optional<ContentView::CopyTarget> askForCopyTarget(QWidget* parent, const QString& suggestedName) {
    QFileDialog dialog(parent, ContentView::tr("Save a Copy"));
    dialog.setObjectName(QStringLiteral("saveCopyDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // The dialog's own confirmation guards an existing file (QFileDialog::DontConfirmOverwrite unset).
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    dialog.setDirectory(QStandardPaths::writableLocation(QStandardPaths::MoviesLocation));
    dialog.selectFile(suggestedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    const QString path = dialog.selectedFiles().constFirst();
    // An existing file is only ever returned after the user agreed to replace it.
    return ContentView::CopyTarget{path, QFileInfo::exists(path)};
}

} // namespace

ContentView::ContentView(YtdlpUpdater& updater, Services services, QWidget* parent)
    : QWidget(parent), m_updater(updater), m_services(std::move(services)) {
    if (!m_services.version)
        m_services.version = [](const std::filesystem::path& tool, std::stop_token stop) {
            return BundledTools::version(tool, stop);
        };
    if (!m_services.reveal)
        m_services.reveal = &FileRevealer::reveal;
    if (!m_services.open)
        m_services.open = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    if (!m_services.chooseCopyTarget)
        m_services.chooseCopyTarget = &askForCopyTarget;
    m_tester = new DownloadTester(m_services.download, this);

    setObjectName(QStringLiteral("contentView"));
    auto* root = new QVBoxLayout(this);
    root->setSpacing(18);
    root->setContentsMargins(20, 20, 20, 20);
    root->addWidget(makeHeader());
    root->addWidget(makeToolsBox());
    root->addWidget(makeTryItBox());
    // The padding lies inside the fixed width; the height follows the content.
    setFixedWidth(460);

    connect(&m_updater, &YtdlpUpdater::stateChanged, this, &ContentView::showUpdateState);
    connect(&m_updater, &YtdlpUpdater::statusChanged, this, &ContentView::showYtdlpRow);
    connect(m_tester, &DownloadTester::stateChanged, this, [this] {
        showFormControls();
        showDownloadState();
    });
    connect(m_tester, &DownloadTester::progressChanged, this, &ContentView::showDownloadProgress);
    connect(m_tester, &DownloadTester::urlTextChanged, this, &ContentView::showFormControls);
    connect(m_tester, &DownloadTester::forceMP4Changed, this, &ContentView::showFormControls);
    connect(m_tester, &DownloadTester::compatibleMP4Changed, this, &ContentView::showFormControls);
    connect(m_tester, &DownloadTester::qualityChanged, this, &ContentView::showFormControls);

    showYtdlpRow();
    showToolVersion(m_ffmpegLabel, m_ffmpegVersion);
    showToolVersion(m_denoLabel, m_denoVersion);
    showUpdateState();
    describeControls();
    setTabOrder();
    showFormControls();
    showDownloadState();
    // The window opens ready for a pasted link.
    m_urlField->setFocus();
}

ContentView::~ContentView() = default; // m_lookups and m_copies stop and join

QString ContentView::progressText(double fraction) {
    if (!std::isfinite(fraction))
        fraction = 0;
    fraction = std::clamp(fraction, 0.0, 1.0);
    const auto percent = static_cast<long long>(std::trunc(fraction * 100));
    return tr("Downloading yt-dlp… %1%").arg(QString::asprintf("%lld", percent));
}

QWidget* ContentView::makeHeader() {
    auto* header = new QWidget(this);
    auto* layout = new QVBoxLayout(header);
    layout->setSpacing(4);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* title = makeLabel(tr("Tallowin"), header, "title");
    WidgetLook::apply(title, Tone::primary, Size::title);
    auto* blurb = new QLabel(header);
    blurb->setObjectName(QStringLiteral("blurb"));
    blurb->setTextFormat(Qt::MarkdownText);
    blurb->setText(tr("Adds a **Download Video** command, `tallowin-cli download`. Give it a URL and it passes the "
                      "video file to the next command."));
    blurb->setWordWrap(true);
    WidgetLook::apply(blurb, Tone::secondary);
    layout->addWidget(title);
    layout->addWidget(blurb);
    return header;
}

QWidget* ContentView::makeToolsBox() {
    auto* box = new QGroupBox(tr("Bundled tools"), this);
    auto* layout = new QVBoxLayout(box);
    layout->setSpacing(10);
    layout->setContentsMargins(4, 4, 4, 4);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(16);
    grid->setVerticalSpacing(6);
    grid->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    auto addName = [&](const QString& name, int row) {
        auto* label = makeLabel(name, box);
        QFont font = label->font();
        font.setWeight(QFont::Medium);
        label->setFont(font);
        grid->addWidget(label, row, 0);
    };
    addName(QStringLiteral("yt-dlp"), 0);
    m_ytdlpVersion = makeLabel({}, box, "ytdlpVersion");
    m_ytdlpVersion->setProperty("tool", QStringLiteral("yt-dlp"));
    m_ytdlpNote = makeLabel({}, box, "ytdlpNote");
    grid->addWidget(m_ytdlpVersion, 0, 1);
    grid->addWidget(m_ytdlpNote, 0, 2);
    addName(QStringLiteral("ffmpeg"), 1);
    m_ffmpegLabel = makeLabel({}, box, "ffmpegVersion");
    m_ffmpegLabel->setProperty("tool", QStringLiteral("ffmpeg"));
    grid->addWidget(m_ffmpegLabel, 1, 1);
    addName(QStringLiteral("deno"), 2);
    m_denoLabel = makeLabel({}, box, "denoVersion");
    m_denoLabel->setProperty("tool", QStringLiteral("deno"));
    grid->addWidget(m_denoLabel, 2, 1);
    grid->setColumnStretch(3, 1);
    layout->addLayout(grid);

    auto* row = new QHBoxLayout;
    auto* status = new QVBoxLayout;
    status->setSpacing(4);
    auto* line = new QHBoxLayout;
    m_updateIcon = makeIconLabel(box, "updateIcon");
    m_updateText = new WrappingLabel(box);
    m_updateText->setObjectName(QStringLiteral("updateStatusText"));
    line->addWidget(m_updateIcon);
    line->addWidget(m_updateText, 1);
    status->addLayout(line);
    m_updateProgress = new QProgressBar(box);
    m_updateProgress->setObjectName(QStringLiteral("updateProgress"));
    m_updateProgress->setRange(0, 1000);
    m_updateProgress->setTextVisible(false);
    m_updateProgress->setMaximumWidth(260);
    status->addWidget(m_updateProgress);
    row->addLayout(status, 1);
    m_updateButton = new QPushButton(box);
    m_updateButton->setObjectName(QStringLiteral("updateButton"));
    m_updateButton->setAutoDefault(false);
    connect(m_updateButton, &QPushButton::clicked, this, &ContentView::updateButtonClicked);
    row->addWidget(m_updateButton, 0, Qt::AlignTop);
    layout->addLayout(row);
    return box;
}

QWidget* ContentView::makeTryItBox() {
    auto* box = new QGroupBox(tr("Try it"), this);
    auto* layout = new QVBoxLayout(box);
    layout->setSpacing(10);
    layout->setContentsMargins(4, 4, 4, 4);

    m_urlField = new QLineEdit(box);
    m_urlField->setObjectName(QStringLiteral("urlField"));
    m_urlField->setPlaceholderText(tr("Video URL"));
    m_urlField->setClearButtonEnabled(false);
    connect(m_urlField, &QLineEdit::textChanged, m_tester, &DownloadTester::setUrlText);
    connect(m_tester, &DownloadTester::urlTextChanged, m_urlField, [this](const QString& text) {
        if (m_urlField->text() != text)
            m_urlField->setText(text);
    });
    connect(m_urlField, &QLineEdit::returnPressed, m_tester, &DownloadTester::start);
    layout->addWidget(m_urlField);

    // The controls keep their order but take two lines: Qt's standard controls are wider than the
    // compact ones this row was drawn for, and all of them in one line would not fit in 460.
    auto* controls = new QHBoxLayout;
    auto* qualityLabel = makeLabel(tr("Quality"), box, "qualityLabel");
    controls->addWidget(qualityLabel);
    m_qualityPicker = new QComboBox(box);
    qualityLabel->setBuddy(m_qualityPicker);
    m_qualityPicker->setObjectName(QStringLiteral("qualityPicker"));
    m_qualityPicker->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    for (VideoQuality choice : allVideoQualities) {
        if (choice == VideoQuality::audioOnly)
            m_qualityPicker->insertSeparator(m_qualityPicker->count());
        m_qualityPicker->addItem(tr(std::string(label(choice)).c_str()), static_cast<int>(choice));
    }
    connect(m_qualityPicker, &QComboBox::currentIndexChanged, this, [this](int index) {
        const QVariant value = m_qualityPicker->itemData(index);
        if (value.isValid())
            m_tester->setQuality(static_cast<VideoQuality>(value.toInt()));
    });
    controls->addWidget(m_qualityPicker);
    m_forceMP4 = new QCheckBox(tr("Force MP4"), box);
    m_forceMP4->setObjectName(QStringLiteral("forceMP4Toggle"));
    m_forceMP4->setChecked(m_tester->forceMP4());
    connect(m_forceMP4, &QCheckBox::toggled, m_tester, &DownloadTester::setForceMP4);
    controls->addWidget(m_forceMP4);
    m_compatibleMP4 = new QCheckBox(tr("Compatible (H.264)"), box);
    m_compatibleMP4->setObjectName(QStringLiteral("compatibleToggle"));
    m_compatibleMP4->setChecked(m_tester->compatibleMP4());
    connect(m_compatibleMP4, &QCheckBox::toggled, m_tester, &DownloadTester::setCompatibleMP4);
    controls->addWidget(m_compatibleMP4);
    controls->addStretch(1);
    for (QWidget* control : std::initializer_list<QWidget*>{qualityLabel, m_qualityPicker, m_forceMP4, m_compatibleMP4})
        WidgetLook::apply(control, Tone::primary, Size::callout);
    layout->addLayout(controls);
    auto* actions = new QHBoxLayout;
    actions->addStretch(1);
    m_spinner = new QProgressBar(box);
    m_spinner->setObjectName(QStringLiteral("downloadSpinner"));
    m_spinner->setRange(0, 0); // indeterminate
    m_spinner->setTextVisible(false);
    m_spinner->setFixedSize(32, 10);
    actions->addWidget(m_spinner);
    m_cancelButton = new QPushButton(tr("Cancel"), box);
    m_cancelButton->setObjectName(QStringLiteral("downloadCancelButton"));
    m_cancelButton->setAutoDefault(false);
    connect(m_cancelButton, &QPushButton::clicked, m_tester, &DownloadTester::cancel);
    actions->addWidget(m_cancelButton);
    m_downloadButton = new QPushButton(tr("Download"), box);
    m_downloadButton->setObjectName(QStringLiteral("downloadButton"));
    // The default button's look; Return itself is handled once, by the field's returnPressed.
    m_downloadButton->setDefault(true);
    m_downloadButton->setAutoDefault(false);
    connect(m_downloadButton, &QPushButton::clicked, m_tester, &DownloadTester::start);
    actions->addWidget(m_downloadButton);
    layout->addLayout(actions);

    // statusView: at most one of its three parts is visible. It scrolls rather than letting a
    // long error push the window past the bottom of the screen.
    m_statusArea = new FittingScrollArea(box);
    m_statusArea->setObjectName(QStringLiteral("statusArea"));
    connect(m_statusArea, &FittingScrollArea::contentChanged, this, &ContentView::fitToScreen);
    m_statusArea->setFixedHeight(0); // always fixed, so its share of the window is known (fitToScreen)
    auto* status = new QWidget(m_statusArea);
    status->setObjectName(QStringLiteral("statusContent"));
    status->setAutoFillBackground(false);
    auto* statusLayout = new QVBoxLayout(status);
    statusLayout->setContentsMargins(0, 0, 0, 0);
    statusLayout->setSpacing(0);
    auto* runningRow = new QHBoxLayout;
    runningRow->setContentsMargins(0, 0, 0, 0);
    runningRow->setSpacing(6);
    m_runningLabel = makeLabel(tr("Downloading…"), status, "statusRunning");
    WidgetLook::apply(m_runningLabel, Tone::secondary, Size::callout);
    runningRow->addWidget(m_runningLabel);
    m_progressDetails = makeLabel(QString(), status, "statusProgress");
    m_progressDetails->setWordWrap(true); // a long line (a slow download, a long language) wraps
    WidgetLook::apply(m_progressDetails, Tone::secondary, Size::callout);
    runningRow->addWidget(m_progressDetails, 1);
    statusLayout->addLayout(runningRow);

    m_finishedRow = new QWidget(status);
    m_finishedRow->setObjectName(QStringLiteral("statusFinished"));
    auto* finished = new QVBoxLayout(m_finishedRow);
    finished->setContentsMargins(0, 0, 0, 0);
    auto* fileRow = new QHBoxLayout;
    auto* check = makeIconLabel(m_finishedRow, "statusFinishedIcon");
    setSymbol(check, "checkmark.circle.fill");
    fileRow->addWidget(check, 0, Qt::AlignVCenter);
    m_fileName = new ElidedLabel(m_finishedRow);
    m_fileName->setObjectName(QStringLiteral("statusFileName"));
    m_fileName->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_fileName->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_fileName, &QWidget::customContextMenuRequested, this, &ContentView::showFileMenu);
    WidgetLook::apply(m_fileName, Tone::primary, Size::callout);
    fileRow->addWidget(m_fileName, 1, Qt::AlignVCenter);
    m_showInFolder = new QPushButton(tr("Show in Folder"), m_finishedRow);
    m_showInFolder->setObjectName(QStringLiteral("showInFolderButton"));
    m_showInFolder->setAutoDefault(false);
    connect(m_showInFolder, &QPushButton::clicked, this, [this] {
        if (m_tester->state().kind != DownloadTester::State::Kind::finished)
            return;
        const std::filesystem::path file = m_tester->state().video.fileURL;
        QPointer<ContentView> self(this);
        m_services.reveal(file, [self, file] {
            if (self)
                self->complain(tr("Could not show %1: no file manager answered and its folder could not be opened.")
                                   .arg(qs(file.string())));
        });
    });
    fileRow->addWidget(m_showInFolder, 0, Qt::AlignVCenter);
    finished->addLayout(fileRow);
    m_note = makeLabel({}, m_finishedRow, "statusNote");
    WidgetLook::apply(m_note, Tone::secondary, Size::caption);
    finished->addWidget(m_note);
    statusLayout->addWidget(m_finishedRow);

    m_failedRow = new QWidget(status);
    m_failedRow->setObjectName(QStringLiteral("statusFailed"));
    auto* failed = new QHBoxLayout(m_failedRow);
    failed->setContentsMargins(0, 0, 0, 0);
    auto* warning = makeIconLabel(m_failedRow, "statusFailedIcon");
    setSymbol(warning, "exclamationmark.triangle.fill");
    failed->addWidget(warning, 0, Qt::AlignTop);
    m_failedText = new WrappingLabel(m_failedRow);
    m_failedText->setObjectName(QStringLiteral("statusError"));
    WidgetLook::apply(m_failedText, Tone::red, Size::callout);
    failed->addWidget(m_failedText, 1);
    statusLayout->addWidget(m_failedRow);
    m_statusArea->setWidget(status);
    layout->addWidget(m_statusArea);
    return box;
}

void ContentView::showYtdlpRow() {
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

void ContentView::showToolVersion(QLabel* label, const std::optional<std::string>& version) {
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

void ContentView::showUpdateState() {
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
        case YtdlpUpdatePhase::Kind::downloading: {
            text = progressText(state.phase.fraction);
            const double fraction =
                std::isfinite(state.phase.fraction) ? std::clamp(state.phase.fraction, 0.0, 1.0) : 0;
            m_updateProgress->setValue(static_cast<int>(fraction * 1000));
            break;
        }
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
    setSymbol(m_updateIcon, symbol);
    m_updateButton->setText(state.kind == Kind::running ? tr("Cancel") : tr("Update yt-dlp…"));
    m_updateButton->setAccessibleDescription(state.kind == Kind::running ? tr("Stops the yt-dlp update.")
                                                                         : tr("Downloads the newest yt-dlp release."));
    const bool ended = state.kind == Kind::finished || state.kind == Kind::failed;
    if (ended && m_announcedUpdate != state.kind)
        announce(m_updateText, text);
    else
        m_updateText->setAccessibleName(text);
    m_announcedUpdate = state.kind;
    fitToScreen();
}

void ContentView::updateButtonClicked() {
    if (m_updater.isRunning())
        m_updater.cancel();
    else
        m_updater.start();
}

void ContentView::showFormControls() {
    const bool running = m_tester->state().kind == DownloadTester::State::Kind::running;
    // Hiding the focused button would send the focus down the chain to whatever comes next (the
    // update button, once); so the focus moves on purpose before the swap. Cancel takes the
    // Download button's place and its focus while the download runs, as the update button does.
    QWidget* focused = window()->focusWidget();
    if (running && !m_showingRun) {
        m_focusBeforeRun = focused;
        m_cancelButton->setVisible(true);
        if (focused == m_downloadButton)
            m_cancelButton->setFocus(Qt::OtherFocusReason);
    } else if (!running && m_showingRun) {
        m_downloadButton->setVisible(true);
        m_downloadButton->setEnabled(m_tester->url().has_value());
        if (!focused || focused == m_cancelButton) {
            QWidget* back = m_focusBeforeRun;
            if (!back || !back->isVisibleTo(this) || !back->isEnabled())
                back = m_urlField;
            back->setFocus(Qt::OtherFocusReason);
        }
        m_focusBeforeRun = nullptr;
    }
    m_showingRun = running;
    m_spinner->setVisible(running);
    m_cancelButton->setVisible(running);
    m_downloadButton->setVisible(!running);
    m_downloadButton->setEnabled(m_tester->url().has_value());
    // Absent, not greyed out, while an MP4 is not forced; the model keeps its value meanwhile.
    m_compatibleMP4->setVisible(m_tester->forceMP4());
    m_forceMP4->setChecked(m_tester->forceMP4());
    m_compatibleMP4->setChecked(m_tester->compatibleMP4());
    m_qualityPicker->setCurrentIndex(m_qualityPicker->findData(static_cast<int>(m_tester->quality())));
}

void ContentView::showDownloadProgress() {
    const std::optional<DownloadProgress>& progress = m_tester->progress();
    using Phase = DownloadProgress::Phase;
    const Phase phase = progress ? progress->phase : Phase::downloading;
    switch (phase) {
    case Phase::downloading:
        m_runningLabel->setText(tr("Downloading…"));
        break;
    case Phase::merging:
        m_runningLabel->setText(tr("Merging…"));
        break;
    case Phase::checking:
        m_runningLabel->setText(tr("Checking the file…"));
        break;
    case Phase::converting:
        m_runningLabel->setText(tr("Converting to MP4…"));
        break;
    }

    // "42% · 12.3 of 45.6 MB · 2.1 MB/s · 0:20 left", each part only when known.
    QStringList parts;
    if (progress && progress->fraction)
        parts << tr("%1%").arg(static_cast<int>(std::clamp(*progress->fraction, 0.0, 1.0) * 100));
    if (progress && phase == Phase::downloading) {
        if (progress->bytes && progress->totalBytes)
            parts << tr("%1 of %2 MB")
                         .arg(qs(DownloadProgressText::megabytes(*progress->bytes)),
                              qs(DownloadProgressText::megabytes(*progress->totalBytes)));
        else if (progress->bytes)
            parts << tr("%1 MB").arg(qs(DownloadProgressText::megabytes(*progress->bytes)));
        if (progress->bytesPerSecond)
            parts << qs(DownloadProgressText::speed(*progress->bytesPerSecond));
        if (progress->etaSeconds)
            parts << tr("%1 left").arg(qs(DownloadProgressText::duration(*progress->etaSeconds)));
    }
    m_progressDetails->setText(parts.join(QStringLiteral(" · ")));

    // A bar that fills in place of the spinner while the fraction is known.
    if (progress && progress->fraction) {
        m_spinner->setRange(0, 1000);
        m_spinner->setValue(static_cast<int>(std::clamp(*progress->fraction, 0.0, 1.0) * 1000));
    } else {
        m_spinner->setRange(0, 0);
    }
}

void ContentView::showDownloadState() {
    using Kind = DownloadTester::State::Kind;
    const DownloadTester::State& state = m_tester->state();
    m_runningLabel->setVisible(state.kind == Kind::running);
    m_progressDetails->setVisible(state.kind == Kind::running);
    m_finishedRow->setVisible(state.kind == Kind::finished);
    m_failedRow->setVisible(state.kind == Kind::failed);
    if (state.kind == Kind::finished) {
        m_fileName->setFullText(qs(state.video.fileURL.filename().string()));
        m_fileName->setAccessibleDescription(qs(state.video.fileURL.string()));
        QString note;
        if (state.video.wasConverted)
            note = tr("Converted to H.264 MP4 with ffmpeg.");
        else if (state.video.wasRemuxed)
            note = tr("Repackaged as MP4 without re-encoding the video.");
        m_note->setText(note);
        m_note->setVisible(!note.isEmpty());
    }
    if (state.kind == Kind::failed)
        m_failedText->setText(state.message);
    if (state.kind != m_announcedDownload) {
        if (state.kind == Kind::finished)
            announce(m_fileName, tr("Downloaded %1").arg(m_fileName->fullText()));
        if (state.kind == Kind::failed)
            announce(m_failedText, tr("Download failed: %1").arg(state.message));
    } else if (state.kind == Kind::failed) {
        m_failedText->setAccessibleName(tr("Download failed: %1").arg(state.message));
    }
    m_announcedDownload = state.kind;
    m_statusArea->setVisible(state.kind != Kind::idle);
    fitToScreen();
}

void ContentView::announce(QWidget* widget, const QString& text) {
    // Qt 6.4 has no announcement event (QAccessibleAnnouncementEvent came with 6.8): the live
    // label's name changes and an alert follows, which AT-SPI screen readers speak.
    widget->setAccessibleName(text);
    QAccessibleEvent changed(widget, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&changed);
    QAccessibleEvent alert(widget, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
    emit announced(widget, text);
}

void ContentView::describeControls() {
    m_urlField->setAccessibleName(tr("Video URL"));
    m_urlField->setAccessibleDescription(tr("A link to a video page or a direct link to a media file."));
    const QString quality = tr("Highest quality takes the best streams that fit the MP4 settings; 4K takes the best "
                               "stream up to 2160p even when it must be converted; 1080p, 720p and 480p cap the "
                               "resolution and use less space. Audio only returns just the sound, as an M4A when "
                               "Force MP4 is on.");
    const QString forceMP4 = tr("Deliver an MP4. Video this computer can play from an MP4 (H.264, HEVC, and AV1 where "
                                "the graphics hardware decodes it) is repackaged in seconds without re-encoding; "
                                "anything else, such as VP9, is converted to H.264 with ffmpeg.");
    const QString compatible = tr("Also re-encode AV1 video to H.264 so the file plays on older computers, phones, TVs "
                                  "and other devices. Slower, and larger files.");
    m_qualityPicker->setAccessibleName(tr("Quality"));
    m_qualityPicker->setAccessibleDescription(quality);
    m_qualityPicker->setToolTip(quality);
    findChild<QLabel*>(QStringLiteral("qualityLabel"))->setToolTip(quality);
    m_forceMP4->setAccessibleName(m_forceMP4->text());
    m_forceMP4->setAccessibleDescription(forceMP4);
    m_forceMP4->setToolTip(forceMP4);
    m_compatibleMP4->setAccessibleName(m_compatibleMP4->text());
    m_compatibleMP4->setAccessibleDescription(compatible);
    m_compatibleMP4->setToolTip(compatible);
    m_downloadButton->setAccessibleName(m_downloadButton->text());
    m_downloadButton->setAccessibleDescription(tr("Downloads the video at the link as one file."));
    m_cancelButton->setAccessibleName(m_cancelButton->text());
    m_cancelButton->setAccessibleDescription(tr("Stops the download."));
    m_spinner->setAccessibleName(tr("Downloading…"));
    m_updateProgress->setAccessibleName(tr("yt-dlp download progress"));
    m_showInFolder->setAccessibleName(m_showInFolder->text());
    m_showInFolder->setAccessibleDescription(tr("Shows the file in your file manager."));
    m_fileName->setAccessibleName(tr("Downloaded file"));
    m_failedText->setAccessibleDescription(tr("The download's error; select it to copy it."));
    m_updateText->setAccessibleDescription(tr("The yt-dlp update's status."));
}

void ContentView::setTabOrder() {
    // The visual order: the update row, then the form top to bottom, then the outcome.
    const QWidget* chain[] = {m_updateText,
                              m_updateButton,
                              m_urlField,
                              m_qualityPicker,
                              m_forceMP4,
                              m_compatibleMP4,
                              m_cancelButton,
                              m_downloadButton,
                              m_fileName,
                              m_showInFolder,
                              m_failedText};
    for (size_t i = 1; i < std::size(chain); ++i)
        QWidget::setTabOrder(const_cast<QWidget*>(chain[i - 1]), const_cast<QWidget*>(chain[i]));
}

void ContentView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier &&
        m_tester->state().kind == DownloadTester::State::Kind::running) {
        m_tester->cancel();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

int ContentView::statusAreaCap() const {
    const QScreen* shown = screen() ? screen() : QGuiApplication::primaryScreen();
    const int floor = 3 * fontMetrics().lineSpacing();
    if (!shown)
        return QWIDGETSIZE_MAX;
    const int available = shown->availableGeometry().height();
    if (window() == this)
        return std::max(available / 3, floor);
    // Everything but the outcome area (the menu bar included), from the size hints the fixed-size
    // window takes its height from; the area's own share is the fixed height it was last given.
    const int others =
        window()->sizeHint().height() - (m_statusArea->isVisibleTo(this) ? m_statusArea->maximumHeight() : 0);
    return std::max(available - titleBarAllowance - others, floor);
}

void ContentView::fitToScreen() {
    // Measured once the pending layout has run, so the heights read are the ones shown.
    if (m_fitPending)
        return;
    m_fitPending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_fitPending = false;
            if (const QScreen* shown = screen() ? screen() : QGuiApplication::primaryScreen())
                m_updateText->setMaximumTextHeight(shown->availableGeometry().height() / 5);
            // The area spans the form's column, as the link field does.
            const int wanted = m_statusArea->contentHeight(m_urlField->width());
            const int height = std::min(wanted, statusAreaCap());
            // Only a change is applied: an equal height would ask for another round.
            if (height != m_statusArea->maximumHeight() || height != m_statusArea->minimumHeight())
                m_statusArea->setFixedHeight(height);
        },
        Qt::QueuedConnection);
}

void ContentView::showFileMenu(const QPoint& position) {
    if (m_tester->state().kind != DownloadTester::State::Kind::finished)
        return;
    const std::filesystem::path file = m_tester->state().video.fileURL;
    const QString path = qs(file.string());
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("fileMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction* open = menu->addAction(tr("&Open"));
    open->setObjectName(QStringLiteral("openFileAction"));
    connect(open, &QAction::triggered, this, [this, path] {
        if (!m_services.open(QUrl::fromLocalFile(path)))
            complain(tr("Could not open %1: no application is set to open this kind of file.").arg(path));
    });
    QAction* copy = menu->addAction(tr("&Copy Path"));
    copy->setObjectName(QStringLiteral("copyPathAction"));
    connect(copy, &QAction::triggered, this, [path] { QGuiApplication::clipboard()->setText(path); });
    QAction* show = menu->addAction(tr("Show in &Folder"));
    show->setObjectName(QStringLiteral("showInFolderAction"));
    connect(show, &QAction::triggered, m_showInFolder, &QPushButton::click);
    QAction* save = menu->addAction(tr("&Save a Copy…"));
    save->setObjectName(QStringLiteral("saveCopyAction"));
    connect(save, &QAction::triggered, this, &ContentView::saveCopy);
    menu->popup(m_fileName->mapToGlobal(position));
}

void ContentView::saveCopy() {
    if (m_tester->state().kind != DownloadTester::State::Kind::finished)
        return;
    const std::filesystem::path source = m_tester->state().video.fileURL;
    const std::optional<CopyTarget> target = m_services.chooseCopyTarget(this, qs(source.filename().string()));
    if (!target || target->path.isEmpty())
        return;
    m_copies.start([this, source, target = *target](std::stop_token stop, const WorkerRuns::Poster& back) {
        QString error;
        try {
            FileCopy::copyWhole(source, target.path.toStdString(), target.replace, stop);
        } catch (const std::filesystem::filesystem_error& failure) {
            error = failure.code() == std::errc::file_exists
                        ? tr("%1 already exists; it was left as it was.").arg(target.path)
                        : tr("Could not save a copy as %1: %2")
                              .arg(target.path, QString::fromStdString(failure.code().message()));
        } catch (const std::exception& failure) {
            error = tr("Could not save a copy as %1: %2").arg(target.path, QString::fromStdString(failure.what()));
        }
        if (!error.isEmpty())
            back.post([this, error] { complain(error); });
    });
}

void ContentView::complain(const QString& text) {
    auto* box = new QMessageBox(QMessageBox::Warning, tr("Tallowin"), text, QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("fileActionFailed"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void ContentView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous())
        startLookups();
    if (QWindow* handle = window()->windowHandle())
        connect(handle, &QWindow::screenChanged, this, &ContentView::fitToScreen, Qt::UniqueConnection);
    fitToScreen();
}

void ContentView::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (!event->spontaneous())
        m_lookups.dropCurrent();
}

void ContentView::startLookups() {
    m_lookups.dropCurrent();
    m_lookups.start([this, status = m_updater.statusFunction(), version = m_services.version](
                        std::stop_token stop, const WorkerRuns::Poster& back) {
        auto lookUp = [&version, stop](const std::filesystem::path& (*tool)()) -> std::optional<std::string> {
            try {
                return version(tool(), stop);
            } catch (...) {
                return std::nullopt;
            }
        };
        std::optional<std::string> ffmpeg;
        std::optional<std::string> deno;
        std::jthread ffmpegLookup([&] { ffmpeg = lookUp(&BundledTools::ffmpeg); });
        std::jthread denoLookup([&] { deno = lookUp(&BundledTools::deno); });
        // Posted in this fixed order from one thread, so the rows fill yt-dlp, ffmpeg, deno.
        try {
            YtdlpStatus result = status(stop);
            if (!stop.stop_requested())
                back.postIfCurrent([this, result = std::move(result)] { m_updater.setStatus(result); });
        } catch (...) {
        }
        ffmpegLookup.join();
        back.postIfCurrent([this, ffmpeg] {
            m_ffmpegVersion = ffmpeg;
            showToolVersion(m_ffmpegLabel, ffmpeg);
        });
        denoLookup.join();
        back.postIfCurrent([this, deno] {
            m_denoVersion = deno;
            showToolVersion(m_denoLabel, deno);
        });
    });
}
