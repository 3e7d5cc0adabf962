#include "app/ContentView.h"

#include "app/ElidedLabel.h"
#include "app/FileRevealer.h"
#include "app/WidgetLook.h"
#include "app/YtdlpUpdater.h"
#include "tools/BundledTools.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

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

QString qs(const std::string& text) { return QString::fromStdString(text); }

} // namespace

ContentView::ContentView(YtdlpUpdater& updater, Services services, QWidget* parent)
    : QWidget(parent), m_updater(updater), m_services(std::move(services)) {
    if (!m_services.version)
        m_services.version = [](const std::filesystem::path& tool, std::stop_token stop) {
            return BundledTools::version(tool, stop);
        };
    if (!m_services.reveal)
        m_services.reveal = &FileRevealer::reveal;
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
    connect(m_tester, &DownloadTester::urlTextChanged, this, &ContentView::showFormControls);
    connect(m_tester, &DownloadTester::forceMP4Changed, this, &ContentView::showFormControls);
    connect(m_tester, &DownloadTester::compatibleMP4Changed, this, &ContentView::showFormControls);
    connect(m_tester, &DownloadTester::qualityChanged, this, &ContentView::showFormControls);

    showYtdlpRow();
    showToolVersion(m_ffmpegLabel, m_ffmpegVersion);
    showToolVersion(m_denoLabel, m_denoVersion);
    showUpdateState();
    showFormControls();
    showDownloadState();
}

ContentView::~ContentView() { stopLookups(); }

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
    m_ytdlpNote = makeLabel({}, box, "ytdlpNote");
    grid->addWidget(m_ytdlpVersion, 0, 1);
    grid->addWidget(m_ytdlpNote, 0, 2);
    addName(QStringLiteral("ffmpeg"), 1);
    m_ffmpegLabel = makeLabel({}, box, "ffmpegVersion");
    grid->addWidget(m_ffmpegLabel, 1, 1);
    addName(QStringLiteral("deno"), 2);
    m_denoLabel = makeLabel({}, box, "denoVersion");
    grid->addWidget(m_denoLabel, 2, 1);
    grid->setColumnStretch(3, 1);
    layout->addLayout(grid);

    auto* row = new QHBoxLayout;
    auto* status = new QVBoxLayout;
    status->setSpacing(4);
    auto* line = new QHBoxLayout;
    m_updateIcon = makeIconLabel(box, "updateIcon");
    m_updateText = makeLabel({}, box, "updateStatusText");
    m_updateText->setWordWrap(true);
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
    auto* quality = makeLabel(tr("Quality"), box);
    controls->addWidget(quality);
    m_qualityPicker = new QComboBox(box);
    m_qualityPicker->setObjectName(QStringLiteral("qualityPicker"));
    m_qualityPicker->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    for (VideoQuality quality : allVideoQualities) {
        if (quality == VideoQuality::audioOnly)
            m_qualityPicker->insertSeparator(m_qualityPicker->count());
        m_qualityPicker->addItem(tr(std::string(label(quality)).c_str()), static_cast<int>(quality));
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
    for (QWidget* control : std::initializer_list<QWidget*>{quality, m_qualityPicker, m_forceMP4, m_compatibleMP4})
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

    // statusView: at most one of its three parts is visible.
    m_runningLabel = makeLabel(tr("Downloading…"), box, "statusRunning");
    WidgetLook::apply(m_runningLabel, Tone::secondary, Size::callout);
    layout->addWidget(m_runningLabel);

    m_finishedRow = new QWidget(box);
    m_finishedRow->setObjectName(QStringLiteral("statusFinished"));
    auto* finished = new QVBoxLayout(m_finishedRow);
    finished->setContentsMargins(0, 0, 0, 0);
    auto* fileRow = new QHBoxLayout;
    auto* check = makeIconLabel(m_finishedRow, "statusFinishedIcon");
    setSymbol(check, "checkmark.circle.fill");
    fileRow->addWidget(check, 0, Qt::AlignVCenter);
    m_fileName = new ElidedLabel(m_finishedRow);
    m_fileName->setObjectName(QStringLiteral("statusFileName"));
    WidgetLook::apply(m_fileName, Tone::primary, Size::callout);
    fileRow->addWidget(m_fileName, 1, Qt::AlignVCenter);
    auto* show = new QPushButton(tr("Show in Folder"), m_finishedRow);
    show->setObjectName(QStringLiteral("showInFolderButton"));
    show->setAutoDefault(false);
    connect(show, &QPushButton::clicked, this, [this] {
        if (m_tester->state().kind == DownloadTester::State::Kind::finished)
            m_services.reveal(m_tester->state().video.fileURL);
    });
    fileRow->addWidget(show, 0, Qt::AlignVCenter);
    finished->addLayout(fileRow);
    m_note = makeLabel({}, m_finishedRow, "statusNote");
    WidgetLook::apply(m_note, Tone::secondary, Size::caption);
    finished->addWidget(m_note);
    layout->addWidget(m_finishedRow);

    m_failedRow = new QWidget(box);
    m_failedRow->setObjectName(QStringLiteral("statusFailed"));
    auto* failed = new QHBoxLayout(m_failedRow);
    failed->setContentsMargins(0, 0, 0, 0);
    auto* warning = makeIconLabel(m_failedRow, "statusFailedIcon");
    setSymbol(warning, "exclamationmark.triangle.fill");
    failed->addWidget(warning, 0, Qt::AlignTop);
    m_failedText = makeLabel({}, m_failedRow, "statusError");
    m_failedText->setWordWrap(true);
    m_failedText->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    WidgetLook::apply(m_failedText, Tone::red, Size::callout);
    failed->addWidget(m_failedText, 1);
    layout->addWidget(m_failedRow);
    return box;
}

