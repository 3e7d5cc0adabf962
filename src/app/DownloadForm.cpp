#include "app/DownloadForm.h"

#include "app/WidgetLook.h"
#include "appcore/DownloadTester.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

using WidgetLook::Size;
using WidgetLook::Tone;

namespace {

// The picker's entries, named here for lupdate; the picker translates them by their English text.
[[maybe_unused]] const char* const qualityLabels[] = {
    QT_TRANSLATE_NOOP("DownloadForm", "Highest quality"),
    QT_TRANSLATE_NOOP("DownloadForm", "4K"),
    QT_TRANSLATE_NOOP("DownloadForm", "1080p"),
    QT_TRANSLATE_NOOP("DownloadForm", "720p"),
    QT_TRANSLATE_NOOP("DownloadForm", "480p"),
    QT_TRANSLATE_NOOP("DownloadForm", "Audio only"),
};

} // namespace

DownloadForm::DownloadForm(DownloadTester& tester, QWidget* parent) : QWidget(parent), m_tester(tester) {
    setObjectName(QStringLiteral("downloadForm"));
    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(10);
    layout->setContentsMargins(0, 0, 0, 0);

    m_urlField = new QLineEdit(this);
    m_urlField->setObjectName(QStringLiteral("urlField"));
    m_urlField->setPlaceholderText(tr("Video URL"));
    m_urlField->setClearButtonEnabled(false);
    // A drop fills the field whole (ContentView) rather than being inserted at the cursor.
    m_urlField->setAcceptDrops(false);
    connect(m_urlField, &QLineEdit::textChanged, &m_tester, &DownloadTester::setUrlText);
    connect(&m_tester, &DownloadTester::urlTextChanged, m_urlField, [this](const QString& text) {
        if (m_urlField->text() != text)
            m_urlField->setText(text);
    });
    connect(m_urlField, &QLineEdit::returnPressed, &m_tester, &DownloadTester::start);
    layout->addWidget(m_urlField);
    m_linkHint = WidgetLook::makeLabel(tr("Links start with https:// or http://."), this, "linkHint");
    m_linkHint->setWordWrap(true);
    WidgetLook::apply(m_linkHint, Tone::secondary, Size::callout);
    layout->addWidget(m_linkHint);

    // The controls keep their order but take two lines, the switches beside the buttons: Qt's
    // standard controls are wider than the compact ones this row was drawn for, and the quality
    // and both switches in one line would not fit in 460 at the system's font (or in German).
    auto* controls = new QHBoxLayout;
    auto* actions = new QHBoxLayout;
    auto* qualityLabel = WidgetLook::makeLabel(tr("Quality"), this, "qualityLabel");
    controls->addWidget(qualityLabel);
    m_qualityPicker = new QComboBox(this);
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
            m_tester.setQuality(static_cast<VideoQuality>(value.toInt()));
    });
    controls->addWidget(m_qualityPicker);
    m_forceMP4 = new QCheckBox(tr("Force MP4"), this);
    m_forceMP4->setObjectName(QStringLiteral("forceMP4Toggle"));
    m_forceMP4->setChecked(m_tester.forceMP4());
    connect(m_forceMP4, &QCheckBox::toggled, &m_tester, &DownloadTester::setForceMP4);
    actions->addWidget(m_forceMP4);
    m_compatibleMP4 = new QCheckBox(tr("Compatible (H.264)"), this);
    m_compatibleMP4->setObjectName(QStringLiteral("compatibleToggle"));
    m_compatibleMP4->setChecked(m_tester.compatibleMP4());
    connect(m_compatibleMP4, &QCheckBox::toggled, &m_tester, &DownloadTester::setCompatibleMP4);
    actions->addWidget(m_compatibleMP4);
    controls->addStretch(1);
    for (QWidget* control : std::initializer_list<QWidget*>{qualityLabel, m_qualityPicker, m_forceMP4, m_compatibleMP4})
        WidgetLook::apply(control, Tone::primary, Size::callout);
    layout->addLayout(controls);

    actions->addStretch(1);
    m_spinner = new QProgressBar(this);
    m_spinner->setObjectName(QStringLiteral("downloadSpinner"));
    m_spinner->setRange(0, 0); // indeterminate
    m_spinner->setTextVisible(false);
    m_spinner->setFixedSize(32, 10);
    actions->addWidget(m_spinner);
    m_cancelButton = new QPushButton(tr("Cancel"), this);
    m_cancelButton->setObjectName(QStringLiteral("downloadCancelButton"));
    m_cancelButton->setAutoDefault(false);
    connect(m_cancelButton, &QPushButton::clicked, &m_tester, &DownloadTester::cancel);
    actions->addWidget(m_cancelButton);
    m_downloadButton = new QPushButton(tr("Download"), this);
    m_downloadButton->setObjectName(QStringLiteral("downloadButton"));
    // The default button's look; Return itself is handled once, by the field's returnPressed.
    m_downloadButton->setDefault(true);
    m_downloadButton->setAutoDefault(false);
    connect(m_downloadButton, &QPushButton::clicked, &m_tester, &DownloadTester::start);
    actions->addWidget(m_downloadButton);
    layout->addLayout(actions);

    connect(&m_tester, &DownloadTester::stateChanged, this, &DownloadForm::showControls);
    connect(&m_tester, &DownloadTester::urlTextChanged, this, &DownloadForm::showControls);
    connect(&m_tester, &DownloadTester::forceMP4Changed, this, &DownloadForm::showControls);
    connect(&m_tester, &DownloadTester::compatibleMP4Changed, this, &DownloadForm::showControls);
    connect(&m_tester, &DownloadTester::qualityChanged, this, &DownloadForm::showControls);
    connect(&m_tester, &DownloadTester::progressChanged, this, &DownloadForm::showProgress);

    describeControls();
    const QWidget* chain[] = {
        m_urlField, m_qualityPicker, m_forceMP4, m_compatibleMP4, m_cancelButton, m_downloadButton};
    for (size_t i = 1; i < std::size(chain); ++i)
        QWidget::setTabOrder(const_cast<QWidget*>(chain[i - 1]), const_cast<QWidget*>(chain[i]));
    showControls();
}

