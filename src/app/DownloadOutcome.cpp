#include "app/DownloadOutcome.h"

#include "app/ElidedLabel.h"
#include "app/FileRevealer.h"
#include "app/SignInRetryButton.h"
#include "app/WidgetLook.h"
#include "app/WrappingLabel.h"
#include "appcore/UserFolders.h"
#include "download/DownloadProgressText.h"
#include "platform/FileCopy.h"

#include <QAction>
#include <QClipboard>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

using WidgetLook::Size;
using WidgetLook::Tone;

namespace {

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

// The shared progress texts in the window's language.
std::string translateProgress(const char* english) {
    return QCoreApplication::translate("DownloadProgressText", english).toStdString();
}

// What a screen reader says of a failure: the message, said to be a failed download once (the
// download's own errors already begin so).
QString failureName(const QString& message) {
    const QString prefix = DownloadOutcome::tr("Download failed: %1").arg(QString());
    return message.startsWith(prefix) ? message : DownloadOutcome::tr("Download failed: %1").arg(message);
}

std::optional<DownloadOutcome::CopyTarget> askForCopyTarget(QWidget* parent, const QString& suggestedName) {
    QFileDialog dialog(parent, DownloadOutcome::tr("Save a Copy"));
    dialog.setObjectName(QStringLiteral("saveCopyDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // The dialog's own confirmation guards an existing file (QFileDialog::DontConfirmOverwrite unset).
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    dialog.setDirectory(UserFolders::videosOrHome());
    dialog.selectFile(suggestedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    const QString path = dialog.selectedFiles().constFirst();
    // An existing file is only ever returned after the user agreed to replace it.
    return DownloadOutcome::CopyTarget{path, QFileInfo::exists(path)};
}

} // namespace

DownloadOutcome::DownloadOutcome(DownloadTester& tester, Services services, QWidget* parent)
    : FittingScrollArea(parent), m_tester(tester), m_services(std::move(services)) {
    if (!m_services.reveal)
        m_services.reveal = &FileRevealer::reveal;
    if (!m_services.open)
        m_services.open = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    if (!m_services.chooseCopyTarget)
        m_services.chooseCopyTarget = &askForCopyTarget;

    setObjectName(QStringLiteral("statusArea"));
    setFocusPolicy(Qt::NoFocus); // the area itself is no Tab stop; what it shows may be
    setFixedHeight(0);           // always fixed, so its share of the window is known (ContentView::fitToScreen)
    auto* status = new QWidget(this);
    status->setObjectName(QStringLiteral("statusContent"));
    auto* layout = new QVBoxLayout(status);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_signedIn = WidgetLook::makeLabel(QString(), status, "statusSignedIn");
    WidgetLook::apply(m_signedIn, Tone::secondary, Size::callout);
    layout->addWidget(m_signedIn);
    auto* runningRow = new QHBoxLayout;
    runningRow->setContentsMargins(0, 0, 0, 0);
    runningRow->setSpacing(6);
    m_runningLabel = WidgetLook::makeLabel(
        qs(DownloadProgressText::phaseText(DownloadProgress::Phase::downloading, &translateProgress)),
        status,
        "statusRunning");
    WidgetLook::apply(m_runningLabel, Tone::secondary, Size::callout);
    runningRow->addWidget(m_runningLabel);
    m_progressDetails = WidgetLook::makeLabel(QString(), status, "statusProgress");
    m_progressDetails->setWordWrap(true); // a long line (a slow download, a long language) wraps
    WidgetLook::apply(m_progressDetails, Tone::secondary, Size::callout);
    runningRow->addWidget(m_progressDetails, 1);
    layout->addLayout(runningRow);
    m_finishedRow = makeFinishedRow(status);
    layout->addWidget(m_finishedRow);
    m_failedRow = makeFailedRow(status);
    layout->addWidget(m_failedRow);
    m_declined = new WrappingLabel(status);
    m_declined->setObjectName(QStringLiteral("declinedLink"));
    m_declined->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    WidgetLook::apply(m_declined, Tone::secondary, Size::callout);
    layout->addWidget(m_declined);
    setWidget(status);
    // setWidget fills the content with the Window colour, a band on the group box's own shade.
    status->setAutoFillBackground(false);

    connect(&m_tester, &DownloadTester::stateChanged, this, &DownloadOutcome::showState);
    connect(&m_tester, &DownloadTester::progressChanged, this, &DownloadOutcome::showProgress);
    connect(&m_tester, &DownloadTester::declinedLinkChanged, this, &DownloadOutcome::showDeclinedLink);
    showState();
    showDeclinedLink();
}

DownloadOutcome::~DownloadOutcome() = default; // m_copies stops and joins

QWidget* DownloadOutcome::makeFinishedRow(QWidget* parent) {
    auto* row = new QWidget(parent);
    row->setObjectName(QStringLiteral("statusFinished"));
    auto* finished = new QVBoxLayout(row);
    finished->setContentsMargins(0, 0, 0, 0);
    finished->setSpacing(4);
    auto* fileRow = new QHBoxLayout;
    auto* check = WidgetLook::makeIconLabel(row, "statusFinishedIcon");
    WidgetLook::setSymbol(check, "checkmark.circle.fill");
    fileRow->addWidget(check, 0, Qt::AlignVCenter);
    m_fileName = new ElidedLabel(row);
    m_fileName->setObjectName(QStringLiteral("statusFileName"));
    m_fileName->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_fileName->setFocusPolicy(Qt::StrongFocus); // a Tab stop, so the keyboard reaches its menu
    m_fileName->setAccessibleName(tr("Downloaded file"));
    WidgetLook::apply(m_fileName, Tone::primary, Size::callout);
    fileRow->addWidget(m_fileName, 1, Qt::AlignVCenter);
    finished->addLayout(fileRow);
    m_folder = new WrappingLabel(row);
    m_folder->setObjectName(QStringLiteral("statusFolder"));
    m_folder->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_folder->setAccessibleDescription(tr("The folder that holds the file; select it to copy it."));
    WidgetLook::apply(m_folder, Tone::secondary, Size::callout);
    finished->addWidget(m_folder);

    auto* actions = new QHBoxLayout;
    auto addAction = [&](const QString& text, const char* name, const QString& description, auto slot) {
        auto* button = new QPushButton(text, row);
        button->setObjectName(QString::fromLatin1(name));
        button->setAutoDefault(false);
        button->setAccessibleName(QString(text).remove(QLatin1Char('&')));
        button->setAccessibleDescription(description);
        connect(button, &QPushButton::clicked, this, slot);
        actions->addWidget(button);
        return button;
    };
    addAction(tr("Open"), "openFileButton", tr("Opens the file in its usual application."), &DownloadOutcome::openFile);
    m_showInFolder = addAction(tr("Show in Folder"),
                               "showInFolderButton",
                               tr("Shows the file in your file manager."),
                               &DownloadOutcome::revealFile);
    addAction(tr("Save a Copy…"),
              "saveCopyButton",
              tr("Saves a copy of the file where you choose, to keep it."),
              &DownloadOutcome::saveCopy);
    actions->addStretch(1);
    finished->addLayout(actions);
    m_note = WidgetLook::makeLabel({}, row, "statusNote");
    WidgetLook::apply(m_note, Tone::secondary, Size::callout);
    finished->addWidget(m_note);
    auto* kept = WidgetLook::makeLabel(
        tr("Tallowin keeps this file for a day; save a copy to keep it longer."), row, "statusKeptForADay");
    kept->setWordWrap(true);
    WidgetLook::apply(kept, Tone::secondary, Size::callout);
    finished->addWidget(kept);

    // The file's menu from the mouse, Shift+F10 or the Menu key on the name or any of its buttons.
    for (QWidget* widget : row->findChildren<QWidget*>()) {
        if (widget->focusPolicy() == Qt::NoFocus && widget != m_fileName)
            continue;
        widget->setContextMenuPolicy(Qt::CustomContextMenu);
        widget->installEventFilter(this); // Shift+F10 and the Menu key (eventFilter)
        connect(widget, &QWidget::customContextMenuRequested, this, [this, widget](const QPoint& at) {
            showFileMenu(widget->mapToGlobal(at));
        });
    }
    return row;
}

QWidget* DownloadOutcome::makeFailedRow(QWidget* parent) {
    auto* row = new QWidget(parent);
    row->setObjectName(QStringLiteral("statusFailed"));
    auto* rows = new QVBoxLayout(row);
    rows->setContentsMargins(0, 0, 0, 0);
    auto* failed = new QHBoxLayout;
    failed->setContentsMargins(0, 0, 0, 0);
    rows->addLayout(failed);
    auto* warning = WidgetLook::makeIconLabel(row, "statusFailedIcon");
    WidgetLook::setSymbol(warning, "exclamationmark.triangle.fill");
    failed->addWidget(warning, 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    texts->setContentsMargins(0, 0, 0, 0);
    m_failedSentence = new WrappingLabel(row);
    m_failedSentence->setObjectName(QStringLiteral("statusCause"));
    WidgetLook::apply(m_failedSentence, Tone::primary, Size::callout);
    texts->addWidget(m_failedSentence);
    m_failedText = new WrappingLabel(row);
    m_failedText->setObjectName(QStringLiteral("statusError"));
    m_failedText->setAccessibleDescription(tr("The download's error; select it to copy it."));
    WidgetLook::apply(m_failedText, Tone::red, Size::callout);
    texts->addWidget(m_failedText);
    m_retryButton = new QPushButton(tr("Update yt-dlp and Try Again"), row);
    m_retryButton->setObjectName(QStringLiteral("updateAndRetryButton"));
    m_retryButton->setAutoDefault(false);
    m_retryButton->setAccessibleName(m_retryButton->text());
    m_retryButton->setAccessibleDescription(tr(
        "Updates yt-dlp and, when a newer copy was installed, downloads the same link again with the same settings."));
    connect(m_retryButton, &QPushButton::clicked, this, [this] {
        m_retryButton->setEnabled(false); // once per failure
        emit updateAndRetryRequested();
    });
    m_signInButton = new SignInRetryButton(row);
    connect(m_signInButton,
            &SignInRetryButton::chosen,
            this,
            [this](const BrowserSignIn& signIn, const QString& label) { m_tester.retrySignedIn(signIn, label); });
    failed->addLayout(texts, 1);
    // A row of its own under the texts: beside them it would be measured without their wrapping.
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_retryButton);
    buttons->addWidget(m_signInButton);
    buttons->addStretch(1);
    rows->addLayout(buttons);
    QWidget::setTabOrder(m_failedText, m_retryButton);
    QWidget::setTabOrder(m_retryButton, m_signInButton);
    return row;
}

void DownloadOutcome::showProgress() {
    const std::optional<DownloadProgress>& progress = m_tester.progress();
    const DownloadProgress::Phase phase = progress ? progress->phase : DownloadProgress::Phase::downloading;
    m_runningLabel->setText(qs(DownloadProgressText::phaseText(phase, &translateProgress)));
    m_progressDetails->setText(progress ? qs(DownloadProgressText::details(*progress, &translateProgress)) : QString());
}

void DownloadOutcome::showState() {
    using Kind = DownloadTester::State::Kind;
    const DownloadTester::State& state = m_tester.state();
    m_runningLabel->setVisible(state.kind == Kind::running);
    m_progressDetails->setVisible(state.kind == Kind::running);
    m_finishedRow->setVisible(state.kind == Kind::finished);
    m_failedRow->setVisible(state.kind == Kind::failed);
    if (state.kind == Kind::finished) {
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
    }
    if (state.kind == Kind::failed) {
        const QString cause = QCoreApplication::translate("DownloadFailure", state.failure.sentence());
        m_failedSentence->setText(cause);
        m_failedSentence->setAccessibleName(cause);
        m_failedSentence->setVisible(!cause.isEmpty());
        m_failedText->setText(state.message);
        m_retryButton->setVisible(state.updateAdvised);
        m_retryButton->setEnabled(true);
        m_signInButton->setVisible(state.signInAdvised);
        m_signInButton->setCurrent(m_tester.signInLabel());
    }
    m_signedIn->setText(tr("Signed in with %1").arg(state.signedInWith));
    m_signedIn->setVisible(state.kind != Kind::idle && !state.signedInWith.isEmpty());
    if (state.kind != m_announced) {
        auto say = [this](QWidget* live, const QString& text) {
            WidgetLook::announce(live, text);
            emit announced(live, text);
        };
        if (state.kind == Kind::finished)
            say(m_fileName, tr("Downloaded %1").arg(m_fileName->fullText()));
        if (state.kind == Kind::failed)
            say(m_failedText, failureName(state.message));
    } else if (state.kind == Kind::failed) {
        m_failedText->setAccessibleName(failureName(state.message));
    }
    m_announced = state.kind;
    setVisible(state.kind != Kind::idle || !m_tester.declinedLink().isEmpty());
}

void DownloadOutcome::showDeclinedLink() {
    const QString link = m_tester.declinedLink();
    const QString text = tr("A download is running, so this link was not started: %1").arg(link);
    m_declined->setText(link.isEmpty() ? QString() : text);
    m_declined->setVisible(!link.isEmpty());
    m_declined->setFocusPolicy(link.isEmpty() ? Qt::NoFocus : Qt::StrongFocus);
    if (!link.isEmpty()) {
        WidgetLook::announce(m_declined, text);
        emit announced(m_declined, text);
    }
    setVisible(m_tester.state().kind != DownloadTester::State::Kind::idle || !link.isEmpty());
}

void DownloadOutcome::revealFile() {
    if (m_tester.state().kind != DownloadTester::State::Kind::finished)
        return;
    const std::filesystem::path file = m_tester.state().video.fileURL;
    QPointer<DownloadOutcome> self(this);
    m_services.reveal(file, [self, file] {
        if (self)
            self->complain(tr("Could not show %1: no file manager answered and its folder could not be opened.")
                               .arg(qs(file.string())));
    });
}

void DownloadOutcome::openFile() {
    if (m_tester.state().kind != DownloadTester::State::Kind::finished)
        return;
    const QString path = qs(m_tester.state().video.fileURL.string());
    if (!m_services.open(QUrl::fromLocalFile(path)))
        complain(tr("Could not open %1: no application is set to open this kind of file.").arg(path));
}

bool DownloadOutcome::eventFilter(QObject* watched, QEvent* event) {
    // Only X11 turns the Menu key into a context-menu event, and no platform does Shift+F10.
    if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
        const auto* key = static_cast<const QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Menu && key->modifiers() == Qt::NoModifier) ||
            (key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier)) {
            const auto* widget = static_cast<const QWidget*>(watched);
            showFileMenu(widget->mapToGlobal(widget->rect().center()));
            return true;
        }
    }
    return FittingScrollArea::eventFilter(watched, event);
}