void ContentView::showYtdlpRow() {
    const std::optional<YtdlpStatus>& status = m_updater.status();
    if (!status) {
        m_ytdlpVersion->setText(QStringLiteral("…"));
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
}

void ContentView::showUpdateState() {
    using Kind = YtdlpUpdater::State::Kind;
    const YtdlpUpdater::State& state = m_updater.state();
    const char* symbol = nullptr;
    Tone tone = Tone::secondary;
    Size size = Size::callout;
    QString text;
    bool selectable = false;
    m_updateProgress->setVisible(state.kind == Kind::running && state.phase.kind == YtdlpUpdatePhase::Kind::downloading);
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
            const double fraction = std::isfinite(state.phase.fraction) ? std::clamp(state.phase.fraction, 0.0, 1.0) : 0;
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
    setSymbol(m_updateIcon, symbol);
    m_updateButton->setText(state.kind == Kind::running ? tr("Cancel") : tr("Update yt-dlp…"));
}

void ContentView::updateButtonClicked() {
    if (m_updater.isRunning())
        m_updater.cancel();
    else
        m_updater.start();
}

void ContentView::showFormControls() {
    const bool running = m_tester->state().kind == DownloadTester::State::Kind::running;
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

void ContentView::showDownloadState() {
    using Kind = DownloadTester::State::Kind;
    const DownloadTester::State& state = m_tester->state();
    m_runningLabel->setVisible(state.kind == Kind::running);
    m_finishedRow->setVisible(state.kind == Kind::finished);
    m_failedRow->setVisible(state.kind == Kind::failed);
    if (state.kind == Kind::finished) {
        m_fileName->setFullText(qs(state.video.fileURL.filename().string()));
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
}

void ContentView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous())
        startLookups();
}

void ContentView::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (!event->spontaneous())
        stopLookups();
}

void ContentView::startLookups() {
    stopLookups();
    const quint64 generation = ++m_lookupGeneration;
    ContentView* context = this; // valid for the workers: the destructor joins them first
    QPointer<ContentView> self(this);
    auto post = [context, self, generation](std::function<void(ContentView&)> apply) {
        QMetaObject::invokeMethod(
            context,
            [self, generation, apply = std::move(apply)] {
                if (self && self->m_lookupGeneration == generation)
                    apply(*self);
            },
            Qt::QueuedConnection);
    };
    m_lookup = m_lookups.start([status = m_updater.statusFunction(), version = m_services.version,
                                post](std::stop_token stop) {
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
                post([result = std::move(result)](ContentView& view) { view.m_updater.setStatus(result); });
        } catch (...) {
        }
        ffmpegLookup.join();
        post([ffmpeg](ContentView& view) {
            view.m_ffmpegVersion = ffmpeg;
            view.showToolVersion(view.m_ffmpegLabel, ffmpeg);
        });
        denoLookup.join();
        post([deno](ContentView& view) {
            view.m_denoVersion = deno;
            view.showToolVersion(view.m_denoLabel, deno);
        });
    });
}

void ContentView::stopLookups() {
    ++m_lookupGeneration;
    if (m_lookup) {
        m_lookup->request_stop();
        m_lookup.reset();
    }
}
