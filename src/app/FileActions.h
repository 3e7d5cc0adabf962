#pragma once

#include "appcore/WorkerRuns.h"

#include <QObject>
#include <QPointer>
#include <QUrl>

#include <filesystem>
#include <functional>
#include <optional>

class QMenu;
class QWidget;

// What can be done with one downloaded file: Open, Show in Folder, Save a Copy… and Copy Path, from
// buttons, from its context menu (the mouse, Shift+F10 or the Menu key on any widget attached to it)
// and from a notification. A failure is told in a window-modal message box over the host widget.
class FileActions : public QObject {
    Q_OBJECT
public:
    // Where "Save a Copy…" puts the file; replace is true only when the user agreed to replace
    // an existing file of that name.
    struct CopyTarget {
        QString path;
        bool replace = false;
    };

    // The seams to the system; each defaults to the real one (withDefaults).
    struct Services {
        // FileRevealer::reveal; calls failed (on the GUI thread) when nothing could show the file.
        std::function<void(const std::filesystem::path&, std::function<void()> failed)> reveal;
        std::function<bool(const QUrl&)> open; // QDesktopServices::openUrl
        // Asks where to save a copy (a save dialog in the Videos folder that confirms replacing
        // an existing file); none when the user cancels. Blocks in the dialog's own event loop.
        std::function<std::optional<CopyTarget>(QWidget* parent, const QString& suggestedName)> chooseCopyTarget;

        Services withDefaults() const;
    };

    // host parents the menu and the message boxes and must outlive the actions.
    FileActions(Services services, QWidget* host);
    // Waits for a copy in progress after asking it to stop.
    ~FileActions() override;

    // The file the actions act on; empty: they do nothing.
    void setFile(const std::filesystem::path& file) { m_file = file; }
    const std::filesystem::path& file() const { return m_file; }

    // widget opens the file's menu on a right click, Shift+F10 and the Menu key.
    void attach(QWidget* widget);

    void open();
    void reveal();
    void saveCopy();
    void copyPath();
    void showMenu(const QPoint& globalPosition);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void complain(const QString& text);

    Services m_services;
    QWidget* m_host;
    std::filesystem::path m_file;
    QPointer<QMenu> m_menu;    // while it is open
    WorkerRuns m_copies{this}; // "Save a Copy…"; joined (after a stop request) when the actions go
};
