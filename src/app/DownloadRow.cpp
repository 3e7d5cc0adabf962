#include "app/DownloadRow.h"
#include "app/CoreText.h"

#include "app/ElidedLabel.h"
#include "app/FileActions.h"
#include "app/SignInRetryButton.h"
#include "app/WidgetLook.h"
#include "app/WrappingLabel.h"
#include "download/DownloadProgressText.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

using WidgetLook::Size;
using WidgetLook::Tone;

namespace {

// The shared progress texts in the window's language.
std::string translateProgress(const char* english) {
    return QCoreApplication::translate("DownloadProgressText", english).toStdString();
}

// What a screen reader says of a failure: the message, said to be a failed download once (the
// download's own errors already begin so).
QString failureName(const QString& message) {
    const QString prefix = DownloadRow::tr("Download failed: %1").arg(QString());
    return message.startsWith(prefix) ? message : DownloadRow::tr("Download failed: %1").arg(message);
}

QPushButton* makeButton(const QString& text, const char* name, const QString& description, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    button->setAccessibleName(QString(text).remove(QLatin1Char('&')));
    button->setAccessibleDescription(description);
    return button;
}

} // namespace

DownloadRow::DownloadRow(DownloadTester& row, FileActions* actions, QWidget* parent)
    : QWidget(parent), m_row(row), m_actions(actions) {
    setObjectName(QStringLiteral("downloadRow"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);

    auto* header = new QHBoxLayout;
    header->setSpacing(6);
    auto* check = WidgetLook::makeIconLabel(this, "statusFinishedIcon");
    WidgetLook::setSymbol(check, "checkmark.circle.fill");
    header->addWidget(check, 0, Qt::AlignVCenter);
    m_title = new ElidedLabel(this);
    m_title->setObjectName(QStringLiteral("rowLink"));
    m_title->setAccessibleName(tr("Link"));
    WidgetLook::apply(m_title, Tone::primary, Size::callout);
    header->addWidget(m_title, 1, Qt::AlignVCenter);
    m_fileName = new ElidedLabel(this);
    m_fileName->setObjectName(QStringLiteral("statusFileName"));
    m_fileName->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_fileName->setFocusPolicy(Qt::StrongFocus); // a Tab stop, so the keyboard reaches its menu
    m_fileName->setAccessibleName(tr("Downloaded file"));
    WidgetLook::apply(m_fileName, Tone::primary, Size::callout);
    header->addWidget(m_fileName, 1, Qt::AlignVCenter);
    m_cancel = makeButton(tr("Cancel"), "downloadCancelButton", QString(), this);
    m_remove = makeButton(tr("Remove"), "removeButton", QString(), this);
    for (QPushButton* button : {m_cancel, m_remove}) {
        header->addWidget(button, 0, Qt::AlignVCenter);
        connect(button, &QPushButton::clicked, this, [this] { emit removeRequested(&m_row); });
    }
    layout->addLayout(header);

    m_signedIn = WidgetLook::makeLabel(QString(), this, "statusSignedIn");
    WidgetLook::apply(m_signedIn, Tone::secondary, Size::callout);
    layout->addWidget(m_signedIn);

    m_waiting = WidgetLook::makeLabel(tr("Waiting…"), this, "statusWaiting");
    WidgetLook::apply(m_waiting, Tone::secondary, Size::callout);
    layout->addWidget(m_waiting);

    m_running = new QWidget(this);
    auto* running = new QVBoxLayout(m_running);
    running->setContentsMargins(0, 0, 0, 0);
    auto* runningTexts = new QHBoxLayout;
    runningTexts->setSpacing(6);
    m_runningLabel = WidgetLook::makeLabel(
        qs(DownloadProgressText::phaseText(DownloadProgress::Phase::downloading, &translateProgress)),
        m_running,
        "statusRunning");
    WidgetLook::apply(m_runningLabel, Tone::secondary, Size::callout);
    runningTexts->addWidget(m_runningLabel);
    m_progressDetails = WidgetLook::makeLabel(QString(), m_running, "statusProgress");
    m_progressDetails->setWordWrap(true); // a long line (a slow download, a long language) wraps
    WidgetLook::apply(m_progressDetails, Tone::secondary, Size::callout);
    runningTexts->addWidget(m_progressDetails, 1);
    running->addLayout(runningTexts);
    m_bar = new QProgressBar(m_running);
    m_bar->setObjectName(QStringLiteral("downloadSpinner"));
    m_bar->setTextVisible(false);
    m_bar->setFixedHeight(6);
    m_bar->setAccessibleName(tr("Downloading…"));
    running->addWidget(m_bar);
    layout->addWidget(m_running);

    m_finished = makeFinishedPart();
    layout->addWidget(m_finished);
    m_failed = makeFailedPart();
    layout->addWidget(m_failed);

    // The file's menu from the mouse, Shift+F10 or the Menu key on the name or any of its buttons.
    m_actions->attach(m_fileName);
    for (QPushButton* button : m_finished->findChildren<QPushButton*>())
        m_actions->attach(button);
    m_actions->attach(m_remove);
    m_actions->attach(m_folder);

    // The Tab order follows the row's look: the name, its button, then the rest.
    QWidget::setTabOrder(m_fileName, m_cancel);
    QWidget::setTabOrder(m_cancel, m_remove);
    QWidget::setTabOrder(m_remove, m_folder);
    // A row that arrives ended (a file of an earlier run) is not news.
    m_announced = m_row.state().kind;
    connect(&m_row, &DownloadTester::stateChanged, this, &DownloadRow::showState);
    connect(&m_row, &DownloadTester::progressChanged, this, &DownloadRow::showProgress);
    showState();
    showProgress();
}

QWidget* DownloadRow::makeFinishedPart() {
    auto* part = new QWidget(this);
    part->setObjectName(QStringLiteral("statusFinished"));
    auto* layout = new QVBoxLayout(part);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    m_folder = new WrappingLabel(part);
    m_folder->setObjectName(QStringLiteral("statusFolder"));
    m_folder->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_folder->setAccessibleDescription(tr("The folder that holds the file; select it to copy it."));
    WidgetLook::apply(m_folder, Tone::secondary, Size::callout);
    layout->addWidget(m_folder);
    auto* buttons = new QHBoxLayout;
    auto add = [&](const QString& text, const char* name, const QString& description, void (FileActions::*slot)()) {
        QPushButton* button = makeButton(text, name, description, part);
        connect(button, &QPushButton::clicked, m_actions, slot);
        buttons->addWidget(button);
    };
    add(tr("Open"), "openFileButton", tr("Opens the file in its usual application."), &FileActions::open);
    add(tr("Show in Folder"), "showInFolderButton", tr("Shows the file in your file manager."), &FileActions::reveal);
    add(tr("Save a Copy…"),
        "saveCopyButton",
        tr("Saves a copy of the file where you choose, to keep it."),
        &FileActions::saveCopy);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    m_note = WidgetLook::makeLabel({}, part, "statusNote");
    WidgetLook::apply(m_note, Tone::secondary, Size::callout);
    layout->addWidget(m_note);
    auto* kept = WidgetLook::makeLabel(
        tr("Tallowin keeps this file for a day; save a copy to keep it longer."), part, "statusKeptForADay");
    kept->setWordWrap(true);
    WidgetLook::apply(kept, Tone::secondary, Size::callout);
    layout->addWidget(kept);
    return part;
}

QWidget* DownloadRow::makeFailedPart() {
    auto* part = new QWidget(this);
    part->setObjectName(QStringLiteral("statusFailed"));
    auto* rows = new QVBoxLayout(part);
    rows->setContentsMargins(0, 0, 0, 0);
    auto* failed = new QHBoxLayout;
    failed->setContentsMargins(0, 0, 0, 0);
    rows->addLayout(failed);
    auto* warning = WidgetLook::makeIconLabel(part, "statusFailedIcon");
    WidgetLook::setSymbol(warning, "exclamationmark.triangle.fill");
    failed->addWidget(warning, 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    texts->setContentsMargins(0, 0, 0, 0);
    m_failedSentence = new WrappingLabel(part);
    m_failedSentence->setObjectName(QStringLiteral("statusCause"));
    WidgetLook::apply(m_failedSentence, Tone::primary, Size::callout);
    texts->addWidget(m_failedSentence);
    m_failedText = new WrappingLabel(part);
    m_failedText->setObjectName(QStringLiteral("statusError"));
    m_failedText->setAccessibleDescription(tr("The download's error; select it to copy it."));
    WidgetLook::apply(m_failedText, Tone::red, Size::callout);
    texts->addWidget(m_failedText);
    failed->addLayout(texts, 1);
    m_retryButton = makeButton(tr("Update yt-dlp and Try Again"),
                               "updateAndRetryButton",
                               tr("Updates yt-dlp and, when a newer copy was installed, downloads the same link "
                                  "again with the same settings."),
                               part);
    connect(m_retryButton, &QPushButton::clicked, this, [this] {
        m_retryButton->setEnabled(false); // once per failure
        emit updateAndRetryRequested(&m_row);
    });
    // A row of their own under the texts: beside them they would be measured without their wrapping.
    m_nextSteps = new QHBoxLayout;
    m_nextSteps->setContentsMargins(0, 0, 0, 0);
    m_signInButton = new SignInRetryButton(part);
    connect(
        m_signInButton, &SignInRetryButton::chosen, this, [this](const BrowserSignIn& signIn, const QString& label) {
            m_row.retrySignedIn(signIn, label);
            emit signInChosen(signIn, label);
        });
    m_nextSteps->addWidget(m_retryButton);
    m_nextSteps->addWidget(m_signInButton);
    m_nextSteps->addStretch(1);
    QWidget::setTabOrder(m_retryButton, m_signInButton);
    rows->addLayout(m_nextSteps);
    return part;
}

void DownloadRow::showProgress() {
    const std::optional<DownloadProgress>& progress = m_row.progress();
    const DownloadProgress::Phase phase = progress ? progress->phase : DownloadProgress::Phase::downloading;
    showTitle();
    m_runningLabel->setText(qs(DownloadProgressText::phaseText(phase, &translateProgress)));
    m_progressDetails->setText(progress ? qs(DownloadProgressText::details(*progress, &translateProgress)) : QString());
    // A bar that fills while the fraction is known, and moves without one.
    if (progress && progress->fraction) {
        m_bar->setRange(0, 1000);
        m_bar->setValue(static_cast<int>(std::clamp(*progress->fraction, 0.0, 1.0) * 1000));
    } else {
        m_bar->setRange(0, 0);
    }
}

void DownloadRow::showTitle() {
    // The link until yt-dlp names the file; the link stays in the description either way.
    m_title->setFullText(m_row.fileName().isEmpty() ? m_row.urlText() : m_row.fileName());
    m_title->setAccessibleDescription(m_row.urlText());
}

void DownloadRow::showState() {
    using Kind = DownloadTester::State::Kind;
    const DownloadTester::State& state = m_row.state();
    const bool finished = state.kind == Kind::finished;
    const bool ended = finished || state.kind == Kind::failed;
    findChild<QWidget*>(QStringLiteral("statusFinishedIcon"))->setVisible(finished);
    m_title->setVisible(!finished);
    showTitle();
    // Every row has its Cancel or Remove: the description says which download it is.
    const QString which = finished ? qs(state.video.fileURL.filename().string()) : m_title->fullText();
    m_cancel->setAccessibleDescription(tr("Stops the download of %1.").arg(which));
    m_remove->setAccessibleDescription(tr("Takes %1 off the list.").arg(which));
    m_fileName->setVisible(finished);
    m_cancel->setVisible(!ended);
    m_remove->setVisible(ended);
    m_waiting->setVisible(state.kind == Kind::idle);
    m_running->setVisible(state.kind == Kind::running);
    m_finished->setVisible(finished);
    m_failed->setVisible(state.kind == Kind::failed);
    if (finished) {
        m_actions->setFile(state.video.fileURL);
        m_fileName->setFullText(qs(state.video.fileURL.filename().string()));
        m_fileName->setAccessibleDescription(qs(state.video.fileURL.string()));
        m_folder->setText(tr("In %1").arg(qs(state.video.fileURL.parent_path().string())));
        QString note;
        if (state.video.wasConverted)
            note = tr("Converted to H.264 MP4 with ffmpeg.");
        else if (state.video.wasRemuxed)
            note = tr("Repackaged as MP4 without re-encoding the video.");
        m_note->setText(note);
        m_note->setVisible(!note.isEmpty());
    } else {
        m_actions->setFile({});
    }
    if (state.kind == Kind::failed) {
        const QString cause = QCoreApplication::translate("DownloadFailure", state.failure.sentence());
        m_failedSentence->setText(cause);
        m_failedSentence->setAccessibleName(cause);
        m_failedSentence->setVisible(!cause.isEmpty());
        m_failedText->setText(state.message);
        m_failedText->setAccessibleName(failureName(state.message));
        m_retryButton->setVisible(state.updateAdvised);
        m_retryButton->setEnabled(true);
        m_signInButton->setVisible(state.signInAdvised);
        m_signInButton->setCurrent(m_row.signInLabel());
    }
    m_signedIn->setText(tr("Signed in with %1").arg(state.signedInWith));
    m_signedIn->setVisible(state.kind != Kind::idle && !state.signedInWith.isEmpty());
    if (state.kind != m_announced) {
        auto say = [this](QWidget* live, const QString& text) {
            WidgetLook::announce(live, text);
            emit announced(live, text);
        };
        if (finished)
            say(m_fileName, tr("Downloaded %1").arg(m_fileName->fullText()));
        if (state.kind == Kind::failed)
            say(m_failedText, failureName(state.message));
    }
    m_announced = state.kind;
}
