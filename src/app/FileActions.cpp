#include "app/FileActions.h"
#include "app/CoreText.h"

#include "app/FileRevealer.h"
#include "appcore/UserFolders.h"
#include "platform/FileCopy.h"

#include <QAction>
#include <QClipboard>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QWidget>

namespace {

std::optional<FileActions::CopyTarget> askForCopyTarget(QWidget* parent, const QString& suggestedName) {
    QFileDialog dialog(parent, FileActions::tr("Save a Copy"));
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
    return FileActions::CopyTarget{path, QFileInfo::exists(path)};
}

} // namespace

FileActions::Services FileActions::Services::withDefaults() const {
    Services services = *this;
    if (!services.reveal)
        services.reveal = &FileRevealer::reveal;
    if (!services.open)
        services.open = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    if (!services.chooseCopyTarget)
        services.chooseCopyTarget = &askForCopyTarget;
    return services;
}

FileActions::FileActions(Services services, QWidget* host)
    : QObject(host), m_services(services.withDefaults()), m_host(host) {}

FileActions::~FileActions() = default; // m_copies stops and joins

void FileActions::attach(QWidget* widget) {
    widget->setContextMenuPolicy(Qt::CustomContextMenu);
    widget->installEventFilter(this); // Shift+F10 and the Menu key (eventFilter)
    connect(widget, &QWidget::customContextMenuRequested, this, [this, widget](const QPoint& at) {
        showMenu(widget->mapToGlobal(at));
    });
}

void FileActions::reveal() {
    if (m_file.empty())
        return;
    const std::filesystem::path file = m_file;
    QPointer<FileActions> self(this);
    m_services.reveal(file, [self, file] {
        if (self)
            self->complain(tr("Could not show %1: no file manager answered and its folder could not be opened.")
                               .arg(qs(file.string())));
    });
}

void FileActions::open() {
    if (m_file.empty())
        return;
    const QString path = qs(m_file.string());
    if (!m_services.open(QUrl::fromLocalFile(path)))
        complain(tr("Could not open %1: no application is set to open this kind of file.").arg(path));
}

void FileActions::copyPath() {
    if (!m_file.empty())
        QGuiApplication::clipboard()->setText(qs(m_file.string()));
}

bool FileActions::eventFilter(QObject* watched, QEvent* event) {
    // Only X11 turns the Menu key into a context-menu event, and no platform does Shift+F10.
    if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
        const auto* key = static_cast<const QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Menu && key->modifiers() == Qt::NoModifier) ||
            (key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier)) {
            const auto* widget = static_cast<const QWidget*>(watched);
            showMenu(widget->mapToGlobal(widget->rect().center()));
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void FileActions::showMenu(const QPoint& globalPosition) {
    // One menu at a time: on X11 the Menu key also arrives as a context-menu event.
    if (m_file.empty() || (m_menu && m_menu->isVisible()))
        return;
    auto* menu = new QMenu(m_host);
    m_menu = menu;
    menu->setObjectName(QStringLiteral("fileMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    auto add = [&](const QString& text, const char* name, void (FileActions::*slot)()) {
        QAction* action = menu->addAction(text);
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, slot);
    };
    add(tr("&Open"), "openFileAction", &FileActions::open);
    add(tr("&Copy Path"), "copyPathAction", &FileActions::copyPath);
    add(tr("Show in &Folder"), "showInFolderAction", &FileActions::reveal);
    add(tr("&Save a Copy…"), "saveCopyAction", &FileActions::saveCopy);
    menu->popup(globalPosition);
}

void FileActions::saveCopy() {
    if (m_file.empty())
        return;
    const std::filesystem::path source = m_file;
    const std::optional<CopyTarget> target = m_services.chooseCopyTarget(m_host, qs(source.filename().string()));
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

void FileActions::complain(const QString& text) {
    auto* box = new QMessageBox(QMessageBox::Warning, tr("Tallowin"), text, QMessageBox::Ok, m_host);
    box->setObjectName(QStringLiteral("fileActionFailed"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}
