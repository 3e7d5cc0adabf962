#pragma once

#include "app/FileActions.h"
#include "app/FittingScrollArea.h"

#include <map>

class DownloadList;
class DownloadRow;
class DownloadTester;
class QVBoxLayout;

// The list of downloads under the form: one DownloadRow per row of the list, in its order. It
// scrolls rather than letting a long list push the window past the bottom of the screen; its owner
// gives it a fixed height (FittingScrollArea). Hidden while the list is empty.
class DownloadOutcome : public FittingScrollArea {
    Q_OBJECT
public:
    using CopyTarget = FileActions::CopyTarget;
    using Services = FileActions::Services;

    // list must outlive the area.
    DownloadOutcome(DownloadList& list, Services services, QWidget* parent = nullptr);

    // The row widget of a row of the list; none when it is not (or no longer) in the list.
    DownloadRow* rowWidget(const DownloadTester* row) const;

signals:
    // A download's outcome was just announced to screen readers through widget.
    void announced(QWidget* widget, const QString& text);
    // "Update yt-dlp and Try Again" was pressed on row (see DownloadTester::updateAndRetry).
    void updateAndRetryRequested(DownloadTester* row);
    // A row widget was made; another part may add to its next steps (DownloadRow::nextSteps).
    void rowShown(DownloadRow* widget);

private:
    void addRow(DownloadTester* row, int index);
    void removeRow(DownloadTester* row);

    DownloadList& m_list;
    Services m_services;
    QVBoxLayout* m_rows = nullptr;
    std::map<const DownloadTester*, DownloadRow*> m_widgets;
};