void DownloadOutcome::showFileMenu(const QPoint& globalPosition) {
    // One menu at a time: on X11 the Menu key also arrives as a context-menu event.
    if (m_tester.state().kind != DownloadTester::State::Kind::finished || (m_fileMenu && m_fileMenu->isVisible()))
        return;
    const QString path = qs(m_tester.state().video.fileURL.string());
    auto* menu = new QMenu(this);
    m_fileMenu = menu;
    menu->setObjectName(QStringLiteral("fileMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction* open = menu->addAction(tr("&Open"));
    open->setObjectName(QStringLiteral("openFileAction"));
    connect(open, &QAction::triggered, this, &DownloadOutcome::openFile);
    QAction* copy = menu->addAction(tr("&Copy Path"));
    copy->setObjectName(QStringLiteral("copyPathAction"));
    connect(copy, &QAction::triggered, this, [path] { QGuiApplication::clipboard()->setText(path); });
    QAction* show = menu->addAction(tr("Show in &Folder"));
    show->setObjectName(QStringLiteral("showInFolderAction"));
    connect(show, &QAction::triggered, this, &DownloadOutcome::revealFile);
    QAction* save = menu->addAction(tr("&Save a Copy…"));
    save->setObjectName(QStringLiteral("saveCopyAction"));
    connect(save, &QAction::triggered, this, &DownloadOutcome::saveCopy);
    menu->popup(globalPosition);
}

void DownloadOutcome::saveCopy() {
    if (m_tester.state().kind != DownloadTester::State::Kind::finished)
        return;
    const std::filesystem::path source = m_tester.state().video.fileURL;
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

void DownloadOutcome::complain(const QString& text) {
    auto* box = new QMessageBox(QMessageBox::Warning, tr("Tallowin"), text, QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("fileActionFailed"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}
