#include "app/DownloadOutcome.h"

#include "app/ElidedLabel.h"
#include "app/FileRevealer.h"
#include "app/WidgetLook.h"
#include "app/WrappingLabel.h"
#include "download/DownloadProgressText.h"
#include "platform/FileCopy.h"

#include <QAction>
#include <QClipboard>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QStandardPaths>
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

std::optional<DownloadOutcome::CopyTarget> askForCopyTarget(QWidget* parent, const QString& suggestedName) {
    QFileDialog dialog(parent, DownloadOutcome::tr("Save a Copy"));
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
    setFixedHeight(0); // always fixed, so its share of the window is known (ContentView::fitToScreen)
    auto* status = new QWidget(this);
    status->setObjectName(QStringLiteral("statusContent"));
    status->setAutoFillBackground(false);
    auto* layout = new QVBoxLayout(status);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
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
    auto* fileRow = new QHBoxLayout;
    auto* check = WidgetLook::makeIconLabel(row, "statusFinishedIcon");
    WidgetLook::setSymbol(check, "checkmark.circle.fill");
    fileRow->addWidget(check, 0, Qt::AlignVCenter);
    m_fileName = new ElidedLabel(row);
    m_fileName->setObjectName(QStringLiteral("statusFileName"));
    m_fileName->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_fileName->setContextMenuPolicy(Qt::CustomContextMenu);
    m_fileName->setAccessibleName(tr("Downloaded file"));
    connect(m_fileName, &QWidget::customContextMenuRequested, this, &DownloadOutcome::showFileMenu);
    WidgetLook::apply(m_fileName, Tone::primary, Size::callout);
    fileRow->addWidget(m_fileName, 1, Qt::AlignVCenter);
    m_showInFolder = new QPushButton(tr("Show in Folder"), row);
    m_showInFolder->setObjectName(QStringLiteral("showInFolderButton"));
    m_showInFolder->setAutoDefault(false);
    m_showInFolder->setAccessibleName(m_showInFolder->text());
    m_showInFolder->setAccessibleDescription(tr("Shows the file in your file manager."));
    connect(m_showInFolder, &QPushButton::clicked, this, &DownloadOutcome::revealFile);
    fileRow->addWidget(m_showInFolder, 0, Qt::AlignVCenter);
    finished->addLayout(fileRow);
    m_note = WidgetLook::makeLabel({}, row, "statusNote");
    WidgetLook::apply(m_note, Tone::secondary, Size::caption);
    finished->addWidget(m_note);
    QWidget::setTabOrder(m_fileName, m_showInFolder);
    return row;
}

QWidget* DownloadOutcome::makeFailedRow(QWidget* parent) {
    auto* row = new QWidget(parent);
    row->setObjectName(QStringLiteral("statusFailed"));
    auto* failed = new QHBoxLayout(row);
    failed->setContentsMargins(0, 0, 0, 0);
    auto* warning = WidgetLook::makeIconLabel(row, "statusFailedIcon");
    WidgetLook::setSymbol(warning, "exclamationmark.triangle.fill");
    failed->addWidget(warning, 0, Qt::AlignTop);
    m_failedText = new WrappingLabel(row);
    m_failedText->setObjectName(QStringLiteral("statusError"));
    m_failedText->setAccessibleDescription(tr("The download's error; select it to copy it."));
    WidgetLook::apply(m_failedText, Tone::red, Size::callout);
    failed->addWidget(m_failedText, 1);
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
    if (state.kind != m_announced) {
        auto say = [this](QWidget* live, const QString& text) {
            WidgetLook::announce(live, text);
            emit announced(live, text);
        };
        if (state.kind == Kind::finished)
            say(m_fileName, tr("Downloaded %1").arg(m_fileName->fullText()));
        if (state.kind == Kind::failed)
            say(m_failedText, tr("Download failed: %1").arg(state.message));
    } else if (state.kind == Kind::failed) {
        m_failedText->setAccessibleName(tr("Download failed: %1").arg(state.message));
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

void DownloadOutcome::showFileMenu(const QPoint& position) {
    if (m_tester.state().kind != DownloadTester::State::Kind::finished)
        return;
    const QString path = qs(m_tester.state().video.fileURL.string());
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
    connect(show, &QAction::triggered, this, &DownloadOutcome::revealFile);
    QAction* save = menu->addAction(tr("&Save a Copy…"));
    save->setObjectName(QStringLiteral("saveCopyAction"));
    connect(save, &QAction::triggered, this, &DownloadOutcome::saveCopy);
    menu->popup(m_fileName->mapToGlobal(position));
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
