#include "app/DownloadForm.h"

#include "app/WidgetLook.h"
#include "appcore/DownloadList.h"
#include "appcore/DownloadTester.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

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

// Words as the hint names them: a pasted page of text must not become a page of hint.
QStringList shortened(QStringList words) {
    for (QString& word : words)
        if (word.size() > 60)
            word = word.left(59) + QChar(0x2026);
    return words;
}

} // namespace

DownloadForm::DownloadForm(DownloadTester& form, DownloadList& list, QWidget* parent)
    : QWidget(parent), m_tester(form), m_list(list) {
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
    connect(m_urlField, &QLineEdit::returnPressed, this, &DownloadForm::submit);
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
    m_downloadButton = new QPushButton(tr("Download"), this);
    m_downloadButton->setObjectName(QStringLiteral("downloadButton"));
    // The default button's look; Return itself is handled once, by the field's returnPressed.
    m_downloadButton->setDefault(true);
    m_downloadButton->setAutoDefault(false);
    connect(m_downloadButton, &QPushButton::clicked, this, &DownloadForm::submit);
    actions->addWidget(m_downloadButton);
    layout->addLayout(actions);

    connect(&m_tester, &DownloadTester::urlTextChanged, this, &DownloadForm::showControls);
    connect(&m_tester, &DownloadTester::forceMP4Changed, this, &DownloadForm::showControls);
    connect(&m_tester, &DownloadTester::compatibleMP4Changed, this, &DownloadForm::showControls);
    connect(&m_tester, &DownloadTester::qualityChanged, this, &DownloadForm::showControls);

    describeControls();
    const QWidget* chain[] = {m_urlField, m_qualityPicker, m_forceMP4, m_compatibleMP4, m_downloadButton};
    for (size_t i = 1; i < std::size(chain); ++i)
        QWidget::setTabOrder(const_cast<QWidget*>(chain[i - 1]), const_cast<QWidget*>(chain[i]));
    showControls();
}

void DownloadForm::describeControls() {
    m_urlField->setAccessibleName(tr("Video URL"));
    m_urlField->setAccessibleDescription(
        tr("One or more links to video pages or media files, separated by spaces or new lines."));
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
    m_downloadButton->setAccessibleDescription(
        tr("Adds the links to the list of downloads; each link becomes one file."));
}

void DownloadForm::submit() {
    const DownloadList::Links links = DownloadList::parse(m_tester.urlText());
    if (links.usable.isEmpty())
        return;
    m_list.add(links.usable, m_tester.quality(), m_tester.forceMP4(), m_tester.compatibleMP4());
    // Each link is added once: only the words that are not links stay, to be corrected.
    m_urlField->setText(links.rejected.join(QLatin1Char(' ')));
    m_urlField->setFocus(Qt::OtherFocusReason);
}

void DownloadForm::showControls() {
    const DownloadList::Links links = DownloadList::parse(m_tester.urlText());
    m_downloadButton->setEnabled(!links.usable.isEmpty());
    const bool schemeless = !links.rejected.isEmpty();
    // One word: the rule; more: which of them are not links.
    if (schemeless)
        m_linkHint->setText(links.rejected.size() == 1 && links.usable.isEmpty()
                                ? tr("Links start with https:// or http://.")
                                : tr("Not a link: %1. Links start with https:// or http://.")
                                      .arg(shortened(links.rejected).join(QStringLiteral(", "))));
    m_linkHint->setVisible(schemeless);
    // The field's description carries the hint for a screen reader, once.
    m_urlField->setAccessibleDescription(
        schemeless ? m_linkHint->text()
                   : tr("One or more links to video pages or media files, separated by spaces or new lines."));
    // Absent, not greyed out, while an MP4 is not forced; the model keeps its value meanwhile.
    m_compatibleMP4->setVisible(m_tester.forceMP4());
    m_forceMP4->setChecked(m_tester.forceMP4());
    m_compatibleMP4->setChecked(m_tester.compatibleMP4());
    m_qualityPicker->setCurrentIndex(m_qualityPicker->findData(static_cast<int>(m_tester.quality())));
}