void DownloadForm::describeControls() {
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
}

void DownloadForm::showControls() {
    const bool running = m_tester.state().kind == DownloadTester::State::Kind::running;
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
        m_downloadButton->setEnabled(m_tester.url().has_value());
        if (!focused || focused == m_cancelButton) {
            QWidget* back = m_focusBeforeRun;
            if (!back || !back->isVisibleTo(window()) || !back->isEnabled())
                back = m_urlField;
            back->setFocus(Qt::OtherFocusReason);
        }
        m_focusBeforeRun = nullptr;
    }
    m_showingRun = running;
    m_spinner->setVisible(running);
    m_cancelButton->setVisible(running);
    m_downloadButton->setVisible(!running);
    m_downloadButton->setEnabled(m_tester.url().has_value());
    const bool schemeless = !m_tester.url() && !m_tester.urlText().trimmed().isEmpty();
    m_linkHint->setVisible(schemeless);
    // The field's description carries the hint for a screen reader, once.
    m_urlField->setAccessibleDescription(schemeless ? m_linkHint->text()
                                                    : tr("A link to a video page or a direct link to a media file."));
    // Absent, not greyed out, while an MP4 is not forced; the model keeps its value meanwhile.
    m_compatibleMP4->setVisible(m_tester.forceMP4());
    m_forceMP4->setChecked(m_tester.forceMP4());
    m_compatibleMP4->setChecked(m_tester.compatibleMP4());
    m_qualityPicker->setCurrentIndex(m_qualityPicker->findData(static_cast<int>(m_tester.quality())));
}

void DownloadForm::showProgress() {
    // A bar that fills in place of the spinner while the fraction is known.
    const std::optional<DownloadProgress>& progress = m_tester.progress();
    if (progress && progress->fraction) {
        m_spinner->setRange(0, 1000);
        m_spinner->setValue(static_cast<int>(std::clamp(*progress->fraction, 0.0, 1.0) * 1000));
    } else {
        m_spinner->setRange(0, 0);
    }
}
