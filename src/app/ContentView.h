#pragma once

#include "app/DownloadOutcome.h"

#include <QWidget>

class DownloadForm;
class DownloadList;
class DownloadTester;
class ToolVersions;
class ToolsBox;
class YtdlpUpdater;

// The content of the only window: the header, the "Bundled tools" box (ToolsBox) and the "Try it"
// box (DownloadForm over the list of downloads, DownloadOutcome). It wires the parts to the models the scene hands it,
// keeps the window within its screen, and asks for the tool versions each time it is shown.
class ContentView : public QWidget {
    Q_OBJECT
public:
    using CopyTarget = DownloadOutcome::CopyTarget;
    using Services = DownloadOutcome::Services;

    // The models are the scene's and must outlive the view: form holds what the form shows,
    // list the downloads.
    ContentView(YtdlpUpdater& updater,
                DownloadTester& form,
                DownloadList& list,
                ToolVersions& versions,
                Services services = {},
                QWidget* parent = nullptr);

    // The tallest the list may grow before it scrolls, so the window fits on its screen.
    int statusAreaCap() const;
    DownloadOutcome& downloads() const { return *m_outcome; }

signals:
    // A download's or an update's outcome was just announced to screen readers through widget.
    void announced(QWidget* widget, const QString& text);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    // Escape cancels the newest running download.
    void keyPressEvent(QKeyEvent* event) override;
    // Links (text/uri-list or text) dropped anywhere on the window are added to the list.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QWidget* makeHeader();
    void fitToScreen();

    DownloadTester& m_tester;
    DownloadList& m_list;
    ToolVersions& m_versions;
    ToolsBox* m_toolsBox = nullptr;
    DownloadForm* m_form = nullptr;
    DownloadOutcome* m_outcome = nullptr;
    bool m_fitPending = false;
};
